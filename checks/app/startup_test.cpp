// Start-up and shutdown: the order of calls, the installer's fatal statuses, the dialog chosen
// by the VBE found, the 3-D control library on old Windows, and the program's directory.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/globals.h"
#include "app/info_dialogs.h"
#include "app/main_dialog.h"
#include "app/startup.h"
#include "fake/fake.h"
#include "loader/kestrellib.h"

namespace {

int installStatus = 0;

int recordedInstall(const char* driverDir, int ignoreVBE, int analyse)
{
    fake::log("KS_install", {ignoreVBE, analyse}, driverDir);
    return installStatus;
}

void recordedUninstall(void)
{
    fake::log("KS_exit");
}

constexpr DriverLoader RECORDED{recordedInstall, recordedUninstall};

HINSTANCE const INSTANCE = reinterpret_cast<HINSTANCE>(0x4000);

const std::vector<std::string> LIFETIME = {"GetModuleFileNameA", "KS_install",        "MessageBoxA",
                                           "Ctl3dRegister",      "Ctl3dAutoSubclass", "GX_init",
                                           "DialogBoxParamA",    "Ctl3dUnregister",   "KS_exit"};

class StartUp : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::reset();
        installStatus = KS_OK;
        displayContext = nullptr;
        appInstance = nullptr;
    }
};

TEST(InstallStatus, OnlyTheStatusesThatLeaveNoWorkingSetUpAreFatal)
{
    for (int status = -2; status <= 13; ++status) {
        const bool fatal = status == 1 || status == 6 || status == 7 || status == 8 || status == 9 || status == 11;
        EXPECT_EQ(isFatalInstallStatus(status), fatal) << status;
    }
}

TEST_F(StartUp, ANonFatalStatusGoesOnToTheDialogAndShutsDownInOrder)
{
    for (int status : {0, 2, 3, 4, 5, 10, 12, -1}) {
        SetUp();
        installStatus = status;

        EXPECT_EQ(runProgram(INSTANCE, RECORDED), 0) << status;

        EXPECT_EQ(fake::callNames(LIFETIME), (std::vector<std::string>{"GetModuleFileNameA", "KS_install", "GX_init",
                                                                       "DialogBoxParamA", "KS_exit"}))
            << status;
        const fake::Call install = fake::callsNamed("KS_install")[0];
        EXPECT_EQ(install.text, "C:\\PALISADE\\") << status;
        EXPECT_EQ(install.args, (std::vector<int64_t>{1, 1})) << status;
        EXPECT_EQ(fake::callsNamed("GetModuleFileNameA")[0].args, (std::vector<int64_t>{260})) << status;
        EXPECT_EQ(fake::callsNamed("GX_init")[0].args, (std::vector<int64_t>{0})) << status;
        EXPECT_STREQ(programDir, "C:\\PALISADE\\") << status;
        EXPECT_EQ(appInstance, INSTANCE) << status;
        EXPECT_EQ(fake::messageBoxes().size(), 0u) << status;
    }
}

// The fatal path ends the process: the child reports what it called on its way out.
void reportCallsAtExit()
{
    std::atexit([] {
        std::string names;
        for (const std::string& name : fake::callNames(LIFETIME))
            names += name + " ";
        for (const fake::MessageBoxShown& box : fake::messageBoxes())
            names += "[" + box.caption + "|" + box.text + "|" + std::to_string(box.type) + "]";
        std::fprintf(stderr, "calls: %s\n", names.c_str());
    });
}

TEST_F(StartUp, AFatalStatusShowsTheMessageAndExitsWithStatusOneBeforeAnythingElse)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (int status : {1, 6, 7, 8, 9, 11}) {
        installStatus = status;
        EXPECT_EXIT(
            {
                reportCallsAtExit();
                runProgram(INSTANCE, RECORDED);
            },
            ::testing::ExitedWithCode(1),
            "calls: GetModuleFileNameA KS_install MessageBoxA \\[Fatal Error!\\|Fatal error installing "
            "KestrelLib!\\|8240\\]\n")
            << status;
    }
}

