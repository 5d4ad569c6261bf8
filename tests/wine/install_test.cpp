// The Install command end to end: setup.exe with its payload, the emulated
// handheld PC, every stage from the library check to the closing question,
// and what lands on the desktop and on the device.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "dialog_walk.h"
#include "extract/crc32.h"
#include "extract/payload.h"
#include "install_support.h"
#include "robot.h"
#include "test_support.h"
#include "ui_support.h"
#include "vector_sink.h"

using namespace testing_support;

namespace {

using namespace install_support;

// SETUP_WINDOWS_VERSION=win95 (a second run of these tests in the 32-bit
// build): the programs the tests start see Windows 95 instead of the
// prefix's NT 4.0, set for them by name for the length of the run.
bool Windows95Run()
{
    const char *version = getenv("SETUP_WINDOWS_VERSION");
    return version && std::string(version) == "win95";
}

class WindowsVersion : public ::testing::Environment {
public:
    void SetUp() override
    {
        const char *version = getenv("SETUP_WINDOWS_VERSION");
        if (!version)
            return;
        for (const char *exe : {"setup.exe", "recorder.exe", "libcheck_driver.exe"}) {
            values_.emplace_back(new ScopedRegValue(HKEY_CURRENT_USER,
                                                    std::string("Software\\Wine\\AppDefaults\\") + exe, "Version"));
            values_.back()->SetString(version);
        }
    }
    void TearDown() override { values_.clear(); }

private:
    std::vector<std::unique_ptr<ScopedRegValue>> values_;
};
::testing::Environment *const g_windowsVersion = ::testing::AddGlobalTestEnvironment(new WindowsVersion);

// The platform the program is for: NT 4.0 from the 32-bit prefix, or
// Windows 95 in the second run.
TEST(Platform, ProgramsStartedHereSeeTheWindowsVersionOfThisRun)
{
    if (sizeof(void *) == 8)
        GTEST_SKIP() << "64-bit Wine reports its own default version; the 32-bit build's runs check NT 4.0 and "
                        "Windows 95";
    TempDir logDir;
    robot::Process::Options options;
    options.args = "--version";
    options.env = {{"SETUP_RECORDER_LOG", logDir / "version.txt"}};
    options.waitForInputIdle = false;
    robot::Process recorder(BuildFile("recorder.exe"), options);
    ASSERT_TRUE(recorder.Wait(30000));
    EXPECT_EQ(ReadText(logDir / "version.txt"), Windows95Run() ? "version=1 4.0\n" : "version=2 4.0\n");
}

TEST_F(Install, EachProcessorAndBookChoiceInstallsExactlyThatAndAsksForTheNotes)
{
    struct Case {
        const char *cpu;
        BookSet books;
    } cases[] = {{"SH3", kAllBooks}, {"MIPS", kAllBooks}, {"SH3", 0}, {"MIPS", Only(IDC_NEWSBOOK)}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.cpu) + ", books " + std::to_string(c.books));
        RemoveTree(device_ / "store");
        DeleteFileA((device_ / "device.log").c_str());
        RemoveTree(services_ / "HPC Applications");
        Device(c.cpu, 4000000);
        Start();
        ASSERT_TRUE(RunDialogs(c.books));
        std::vector<Step> steps = Answer(false);
        ASSERT_EQ(steps.size(), 1u) << (steps.empty() ? "no message box" : steps[0].text);
        EXPECT_EQ(steps[0].caption, "Setup Completed");
        EXPECT_EQ(steps[0].text, kCompletedText);
        ExpectInstalled(c.cpu, c.books);
        EXPECT_TRUE(app_.Running());
        robot::TypeKeys(main_, 'X', true);
        EXPECT_EQ(ExitCode(), 0u);
    }
}

TEST_F(Install, YesToTheClosingQuestionOpensTheReleaseNotesAsTheCommandDoes)
{
    TempDir logDir;
    ScopedRegValue wordpad(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\wordpad.exe",
                           "");
    wordpad.SetString(BuildFile("recorder.exe"));
    Device("SH3", 4000000);
    Start(BuildFile("setup.exe"), SW_SHOWNORMAL, {{"SETUP_RECORDER_LOG", logDir / "launches.txt"}});
    ASSERT_TRUE(RunDialogs(Only(IDC_FILMBOOK)));
    Answer(true);
    // A whole line: the stand-in may have made the file and not yet written it.
    ASSERT_TRUE(robot::WaitUntil(
        [&] { return FileExists(logDir / "launches.txt") && ReadText(logDir / "launches.txt").find('\n') != std::string::npos; },
        5000));
    std::string launch = ReadText(logDir / "launches.txt");
    std::string readme = ProgramDir() + "\\readme.doc";
    EXPECT_EQ(launch.substr(0, 7), "show=3|") << launch;
    EXPECT_NE(launch.find(" \"" + readme + "\""), std::string::npos) << launch;
    EXPECT_TRUE(app_.Running());
}

