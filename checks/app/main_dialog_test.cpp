// The main dialog: its start state, the mode list of each depth, and its commands.
#include <gtest/gtest.h>

#include "app/globals.h"
#include "app/main_dialog.h"
#include "fake/fake.h"

namespace {

class MainDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::reset();
        displayContext = &fake::display().context;
        displayContext->lfbAddress = 0xE0000000;
    }

    // Opens the main dialog and runs script once it is initialised.
    void open(std::function<void(fake::Dialog&)> script)
    {
        fake::onDialog(1000, std::move(script));
        DialogBoxParamA(nullptr, MAKEINTRESOURCEA(1000), nullptr, MainDlgProc, 0);
    }

    // Adds a mode and gives it a name that shows its number.
    static void addMode(uint16_t number, int bitsPerPixel)
    {
        fake::addMode(number, 640, 480, bitsPerPixel);
        char name[32];
        std::snprintf(name, sizeof name, "mode %03X", number);
        fake::display().modes[number].name = name;
    }

    static std::vector<uint16_t> tableOf(size_t count) { return {modeNumbers, modeNumbers + count}; }
};

TEST_F(MainDialog, OpensCentredWithItsTitleDefaultsAndTheFourBitList)
{
    addMode(0x102, 4);
    addMode(0x101, 8);
    addMode(0x104, 4);
    open([](fake::Dialog& d) {
        EXPECT_EQ(d.control(122)->text, "Palisade 32 bit Test Program - Release 6.0");
        EXPECT_EQ(d.control(123)->text, copyrightNotice);
        for (int radio : {120, 116, 115, 119, 118, 117})
            EXPECT_EQ(d.control(radio)->checked, radio == 120) << radio;
        for (int check : {109, 110, 111, 112})
            EXPECT_TRUE(d.control(check)->checked) << check;
        EXPECT_EQ(d.control(114)->items, (std::vector<std::string>{"mode 102", "mode 104"}));
        EXPECT_EQ(d.control(114)->selection, 0);
        EXPECT_EQ(MainDlgProc(d.handle(), WM_INITDIALOG, 0, 0), TRUE);
    });
    const auto names = fake::callNames({"MoveWindow", "GetDlgItemTextA", "SetDlgItemTextA", "GX_getModeInfo"});
    EXPECT_EQ(names.front(), "MoveWindow");
    EXPECT_EQ(fake::callsNamed("GetDlgItemTextA")[0].args, (std::vector<int64_t>{122, 100}));
}

TEST_F(MainDialog, TheLinearFramebufferBoxIsOnlyOfferedWhenThereIsOne)
{
    struct Case {
        const char* what;
        uint32_t lfbAddress;
        int32_t virtualLfbAvailable;
        bool offered;
    };
    const Case cases[] = {
        {"hardware framebuffer", 0xE0000000, 0, true},
        {"virtualised framebuffer", 0, 1, true},
        {"neither", 0, 0, false},
    };
    for (const Case& c : cases) {
        SetUp();
        addMode(0x102, 4);
        displayContext->lfbAddress = c.lfbAddress;
        displayContext->virtualLfbAvailable = c.virtualLfbAvailable;
        open([&](fake::Dialog& d) {
            EXPECT_EQ(d.control(112)->checked, c.offered) << c.what;
            EXPECT_EQ(d.control(112)->enabled, c.offered) << c.what;
        });
        EXPECT_EQ(fake::callsNamed("GX_getModeName")[0].args, (std::vector<int64_t>{0x102, c.offered ? 1 : 0}))
            << c.what;
    }
}