TEST_F(StartUp, TheVbeFoundChoosesTheDialog)
{
    struct Case {
        const char* what;
        bool initFails;
        int32_t vbeVersion;
        int expectedDialog;
        DLGPROC expectedProcedure;
    };
    const Case cases[] = {
        {"VBE 1.2", false, 0x0102, 1000, MainDlgProc},
        {"VBE 2.0", false, 0x0200, 1000, MainDlgProc},
        {"VBE 1.1", false, 0x0101, 1002, NotDetectedDlgProc},
        {"no VBE at all", false, 0, 1002, NotDetectedDlgProc},
        {"a negative version compares signed", false, static_cast<int32_t>(0x80000200), 1002, NotDetectedDlgProc},
        {"no display context", true, 0x0200, 1002, NotDetectedDlgProc},
    };
    for (const Case& c : cases) {
        SetUp();
        fake::display().initFails = c.initFails;
        fake::display().context.vbeVersion = c.vbeVersion;
        DLGPROC procedure = nullptr;
        fake::onDialog(c.expectedDialog, [&](fake::Dialog& d) { procedure = d.procedure; });

        EXPECT_EQ(runProgram(INSTANCE, RECORDED), 0) << c.what;

        EXPECT_EQ(fake::dialogsShown(), std::vector<int>{c.expectedDialog}) << c.what;
        EXPECT_EQ(procedure, c.expectedProcedure) << c.what;
        EXPECT_EQ(fake::callsNamed("DialogBoxParamA")[0].args, (std::vector<int64_t>{c.expectedDialog, 0, 0}))
            << c.what << ": no owner, parameter 0";
        EXPECT_EQ(displayContext, c.initFails ? nullptr : &fake::display().context) << c.what;
        EXPECT_EQ(fake::callNames(LIFETIME).back(), "KS_exit") << c.what << ": the driver is removed on every path";
    }
}

TEST_F(StartUp, OldWindowsGetsTheThreeDimensionalControlsAroundTheDialog)
{
    struct Case {
        int major, minor;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {3,
         10,
         {"GetModuleFileNameA", "KS_install", "Ctl3dRegister", "Ctl3dAutoSubclass", "GX_init", "DialogBoxParamA",
          "Ctl3dUnregister", "KS_exit"}},
        {3,
         95,
         {"GetModuleFileNameA", "KS_install", "Ctl3dRegister", "Ctl3dAutoSubclass", "GX_init", "DialogBoxParamA",
          "Ctl3dUnregister", "KS_exit"}},
        {4, 0, {"GetModuleFileNameA", "KS_install", "GX_init", "DialogBoxParamA", "KS_exit"}},
        {6, 2, {"GetModuleFileNameA", "KS_install", "GX_init", "DialogBoxParamA", "KS_exit"}},
    };
    for (const Case& c : cases) {
        SetUp();
        fake::setWindowsVersion(c.major, c.minor);
        runProgram(INSTANCE, RECORDED);
        EXPECT_EQ(fake::callNames(LIFETIME), c.expected) << c.major << "." << c.minor;
    }
}

TEST(ExtractDir, KeepsEverythingUpToTheLastBackslash)
{
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"D:\\TOOLS\\TEST.EXE", "D:\\TOOLS\\"},
        {"TEST.EXE", ""},
        {"", ""},
        {"D:TEST.EXE", ""},
        {"D:/TOOLS/TEST.EXE", ""},
        {"Z:\\home\\me\\a/b\\PALISADE.EXE", "Z:\\home\\me\\a/b\\"},
        {"\\", "\\"},
        {"C:\\DIR\\", "C:\\DIR\\"},
    };
    for (const Case& c : cases) {
        std::vector<char> dir(std::strlen(c.path) + 1, '#');
        KS_extractDir(c.path, dir.data());
        EXPECT_STREQ(dir.data(), c.expected) << c.path;
    }
    char inPlace[] = "D:\\TOOLS\\TEST.EXE";
    KS_extractDir(inPlace, inPlace);
    EXPECT_STREQ(inPlace, "D:\\TOOLS\\");
}

// WinMain with the real loader over the fake machine layer.
TEST_F(StartUp, WinMainGoesOnWhenTheDriverCannotBeGenerated)
{
    bool mainDialogShown = false;
    fake::onDialog(1000, [&](fake::Dialog&) { mainDialogShown = true; });
    EXPECT_EQ(WinMain(INSTANCE, nullptr, nullptr, 0), 0);
    EXPECT_TRUE(mainDialogShown);
    EXPECT_EQ(fake::messageBoxes().size(), 0u);
}

TEST_F(StartUp, WinMainEndsWithStatusOneWithoutRealModeMemory)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    fake::realMode().allocationFails = true;
    EXPECT_EXIT(
        {
            reportCallsAtExit();
            WinMain(INSTANCE, nullptr, nullptr, 0);
        },
        ::testing::ExitedWithCode(1), "calls: GetModuleFileNameA MessageBoxA \\[Fatal Error!\\|");
}

}  // namespace