// Every stage that stops leaves the window up, and the next Install works.
TEST_F(Install, EveryStopLeavesTheWindowRunningForASecondInstall)
{
    Device("SH3", 4000000);
    Start();

    // No to the licence; Cancel in either dialog.
    for (int stage = 0; stage < 3; ++stage) {
        SCOPED_TRACE("stage " + std::to_string(stage));
        ASSERT_TRUE(robot::TypeKeys(main_, 'I', true));
        HWND dlg = dialog_walk::Walk(app_.pid()).To(dialog_walk::Dialog(stage));
        ASSERT_TRUE(dlg);
        robot::Press(dlg, stage == 0 ? IDC_NO : IDCANCEL);
        EXPECT_TRUE(Answer(false).empty()) << "a stop adds no message of its own";
        EXPECT_FALSE(DirExists(desktopDir_));
    }

    // A failed extraction: a file stands where the desktop directory's parent should be.
    WriteText(services_ / "HPC Applications", "in the way");
    ASSERT_TRUE(RunDialogs(kAllBooks));
    std::vector<Step> steps = Answer(false);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].caption, "Setup Error");
    EXPECT_EQ(steps[0].text.substr(0, 18), "Failed step 6, Err") << steps[0].text;
    DeleteFileA((services_ / "HPC Applications").c_str());

    // A failed device step: the handheld PC is not attached.
    WriteText(device_ / "device.ini", "[Device]\r\nAttached=0\r\n");
    ASSERT_TRUE(RunDialogs(kAllBooks));
    steps = Answer(false);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].text.substr(0, 40), "Unable to establish communications with ");
    EXPECT_FALSE(FileExists(device_ / "store\\Windows\\qARNEL.htc"));

    // Attached again: the same window installs.
    Device("SH3", 4000000);
    ASSERT_TRUE(RunDialogs(kAllBooks));
    steps = Answer(false);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].caption, "Setup Completed");
    ExpectInstalled("SH3", kAllBooks);
}

TEST_F(Install, SecondInstallReplacesTheFilesAndWarnsThatQarnelIsThere)
{
    Device("MIPS", 4000000);
    Start();
    ASSERT_TRUE(RunDialogs(kAllBooks));
    ASSERT_EQ(Answer(false).size(), 1u);
    std::string form = ReadText(desktopDir_ + "\\register.txt");
    // Spoil a file the first install wrote: the second puts it right.
    WriteText(desktopDir_ + "\\books\\film\\toc.txt", std::string(5000, 'x'));

    ASSERT_TRUE(RunDialogs(kAllBooks));
    std::vector<Step> steps = Answer(false);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].caption, "Setup Suggestion:");
    EXPECT_EQ(steps[0].text.substr(0, 40), "It appears that qARNEL is already instal");
    EXPECT_EQ(steps[1].caption, "Setup Completed");
    EXPECT_EQ(ReadText(desktopDir_ + "\\register.txt"), form) << "the form is replaced, never grown";
    ExpectInstalled("MIPS", kAllBooks);
}

// ---- Windows 95's answers to the file calls (support/win95_files.cpp) ----

// The ways Windows 95 may answer what replacing a file calls: MoveFileExA
// not there, or there and failing with 120; a rename onto a name that exists
// refused with 5 or with 183. Each run has every answer, and the two runs
// together every pair.
std::vector<std::string> Win95Answers()
{
    if (Windows95Run())
        return {"MoveFileExA=missing MoveFileA=183", "MoveFileExA=120 MoveFileA=5"};
    return {"MoveFileExA=missing MoveFileA=5", "MoveFileExA=120 MoveFileA=183"};
}

// The built program with a payload whose every file differs (edition 1).
void WriteSecondSetup(const std::string &dir)
{
    // The program image, then the checksum block of the new files where
    // setup.exe has its own, ending at the payload.
    const std::vector<DistRecord> manifest = DistManifest();
    std::vector<Bytes> files;
    std::vector<uint32_t> crcs;
    for (const DistRecord &r : manifest) {
        files.push_back(PayloadFile(r, 1));
        crcs.push_back(Crc32Update(0, files.back().data(), files.back().size()));
    }
    Bytes setup = ReadBytes(BuildFile("setup.exe"));
    setup.resize(size_t(SETUP_PAYLOAD_OFFSET - PAYLOAD_CB_CHECKSUMS(manifest.size())));
    VectorSink sink(&setup);
    WritePayloadChecksums(&sink, crcs.data(), uint32_t(crcs.size()));
    for (size_t i = 0; i < manifest.size(); ++i)
        WritePayloadRecord(&sink, manifest[i].name.c_str(), manifest[i].dir.c_str(), files[i].data(),
                           uint32_t(files[i].size()), i + 1 < manifest.size() ? 1 : 0);
    WritePayloadTrailer(&sink, SETUP_PAYLOAD_OFFSET);
    WriteBytes(dir + "\\setup.exe", setup.data(), setup.size());
    CopyFileA(BuildFile("readme.doc").c_str(), (dir + "\\readme.doc").c_str(), FALSE);
}