TEST_F(MainDialog, EachDepthButtonListsTheModesOfItsDepthInModeListOrder)
{
    struct Case {
        int radio;
        std::vector<std::string> names;
    };
    const std::pair<uint16_t, int> modes[] = {{0x102, 4},  {0x101, 8}, {0x110, 15}, {0x111, 16}, {0x112, 24},
                                              {0x120, 32}, {0x100, 8}, {0x113, 15}, {0x121, 32}};
    const Case cases[] = {
        {120, {"mode 102"}}, {116, {"mode 101", "mode 100"}}, {115, {"mode 110", "mode 113"}}, {119, {"mode 111"}},
        {118, {"mode 112"}}, {117, {"mode 120", "mode 121"}},
    };
    for (auto [number, bits] : modes)
        addMode(number, bits);
    open([&](fake::Dialog& d) {
        d.click(112);  // linear off: every number as listed
        for (const Case& c : cases) {
            d.selectItem(114, 1);
            d.click(c.radio);
            EXPECT_EQ(d.control(114)->items, c.names) << c.radio;
            EXPECT_EQ(d.control(114)->selection, 0) << c.radio;
            for (size_t i = 0; i < c.names.size(); ++i)
                EXPECT_EQ(modeNumbers[i], std::stoi(c.names[i].substr(5), nullptr, 16)) << c.radio;
        }
    });
}

TEST_F(MainDialog, ListsOnlyModesThatCanBeQueriedAndOfferedAndStoresTheNumberToSetThemWith)
{
    struct Case {
        const char* what;
        bool linear;
        std::vector<std::string> names;
        std::vector<uint16_t> numbers;
    };
    const Case cases[] = {
        {"banked", false, {"mode 101", "mode 103"}, {0x101, 0x103}},
        {"linear", true, {"mode 101", "mode 105"}, {0x4101, 0x4105}},
    };
    for (const Case& c : cases) {
        SetUp();
        addMode(0x101, 8);
        fake::display().modeList.insert(fake::display().modeList.end() - 1, 0x1FF);  // no mode information
        displayContext->modeList = fake::display().modeList.data();
        addMode(0x103, 8);
        fake::display().modes[0x103].setWithLinear = 0;  // no linear framebuffer for this one
        addMode(0x105, 8);
        fake::display().modes[0x105].setWith = 0;  // only with the linear framebuffer
        open([&](fake::Dialog& d) {
            d.click(116);
            if (!c.linear)
                d.click(112);
            EXPECT_EQ(d.control(114)->items, c.names) << c.what;
            EXPECT_EQ(tableOf(c.numbers.size()), c.numbers) << c.what;
        });
    }
}

TEST_F(MainDialog, TheListAndTheTableStayTogetherPastFifteenModesAndStopWhenTheTableIsFull)
{
    for (int count : {20, MODE_TABLE_SIZE + 10}) {
        SetUp();
        for (int i = 0; i < count; ++i)
            addMode(static_cast<uint16_t>(0x200 + i), 8);
        open([&](fake::Dialog& d) {
            d.click(116);
            const size_t listed = std::min(count, MODE_TABLE_SIZE);
            ASSERT_EQ(d.control(114)->items.size(), listed) << count;
            for (size_t i = 0; i < listed; ++i)
                EXPECT_EQ(modeNumbers[i], 0x4200 + i) << count << " entry " << i;

            // The last entry runs its own mode.
            d.selectItem(114, static_cast<int>(listed - 1));
            fake::pushKey(27);
            d.command(114, LBN_DBLCLK);
            EXPECT_EQ(fake::callsNamed("GX_setMode")[0].args[0], 0x6200 + static_cast<int64_t>(listed) - 1) << count;
        });
    }
}

TEST_F(MainDialog, TestModeRunsTheSelectedEntryInFullScreenAndLeavesTheDialogAsItWas)
{
    addMode(0x101, 8);
    addMode(0x103, 8);
    open([](fake::Dialog& d) {
        d.click(116);
        d.click(110);  // options are read when the run starts
        d.selectItem(114, 1);
        const std::vector<fake::Control> before = d.controls;
        fake::calls().clear();
        fake::pushKey(27);

        d.click(121);

        EXPECT_EQ(
            fake::callNames({"PL_startFullScreen", "GX_getModeInfo", "GX_setMode", "GX_restoreMode", "PL_restoreGDI"}),
            (std::vector<std::string>{"PL_startFullScreen", "GX_getModeInfo", "GX_setMode", "GX_restoreMode",
                                      "PL_restoreGDI"}));
        EXPECT_EQ(fake::callsNamed("PL_startFullScreen")[0].args, (std::vector<int64_t>{640, 480}));
        EXPECT_EQ(fake::callsNamed("GX_setMode")[0].args, (std::vector<int64_t>{0x6103, 0, 1, 0x103}));
        for (size_t i = 0; i < before.size(); ++i) {
            EXPECT_EQ(d.controls[i].checked, before[i].checked) << before[i].id;
            EXPECT_EQ(d.controls[i].items, before[i].items) << before[i].id;
            EXPECT_EQ(d.controls[i].selection, before[i].selection) << before[i].id;
            EXPECT_EQ(d.controls[i].text, before[i].text) << before[i].id;
        }
        EXPECT_FALSE(d.ended);
    });
}

