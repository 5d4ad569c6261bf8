// The device install step against the emulated handheld PC: device_driver.exe
// runs InstallToDevice after an extraction's layout, the tests answer its
// message boxes and read the device's log, settings and object store.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "device_support.h"
#include "robot.h"
#include "test_support.h"

using namespace testing_support;
using device_support::DeviceSettings;
using device_support::EmulatedDevice;

namespace {

const char kNoConnect[] =
    "Unable to establish communications with your Handheld PC.  Make sure it is attached to your desktop computer.";
const char kCpuType[] = "AppInstall does not recognize what type of processor your Handheld PC uses.";
const char kNoSpace[] =
    "There is not enough space on your Handheld PC to install the qARNEL options that you have selected.";
const char kIncomplete[] = "Setup did not complete successfully.";
const char kAlreadyInstalledStart[] = "It appears that qARNEL is already installed on your Handheld PC.  ";
const char kStarted[] = "PegCreateProcess \"\\Program Files\\qARNEL Beta\\qARNEL.exe\" = 1 started";

struct Box {
    std::string caption, text;
    bool ownedByMain;
};

struct Outcome {
    DWORD exitCode = 0;
    std::vector<Box> boxes;
    bool progressOwnedByMain = false;
};

class DeviceStep : public ::testing::Test {
protected:
    void Use(const std::string &settings) { device_ = std::make_unique<EmulatedDevice>(settings); }

    // Runs the step with those books chosen and presses OK on every message
    // box it shows, in order. faulted > 0: that many steps with the armed
    // fault, then one without (device_driver.cpp).
    Outcome Run(BookSet books, const std::string &name = "Ann Lee", const std::string &company = "",
                int faulted = 0)
    {
        Outcome out;
        std::string digits;
        for (int i = 0; i < CBOOKS; ++i)
            digits += Takes(books, i) ? '1' : '0';
        robot::Process::Options options;
        options.args = "\"" + Desktop() + "\" " + digits + " " + device_support::EncodeArg(name) + " " +
                       device_support::EncodeArg(company) + (faulted ? " " + std::to_string(faulted) : "");
        options.env = {{"HPC_DEVICE", device_->dir()}};
        robot::Process driver(BuildFile("device_driver.exe"), options);
        EXPECT_TRUE(driver.started());
        if (!driver.started())
            return out;
        auto isMain = [](HWND hwnd) { return hwnd && robot::ClassOf(hwnd) == "DeviceDriverMain"; };
        DWORD start = GetTickCount();
        while (GetTickCount() - start < 60000u + 500u * faulted) {
            HWND progress = robot::WaitForWindow(driver.pid(), "HpcLoaderProgress", nullptr, 0);
            if (progress && isMain(GetWindow(progress, GW_OWNER)))
                out.progressOwnedByMain = true;
            robot::MessageBox box;
            if (robot::WaitForMessageBox(driver.pid(), &box, 50)) {
                out.boxes.push_back({box.caption, box.text, isMain(box.owner)});
                robot::Press(box.hwnd, IDOK);
                robot::WaitGone(box.hwnd, 5000);
                continue;
            }
            if (!driver.Running())
                break;
        }
        EXPECT_TRUE(driver.Wait(10000, &out.exitCode)) << "the driver did not end";
        return out;
    }

    std::string Desktop() const { return desktop_ / "qARNEL"; }
    std::string Script() const { return Desktop() + "\\qArnel.ld"; }
    std::vector<std::string> Log() const { return device_->Log(); }
    bool Logged(const std::string &line) const
    {
        std::vector<std::string> log = Log();
        return std::find(log.begin(), log.end(), line) != log.end();
    }
    // The log's lines without their results: the order of the calls.
    std::vector<std::string> Calls() const
    {
        std::vector<std::string> calls;
        for (const std::string &line : Log())
            if (line.find(": ") == std::string::npos && line.rfind("Load = ", 0) != 0)
                calls.push_back(line.substr(0, line.find(' ')));
        return calls;
    }
    static std::string CommandLine(const std::string &cpu, int needed, const std::string &name = "Ann Lee",
                                   const std::string &company = "")
    {
        return "Load \"" + cpu + " \"qARNEL\" \"\\Program Files\\qARNEL Beta\" " + std::to_string(needed) +
               " \"" + name + "\" \"" + company + "\" qARNEL.ld\"";
    }