class Win95Files : public Install {
protected:
    // An Install that stops at record k's target step with that error: the
    // records before it hold the running setup's files (edition 0), record k
    // and those after it what they held, edition 1; no temporary file stays.
    void ExpectStopAt(size_t k, DWORD error)
    {
        ASSERT_TRUE(RunDialogs(kAllBooks));
        std::vector<Step> steps = Answer(false);
        ASSERT_EQ(steps.size(), 1u);
        EXPECT_EQ(steps[0].caption, "Setup Error");
        EXPECT_EQ(steps[0].text, "Failed step " + std::to_string(6 + 2 * k) + ", Error code is " +
                                     std::to_string(error) + "\n");
        for (size_t i = 0; i < manifest_.size(); ++i)
            EXPECT_EQ(ReadBytes(Target(manifest_[i])), PayloadFile(manifest_[i], i < k ? 0 : 1)) << i;
        ExpectNoTemporaryFile();
    }
    void ExpectNoTemporaryFile()
    {
        for (const std::string &path : Tree(desktopDir_))
            EXPECT_EQ(path.find("~sp"), std::string::npos) << "temporary file left: " << path;
    }
    size_t Record(const std::string &name) const
    {
        for (size_t i = 0; i < manifest_.size(); ++i)
            if (manifest_[i].name == name)
                return i;
        ADD_FAILURE() << name << " is not in the manifest";
        return 0;
    }

    const std::vector<DistRecord> manifest_ = DistManifest();
};

// For each way of answering: an install into a new directory; a second one
// from a setup whose every file differs, with other books and another
// person; then with the first setup again a read-only file in the way, the
// new file held open when it is to take its name, and a whole install.
TEST_F(Win95Files, EachWayOfAnsweringReplacesEveryFileOrKeepsTheOldOne)
{
    if (sizeof(void *) == 8)
        GTEST_SKIP() << "Windows 95 runs the 32-bit program";
    TempDir second;
    WriteSecondSetup(second.path());
    dialog_walk::Answers bea;
    bea.fields = {{IDC_NAME, "Bea Ray"}, {IDC_COMPANY, "Ray & Co"}, {IDC_FAX, "555-0199"}};
    const BookSet beasBooks = kAllBooks & ~Only(IDC_CUSTOMBOOK);
    const size_t readOnly = Record("LOGO.2BP"), held = Record("film05.htm");
    ASSERT_LT(readOnly, held);
    for (const std::string &answers : Win95Answers()) {
        SCOPED_TRACE(answers);
        win95Files_ = answers;
        RemoveTree(services_ / "HPC Applications");
        RemoveTree(device_ / "store");
        DeleteFileA((device_ / "device.log").c_str());
        DeleteFileA(Win95Log().c_str());
        Device("SH3", 4000000);

        Start();
        ASSERT_TRUE(RunDialogs(0));
        std::vector<Step> steps = Answer(false);
        ASSERT_EQ(steps.size(), 1u);
        EXPECT_EQ(steps[0].caption, "Setup Completed") << steps[0].text;
        ExpectInstalled("SH3", 0);

        Start(second / "setup.exe");
        ASSERT_TRUE(RunDialogs(beasBooks, bea));
        steps = Answer(false);
        ASSERT_EQ(steps.size(), 2u) << (steps.empty() ? "no message box" : steps[0].text);
        EXPECT_EQ(steps[0].caption, "Setup Suggestion:");
        EXPECT_EQ(steps[1].caption, "Setup Completed") << steps[1].text;
        ExpectInstalled("SH3", beasBooks, 1, bea);
        ExpectNoTemporaryFile();
        const std::string log = ReadText(Win95Log());
        EXPECT_NE(log.find(" -> ~sp"), std::string::npos) << "no old file was moved aside";
        // On Windows 95 its MoveFileEx is not even looked up; elsewhere its
        // absence or its 120 is what takes the program to the fallback.
        EXPECT_EQ(log.find("GetProcAddress MoveFileExA") == std::string::npos, Windows95Run()) << log;

        win95Files_ = answers + " hold=" + manifest_[held].name;
        Start();
        const std::string locked = Target(manifest_[readOnly]);
        SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY);
        ExpectStopAt(readOnly, ERROR_ACCESS_DENIED);
        EXPECT_EQ(GetFileAttributesA(locked.c_str()) & FILE_ATTRIBUTE_READONLY, DWORD(FILE_ATTRIBUTE_READONLY));
        SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);

        ExpectStopAt(held, ERROR_SHARING_VIOLATION);
        EXPECT_NE(ReadText(Win95Log()).find(manifest_[held].name + " (played: held open)"), std::string::npos);

        ASSERT_TRUE(RunDialogs(kAllBooks));
        steps = Answer(false);
        ASSERT_EQ(steps.size(), 2u) << (steps.empty() ? "no message box" : steps[0].text);
        EXPECT_EQ(steps[1].caption, "Setup Completed") << steps[1].text;
        ExpectInstalled("SH3", kAllBooks);
        ExpectNoTemporaryFile();
        if (HasFailure())
            return;
    }
}