TEST_F(MainDialog, CommandsDoWhatTheirControlsSay)
{
    struct Case {
        const char* what;
        int id;
        WORD notification;
        bool runs;
        bool ends;
        std::vector<int> dialogs;
    };
    const Case cases[] = {
        {"Test mode", 121, BN_CLICKED, true, false, {1000}},
        {"double click on the list", 114, LBN_DBLCLK, true, false, {1000}},
        {"a new selection only selects", 114, LBN_SELCHANGE, false, false, {1000}},
        {"SVGA Info", 113, BN_CLICKED, false, false, {1000, 1001}},
        {"Quit", 2, BN_CLICKED, false, true, {1000}},
        {"an unknown command", 999, BN_CLICKED, false, false, {1000}},
    };
    for (const Case& c : cases) {
        SetUp();
        addMode(0x102, 4);
        bool infoOwned = false;
        fake::onDialog(1001, [&](fake::Dialog&) { infoOwned = fake::callsNamed("DialogBoxParamA").back().args[1]; });
        open([&](fake::Dialog& d) {
            fake::pushKey(27);
            d.command(c.id, c.notification);
            EXPECT_EQ(fake::countOf("PL_startFullScreen"), c.runs ? 1u : 0u) << c.what;
            EXPECT_EQ(d.ended, c.ends) << c.what;
            if (c.ends) {
                EXPECT_EQ(d.result, 1) << c.what;
            }
        });
        EXPECT_EQ(fake::dialogsShown(), c.dialogs) << c.what;
        if (c.dialogs.size() > 1) {
            EXPECT_TRUE(infoOwned) << c.what;
        }
    }
}

TEST_F(MainDialog, AnEmptyListStartsNothing)
{
    addMode(0x101, 8);  // nothing of 4 bits
    open([](fake::Dialog& d) {
        EXPECT_TRUE(d.control(114)->items.empty());
        EXPECT_EQ(d.control(114)->selection, -1);
        d.click(121);
        d.command(114, LBN_DBLCLK);
    });
    EXPECT_EQ(fake::countOf("PL_startFullScreen"), 0u);
    EXPECT_EQ(fake::countOf("GX_setMode"), 0u);
}

TEST_F(MainDialog, NoSelectionOrNoModeListStartsNothing)
{
    addMode(0x101, 8);
    open([](fake::Dialog& d) {
        d.click(116);
        d.selectItem(114, -1);  // a list box may lose its selection
        d.click(121);
        d.command(114, LBN_DBLCLK);
    });
    EXPECT_EQ(fake::countOf("PL_startFullScreen"), 0u);

    SetUp();
    displayContext->modeList = nullptr;  // a library that found no modes
    open([](fake::Dialog& d) {
        d.click(116);
        EXPECT_TRUE(d.control(114)->items.empty());
        d.click(121);
    });
    EXPECT_EQ(fake::countOf("PL_startFullScreen"), 0u);
}

TEST_F(MainDialog, EveryDepthOrFramebufferCommandRebuildsTheListAndSelectsItsFirstEntry)
{
    addMode(0x101, 8);
    addMode(0x103, 8);
    open([](fake::Dialog& d) {
        d.click(116);
        for (int id : {116, 112, 112}) {
            d.selectItem(114, 1);
            fake::calls().clear();
            d.click(id);
            EXPECT_EQ(fake::countOf("GX_getModeInfo"), 2u) << id;
            EXPECT_EQ(d.control(114)->selection, 0) << id;
            EXPECT_EQ(d.control(114)->items.size(), 2u) << id;
        }
    });
}

}  // namespace