    TempDir desktop_;
    std::unique_ptr<EmulatedDevice> device_;
};

const std::vector<std::string> kAllCalls = {"Load_Init",         "Load_AlreadyInstalled", "Load_PegCpuType",
                                            "Load_PegFreeSpace", "Load",                  "PegCreateProcess",
                                            "Load_Exit"};

TEST_F(DeviceStep, LoadsTheApplicationAndStartsIt)
{
    Use(DeviceSettings("SH3", 4194304));
    Outcome out = Run(kAllBooks);
    EXPECT_EQ(out.exitCode, 11u);
    EXPECT_TRUE(out.boxes.empty());
    EXPECT_EQ(Calls(), kAllCalls);
    // The record is read again from "UserInfo.dat"; the driver's copy in memory is stale.
    EXPECT_TRUE(Logged(CommandLine("SH3", 221534))) << Log()[4];
    EXPECT_TRUE(Logged(kStarted));
    EXPECT_EQ(device_->Setting("Installed", "qARNEL"), "\\Program Files\\qARNEL Beta");
    EXPECT_EQ(ReadText(device_->Store("\\Program Files\\qARNEL Beta\\qARNEL.exe")),
              ReadText(SourceFile("dist/payload/qARNEL.exe.sh3")));

    // The script stays in the desktop directory: created as "qArnel.ld",
    // 42 lines in text mode.
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((Desktop() + "\\QARNEL.LD").c_str(), &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FindClose(h);
    EXPECT_STREQ(fd.cFileName, "qArnel.ld");
    std::string script = ReadText(Script());
    size_t crlf = 0;
    for (size_t i = script.find('\n'); i != std::string::npos; i = script.find('\n', i + 1)) {
        EXPECT_EQ(script[i - 1], '\r');
        ++crlf;
    }
    EXPECT_EQ(crlf, 42u);
    EXPECT_EQ(script.substr(script.size() - 6), "exit\r\n");
}

TEST_F(DeviceStep, NoDeviceShowsOnlyTheCommunicationsMessage)
{
    Use("[Device]\r\nAttached=0\r\n");
    Outcome out = Run(kAllBooks);
    EXPECT_EQ(out.exitCode, 10u);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].caption, "Setup Error");
    EXPECT_EQ(out.boxes[0].text, kNoConnect);
    EXPECT_TRUE(out.boxes[0].ownedByMain);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"Load_Init", "Load_Exit"}));
    EXPECT_FALSE(FileExists(Script()));
}

TEST_F(DeviceStep, UnknownProcessorStopsAfterTheScriptIsWritten)
{
    Use(DeviceSettings("", 4194304));
    Outcome out = Run(kAllBooks);
    EXPECT_EQ(out.exitCode, 10u);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].caption, "Setup Error");
    EXPECT_EQ(out.boxes[0].text, kCpuType);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"Load_Init", "Load_AlreadyInstalled", "Load_PegCpuType",
                                                 "Load_Exit"}));
    EXPECT_TRUE(FileExists(Script()));
}

TEST_F(DeviceStep, FreeSpaceOfNeededPlus1000PassesAndOneByteLessFails)
{
    // MIPS, all three books: 221206 * 1.04 = 230054 needed.
    Use(DeviceSettings("MIPS", 231054));
    Outcome out = Run(kAllBooks);
    EXPECT_EQ(out.exitCode, 11u);
    EXPECT_TRUE(out.boxes.empty());
    EXPECT_TRUE(Logged(CommandLine("MIPS", 230054)));

    Use(DeviceSettings("MIPS", 231053));
    out = Run(kAllBooks);
    EXPECT_EQ(out.exitCode, 10u);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].text, kNoSpace);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"Load_Init", "Load_AlreadyInstalled", "Load_PegCpuType",
                                                 "Load_PegFreeSpace", "Load_Exit"}));
    EXPECT_TRUE(FileExists(Script()));
}