// ---- The device-library check, in a program that starts without them ----

class LibraryCheck : public ::testing::Test {
protected:
    // Runs libcheck_driver.exe from a folder of its own with the steps given;
    // hook(i) runs at the i-th "wait". The message boxes it shows are answered.
    std::vector<std::string> Run(const std::string &steps, std::vector<robot::MessageBox> *boxes,
                                 const std::function<void(int)> &hook = nullptr)
    {
        std::string exe = dir_ / "libcheck_driver.exe";
        CopyFileA(BuildFile("libcheck_driver.exe").c_str(), exe.c_str(), FALSE);
        std::string event = "libcheck-" + std::to_string(GetCurrentProcessId());
        HANDLE hEvent = CreateEventA(NULL, FALSE, FALSE, event.c_str());
        robot::Process::Options options;
        options.args = steps;
        options.cwd = dir_.path();   // the build tree, with the libraries, is nowhere on the search path
        options.env = {{"SETUP_TEST_REPORT", dir_ / "report.txt"}, {"SETUP_TEST_EVENT", event}};
        options.waitForInputIdle = false;   // it may never wait for input
        robot::Process driver(exe, options);
        EXPECT_TRUE(driver.started());
        int waits = 0;
        size_t checks = 0;
        std::istringstream in(steps);
        for (std::string step; in >> step;) {
            if (step == "check") {
                robot::MessageBox box;
                // Its box, if any, until its line is in the report.
                ++checks;
                robot::WaitUntil([&] {
                    if (robot::WaitForMessageBox(driver.pid(), &box, 20)) {
                        boxes->push_back(box);
                        robot::Press(box.hwnd, IDOK);
                        robot::WaitGone(box.hwnd, 5000);
                    }
                    return Report().size() >= checks;
                });
            } else if (step == "wait") {
                if (hook)
                    hook(waits++);
                SetEvent(hEvent);
            }
        }
        EXPECT_TRUE(driver.Wait(10000));
        CloseHandle(hEvent);
        return Report();
    }
    std::vector<std::string> Report()
    {
        std::vector<std::string> lines;
        std::istringstream in(FileExists(dir_ / "report.txt") ? ReadText(dir_ / "report.txt") : "");
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    void Put(const char *dll) { CopyFileA(BuildFile(dll).c_str(), (dir_ / dll).c_str(), FALSE); }
    TempDir dir_;
};

std::string Missing(const char *library)
{
    return std::string("Error - setup could not find ") + library +
           ".dll on your system.\r\rThis file should have been installed when HPC Explorer was installed on your "
           "system\r\rThis setup program can not run correctly until this file is present on your system.";
}

TEST_F(LibraryCheck, NamesTheFirstMissingLibraryAndTriesAgainOnTheNextInstall)
{
    std::vector<robot::MessageBox> boxes;
    std::vector<std::string> report =
        Run("check wait check wait check", &boxes, [&](int i) { Put(i == 0 ? "ppcload.dll" : "rapi.dll"); });
    // Neither there: ppcload is named and rapi is not even tried.
    // Then ppcload only: rapi is named. Then both: no message.
    EXPECT_EQ(report, (std::vector<std::string>{"check=0 ppcload=0 rapi=0", "check=0 ppcload=1 rapi=0",
                                                "check=1 ppcload=1 rapi=1"}));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, Missing("ppcload"));
    EXPECT_EQ(boxes[0].caption, "Setup Error");
    EXPECT_EQ(boxes[1].text, Missing("rapi"));
}

TEST_F(LibraryCheck, OncePassedItIsNotRepeatedInTheSameRun)
{
    Put("ppcload.dll");
    Put("rapi.dll");
    std::vector<robot::MessageBox> boxes;
    // Passed, libraries unloaded and taken away: the next Install does not look again.
    std::vector<std::string> report = Run("check free wait check", &boxes, [&](int) {
        DeleteFileA((dir_ / "ppcload.dll").c_str());
        DeleteFileA((dir_ / "rapi.dll").c_str());
    });
    EXPECT_EQ(report, (std::vector<std::string>{"check=1 ppcload=1 rapi=1", "check=1 ppcload=0 rapi=0"}));
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
