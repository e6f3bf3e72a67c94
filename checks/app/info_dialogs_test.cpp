// The SuperVGA information dialog's texts and the two dialogs that close only by their button.
#include <gtest/gtest.h>

#include "app/globals.h"
#include "app/info_dialogs.h"
#include "app/main_dialog.h"
#include "fake/fake.h"

namespace {

struct InfoCase {
    const char* what;
    uint16_t vbeVersion, totalMemory, softwareRev;
    uint32_t lfbAddress;
    int32_t virtualLfb, wideDac;
    bool strings;                    // the block carries its four strings
    std::vector<std::string> texts;  // controls 100 to 108
};

class InfoDialog : public ::testing::TestWithParam<InfoCase> {};

TEST_P(InfoDialog, ShowsTheBlockJustReadAndTheTwoCapabilities)
{
    const InfoCase& c = GetParam();
    fake::reset();
    displayContext = &fake::display().context;
    displayContext->vbeVersion = 0x0200;  // the block's version decides, not this
    displayContext->lfbAddress = c.lfbAddress;
    displayContext->virtualLfbAvailable = c.virtualLfb;
    displayContext->wideDacAvailable = c.wideDac;
    VbeInfoBlock& block = fake::display().info;
    block.VbeVersion = c.vbeVersion;
    block.TotalMemory = c.totalMemory;
    block.OemSoftwareRev = c.softwareRev;
    if (c.strings) {
        block.OemStringPtr = fake::lowString("Acme VBE BIOS");
        block.OemVendorNamePtr = fake::lowString("Acme");
        block.OemProductNamePtr = fake::lowString("Rocket 3D");
        block.OemProductRevPtr = fake::lowString("Rev B");
    }

    std::vector<std::string> shown;
    fake::onDialog(1001, [&](fake::Dialog& d) {
        for (int id = 100; id <= 108; ++id)
            shown.push_back(d.control(id)->text);
    });
    DialogBoxParamA(nullptr, MAKEINTRESOURCEA(1001), nullptr, SVGAInfoDlgProc, 0);

    EXPECT_EQ(shown, c.texts);
    EXPECT_EQ(fake::countOf("MoveWindow"), 1u);
    EXPECT_EQ(fake::countOf("VBE_detect"), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, InfoDialog,
    ::testing::Values(InfoCase{"VBE 1.2 ignores the framebuffer",
                               0x0102,
                               16,
                               0x0102,
                               0xE0000000,
                               1,
                               1,
                               true,
                               {"Acme VBE BIOS", "1.2", "1024 Kb", "N/A", "N/A", "N/A", "N/A", "Yes", "No"}},
                      InfoCase{"VBE 2.0 with a hardware framebuffer",
                               0x0200,
                               64,
                               0x0102,
                               0xE0000000,
                               1,
                               0,
                               true,
                               {"Acme VBE BIOS", "2.0", "4096 Kb", "0x0102", "Acme", "Rocket 3D", "Rev B", "No",
                                "Yes (located at 3584 Mb)"}},
                      InfoCase{"a framebuffer high in the address space",
                               0x0200,
                               64,
                               0x0102,
                               0xFFF00000,
                               0,
                               0,
                               true,
                               {"Acme VBE BIOS", "2.0", "4096 Kb", "0x0102", "Acme", "Rocket 3D", "Rev B", "No",
                                "Yes (located at 4095 Mb)"}},
                      InfoCase{"VBE 3.0 with a virtualised framebuffer",
                               0x0300,
                               128,
                               0x8000,
                               0,
                               1,
                               1,
                               true,
                               {"Acme VBE BIOS", "3.0", "8192 Kb", "0x8000", "Acme", "Rocket 3D", "Rev B", "Yes",
                                "No (virtualised in software)"}},
                      InfoCase{"no framebuffer at all",
                               0x0200,
                               4,
                               0x0001,
                               0,
                               0,
                               0,
                               true,
                               {"Acme VBE BIOS", "2.0", "256 Kb", "0x0001", "Acme", "Rocket 3D", "Rev B", "No", "No"}},
                      InfoCase{"a block without strings shows them empty",
                               0x0200,
                               0,
                               0,
                               0,
                               0,
                               0,
                               false,
                               {"", "2.0", "0 Kb", "0x0000", "", "", "", "No", "No"}}));

TEST(InformationDialogs, CloseOnlyThroughTheirButton)
{
    struct Case {
        int resourceId;
        DLGPROC procedure;
    };
    for (const Case& c : {Case{1001, SVGAInfoDlgProc}, Case{1002, NotDetectedDlgProc}}) {
        fake::reset();
        displayContext = &fake::display().context;
        fake::onDialog(c.resourceId, [&](fake::Dialog& d) {
            EXPECT_EQ(d.procedure(d.handle(), WM_INITDIALOG, 0, 0), TRUE) << c.resourceId;
            for (int ignored : {IDCANCEL, 100, 0}) {
                EXPECT_EQ(d.procedure(d.handle(), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(ignored), 0), 0), FALSE);
                EXPECT_FALSE(d.ended) << c.resourceId << " closed by " << ignored;
            }
            d.click(IDOK);
            EXPECT_TRUE(d.ended) << c.resourceId;
            EXPECT_EQ(d.result, 1) << c.resourceId;
        });
        DialogBoxParamA(nullptr, MAKEINTRESOURCEA(c.resourceId), nullptr, c.procedure, 0);
        EXPECT_GE(fake::countOf("MoveWindow"), 1u) << c.resourceId << " opens centred";
    }
}

TEST(InformationDialogs, SvgaInfoAsksTheBiosAfreshOnEveryOpening)
{
    fake::reset();
    displayContext = &fake::display().context;
    fake::display().info.VbeVersion = 0x0102;
    fake::onDialog(1000, [](fake::Dialog& d) {
        d.click(113);
        fake::display().info.VbeVersion = 0x0200;
        d.click(113);
    });
    std::vector<std::string> versions;
    fake::onDialog(1001, [&](fake::Dialog& d) { versions.push_back(d.control(101)->text); });
    DialogBoxParamA(nullptr, MAKEINTRESOURCEA(1000), nullptr, MainDlgProc, 0);
    EXPECT_EQ(versions, (std::vector<std::string>{"1.2", "2.0"}));
    EXPECT_EQ(fake::countOf("VBE_detect"), 2u);
}

}  // namespace