TEST_F(DeviceStep, FailedLoadShowsTheIncompleteMessageAndStartsNothing)
{
    Use(DeviceSettings("SH3", 4194304, "[Faults]\r\nLoadFails=1\r\n"));
    Outcome out = Run(kAllBooks);
    EXPECT_EQ(out.exitCode, 10u);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].text, kIncomplete);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"Load_Init", "Load_AlreadyInstalled", "Load_PegCpuType",
                                                 "Load_PegFreeSpace", "Load", "Load_Exit"}));

    // A device that goes away in the middle of the load: the same message,
    // and the application is not recorded as installed.
    Use(DeviceSettings("SH3", 4194304, "[Faults]\r\nDetachAfter=5\r\n"));
    out = Run(kAllBooks);
    EXPECT_EQ(out.exitCode, 10u);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].text, kIncomplete);
    EXPECT_EQ(device_->Setting("Installed", "qARNEL"), "");
}

TEST_F(DeviceStep, AlreadyInstalledNoticeComesFirstAndNeverStopsTheStep)
{
    const std::string installed = "[Installed]\r\nqARNEL=\\Program Files\\qARNEL Beta\r\n";
    Use(DeviceSettings("", 4194304, installed));
    Outcome out = Run(kAllBooks);
    ASSERT_EQ(out.boxes.size(), 2u);
    EXPECT_EQ(out.boxes[0].caption, "Setup Suggestion:");
    EXPECT_EQ(out.boxes[0].text.rfind(kAlreadyInstalledStart, 0), 0u) << out.boxes[0].text;
    EXPECT_TRUE(out.boxes[0].ownedByMain);
    EXPECT_EQ(out.boxes[1].text, kCpuType);

    Use(DeviceSettings("SH3", 4194304, installed));
    out = Run(0);
    EXPECT_EQ(out.exitCode, 11u);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].caption, "Setup Suggestion:");
    EXPECT_TRUE(Logged(kStarted));
}

TEST_F(DeviceStep, OnlyUpperCaseSh3HasTheSmallerBase)
{
    Use(DeviceSettings("sh3", 4194304));
    Outcome out = Run(kAllBooks);
    EXPECT_EQ(out.exitCode, 11u);
    EXPECT_TRUE(Logged(CommandLine("sh3", 230054)));
    EXPECT_EQ(ReadText(device_->Store("\\Program Files\\qARNEL Beta\\qARNEL.exe")),
              ReadText(SourceFile("dist/payload/qARNEL.exe.sh3")));

    // A 16-character name comes unterminated: it is cut at 15, never overrun.
    Use(DeviceSettings("SH3-RISC-PROCESSOR", 4194304));
    out = Run(0);
    EXPECT_TRUE(Logged(CommandLine("SH3-RISC-PROCES", 42598))) << Log().back();
}

TEST_F(DeviceStep, FaultInsideTheLoaderIsCaughtAndTheProgramGoesOn)
{
    Use(DeviceSettings("SH3", 4194304, "[Faults]\r\nAccessViolationAfter=3\r\n"));
    Outcome out = Run(kAllBooks);
    ASSERT_EQ(out.boxes.size(), 1u);
    EXPECT_EQ(out.boxes[0].caption, "bugbug");
    EXPECT_EQ(out.boxes[0].text, "Fatal Exception in Setup");
    EXPECT_TRUE(out.boxes[0].ownedByMain);
    // InstallToDevice returned false and the driver went on to its normal end.
    EXPECT_EQ(out.exitCode, 10u);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"Load_Init", "Load_AlreadyInstalled", "Load_PegCpuType",
                                                 "Load_PegFreeSpace", "Load", "Load_Exit"}));
    EXPECT_TRUE(Logged("Load: fault: access violation after 3 commands"));
    EXPECT_EQ(device_->Setting("Installed", "qARNEL"), "");
}

// Each kind of exception, raised as each loader function of the guarded steps
// is entered: the fault message over the main window, the connection closed,
// and the program goes on. CppThrow is non-continuable, as a C++ throw out of
// another compiler's runtime is.
TEST_F(DeviceStep, EveryKindOfExceptionInEachLoaderFunctionIsCaught)
{
    const char *const functions[] = {"Load_Init",         "Load_AlreadyInstalled", "Load_PegCpuType",
                                     "Load_PegFreeSpace", "Load",                  "PegCreateProcess"};
    // Each function with one kind in turn, each kind twice; robustness_test
    // raises every kind in the real program.
    const char *const kinds[] = {"AccessViolation", "CppThrow", "Software"};
    std::vector<std::pair<std::string, std::string>> cases;
    for (size_t i = 0; i < sizeof functions / sizeof functions[0]; ++i)
        cases.push_back({functions[i], kinds[i % 3]});
    cases.push_back({"Load", "Nested"});
    for (const auto &c : cases) {
        const std::string &function = c.first, &kind = c.second;
        SCOPED_TRACE(function + " " + kind);
        Use(DeviceSettings("SH3", 4194304, "[Faults]\r\nFaultIn=" + function + "\r\nFaultKind=" + kind + "\r\n"));
        Outcome out = Run(0);
        ASSERT_EQ(out.boxes.size(), 1u);
        EXPECT_EQ(out.boxes[0].caption, "bugbug");
        EXPECT_EQ(out.boxes[0].text, "Fatal Exception in Setup");
        EXPECT_TRUE(out.boxes[0].ownedByMain);
        EXPECT_EQ(out.exitCode, 10u) << "returned false, main window alive";
        std::vector<std::string> calls(kAllCalls.begin(), std::find(kAllCalls.begin(), kAllCalls.end(), function));
        calls.push_back("Load_Exit");
        EXPECT_EQ(Calls(), calls);
        EXPECT_TRUE(Logged(function + ": fault: " + kind));
        if (kind == "Nested")
            EXPECT_TRUE(Logged(function + ": caught its own fault: yes"));
        // Only a fault after the load leaves the application recorded.
        EXPECT_EQ(device_->Setting("Installed", "qARNEL"),
                  function == "PegCreateProcess" ? "\\Program Files\\qARNEL Beta" : "");
    }
}

TEST_F(DeviceStep, TwoHundredFaultsInARowThenTheStepCompletes)
{
    // The driver answers the 200 fault messages itself (exit code 12 when
    // one is missing), then runs the step once more without the fault.
    Use(DeviceSettings("SH3", 4194304, "[Faults]\r\nFaultIn=Load\r\nFaultKind=CppThrow\r\n"));
    Outcome out = Run(0, "Ann Lee", "", 200);
    EXPECT_EQ(out.exitCode, 11u);
    std::vector<std::string> log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "Load_Exit"), 201);
    EXPECT_TRUE(Logged(kStarted));
}

TEST_F(DeviceStep, QuotesInNameAndCompanyStayInsideTheirFields)
{
    Use(DeviceSettings("SH3", 4194304));
    Outcome out = Run(0, "Ann \"Q\" Lee", "\" x.ld \"");
    EXPECT_EQ(out.exitCode, 11u);
    EXPECT_TRUE(Logged(CommandLine("SH3", 34078, "Ann 'Q' Lee", "' x.ld '"))) << Log()[4];
    // The stored record keeps the text as typed.
    std::string record = ReadText(Desktop() + "\\UserInfo.dat");
    ASSERT_EQ(record.size(), 2564u);
    EXPECT_STREQ(record.c_str() + 4, "Ann \"Q\" Lee");
    EXPECT_STREQ(record.c_str() + 260, "\" x.ld \"");
}

TEST_F(DeviceStep, LoaderProgressWindowIsOwnedByTheMainWindow)
{
    Use(DeviceSettings("SH3", 4194304, "CommandDelay=200\r\n"));
    Outcome out = Run(0);
    EXPECT_EQ(out.exitCode, 11u);
    EXPECT_TRUE(out.progressOwnedByMain);
}

}  // namespace
