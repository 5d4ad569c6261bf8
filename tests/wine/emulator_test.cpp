// The emulated handheld PC (ppcload.dll, rapi.dll), called in this process
// as the setup calls it: what a load puts on the device, the answers it
// gives, and the faults its settings inject.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "device/device.h"
#include "device/load_script.h"
#include "device/loader.h"
#include "device_support.h"
#include "dist_books.h"
#include "test_support.h"

#include "res/resource.h"   // after <windows.h>

using namespace testing_support;
using device_support::DeviceSettings;
using device_support::EmulatedDevice;

namespace {

const char kAppDir[] = "\\Program Files\\qARNEL Beta";
const char kShortcut[] = "39#\"\\Program Files\\qARNEL Beta\\qARNEL.exe\"";

// Device paths compared without case, sorted: the script spells some names
// otherwise than the manifest ("LOGO.2bp"), and neither file system minds.
std::vector<std::string> LowerCased(std::vector<std::string> paths)
{
    for (std::string &path : paths)
        path = LowerCase(path);
    std::sort(paths.begin(), paths.end());
    return paths;
}

struct Loader {
    HMODULE ppcload = LoadLibraryA(BuildFile("ppcload.dll").c_str());
    HMODULE rapi = LoadLibraryA(BuildFile("rapi.dll").c_str());
    template <class F> F Get(HMODULE h, const char *name) { return reinterpret_cast<F>(GetProcAddress(h, name)); }
    decltype(&::Load_Init) Init = Get<decltype(&::Load_Init)>(ppcload, "Load_Init");
    decltype(&::Load_AlreadyInstalled) AlreadyInstalled =
        Get<decltype(&::Load_AlreadyInstalled)>(ppcload, "Load_AlreadyInstalled");
    decltype(&::Load_PegCpuType) CpuType = Get<decltype(&::Load_PegCpuType)>(ppcload, "Load_PegCpuType");
    decltype(&::Load_PegFreeSpace) FreeSpace = Get<decltype(&::Load_PegFreeSpace)>(ppcload, "Load_PegFreeSpace");
    decltype(&::Load) Load = Get<decltype(&::Load)>(ppcload, "Load");
    decltype(&::Load_Exit) Exit = Get<decltype(&::Load_Exit)>(ppcload, "Load_Exit");
    decltype(&::PegCreateProcess) CreateProcess = Get<decltype(&::PegCreateProcess)>(rapi, "PegCreateProcess");
};

class Emulator : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lib_.Init && lib_.AlreadyInstalled && lib_.CpuType && lib_.FreeSpace && lib_.Load &&
                    lib_.Exit && lib_.CreateProcess)
            << "the device libraries or their undecorated exports are missing";
        ASSERT_TRUE(device_support::CopyPayload(desktop_.path()));
        GetCurrentDirectoryA(sizeof savedDir_, savedDir_);
        SetCurrentDirectoryA(desktop_.path().c_str());
    }
    void TearDown() override
    {
        lib_.Exit();
        SetCurrentDirectoryA(savedDir_);
        SetEnvironmentVariableA("HPC_DEVICE", NULL);
    }
    void Use(const std::string &settings)
    {
        device_ = std::make_unique<EmulatedDevice>(settings);
        SetEnvironmentVariableA("HPC_DEVICE", device_->dir().c_str());
    }
    // Writes the script for the books and loads it as the setup would.
    int LoadBooks(BookSet books, const char *cpu = "SH3", const char *script = "qARNEL.ld")
    {
        ChooseBooks(books);
        EXPECT_TRUE(WriteLoadScriptFile(c_szLoadScriptFile));
        return LoadLine(std::string(cpu) + " \"qARNEL\" \"\\Program Files\\qARNEL Beta\" 230054 \"Ann Lee\" \"\" " +
                        script);
    }
    int LoadLine(const std::string &cmdline) { return lib_.Load(NULL, cmdline.c_str()); }
    std::string Payload(const std::string &path) { return ReadText(SourceFile("dist/payload/" + path)); }
    std::string OnDevice(const std::string &path) { return ReadText(device_->Store(path)); }
    unsigned long Free() { return std::stoul(device_->Setting("Device", "FreeSpace")); }
    // The files a complete load of these books leaves in the store (the
    // books' files as the manifest lists them), as LowerCased gives them.
    static std::vector<std::string> Installed(BookSet books)
    {
        std::vector<std::string> files = {std::string(kAppDir) + "\\qARNEL.exe", "\\Windows\\qARNEL.htc",
                                          "\\Windows\\Programs\\qARNEL Beta.lnk",
                                          "\\Windows\\Desktop\\qARNEL Beta.lnk"};
        for (int i = 0; i < CBOOKS; ++i)
            if (Takes(books, i))
                for (const DistRecord &r : BookRecords(DistManifest(), c_rgBooks[i]))
                    files.push_back(BookDir(i) + "\\" + r.name);
        return LowerCased(files);
    }
    // A book's folder on the device.
    static std::string BookDir(int iBook) { return std::string(kAppDir) + "\\Books\\" + c_rgBooks[iBook].pszDeviceDir; }
    // Bytes of the payload files a load of these books puts on an SH3 device.
    unsigned long LoadedBytes(BookSet books)
    {
        unsigned long bytes = Payload("qARNEL.exe.sh3").size() + Payload("qARNEL.htc").size();
        for (int i = 0; i < CBOOKS; ++i)
            if (Takes(books, i))
                for (const DistRecord &r : BookRecords(DistManifest(), c_rgBooks[i]))
                    bytes += ReadBytes(SourceFile("dist/" + r.source)).size();
        return bytes;
    }

    Loader lib_;
    TempDir desktop_;
    std::unique_ptr<EmulatedDevice> device_;
    char savedDir_[MAX_PATH] = "";
};

TEST_F(Emulator, LoadPutsTheProcessorsBuildTheHelpTheChosenBooksAndTwoShortcutsOnTheDevice)
{
    Use(DeviceSettings("SH3", 4194304));
    ASSERT_EQ(lib_.Init(), 0);
    EXPECT_NE(lib_.AlreadyInstalled("qARNEL"), 1);
    ASSERT_EQ(LoadBooks(kAllBooks), 0);

    EXPECT_EQ(LowerCased(device_->Files()), Installed(kAllBooks));
    EXPECT_EQ(OnDevice("\\Program Files\\qARNEL Beta\\qARNEL.exe"), Payload("qARNEL.exe.sh3"));
    EXPECT_EQ(OnDevice("\\Windows\\qARNEL.htc"), Payload("qARNEL.htc"));
    EXPECT_EQ(OnDevice(BookDir(BookRow(IDC_NEWSBOOK)) + "\\LOGO.2bp"), Payload("books/tarvelo/LOGO.2BP"));
    EXPECT_EQ(OnDevice(BookDir(BookRow(IDC_FILMBOOK)) + "\\film35.htm"), Payload("books/film/film35.htm"));
    EXPECT_EQ(OnDevice(BookDir(BookRow(IDC_CUSTOMBOOK)) + "\\Table of Contents.html"),
              Payload("books/Custom/Table of Contents.html"));
    EXPECT_EQ(OnDevice("\\Windows\\Programs\\qARNEL Beta.lnk"), kShortcut);
    EXPECT_EQ(OnDevice("\\Windows\\Desktop\\qARNEL Beta.lnk"), kShortcut);

    // The free space went down by exactly what was written.
    unsigned long written = LoadedBytes(kAllBooks) + 2 * (sizeof kShortcut - 1);
    EXPECT_EQ(Free(), 4194304 - written);
    EXPECT_EQ(lib_.FreeSpace(), 4194304 - written);
    EXPECT_EQ(lib_.AlreadyInstalled("qARNEL"), 1);
    EXPECT_EQ(device_->Setting("Installed", "qARNEL"), kAppDir);

    // Loading again replaces the files and takes no further space.
    ASSERT_EQ(LoadBooks(kAllBooks), 0);
    EXPECT_EQ(Free(), 4194304 - written);
}

TEST_F(Emulator, MipsDeviceGetsTheMipsBuildAndOnlyTheFilmBook)
{
    Use(DeviceSettings("MIPS", 4194304));
    ASSERT_EQ(lib_.Init(), 0);
    ASSERT_EQ(LoadBooks(Only(IDC_FILMBOOK), "MIPS"), 0);
    EXPECT_EQ(LowerCased(device_->Files()), Installed(Only(IDC_FILMBOOK)));
    EXPECT_EQ(OnDevice("\\Program Files\\qARNEL Beta\\qARNEL.exe"), Payload("qARNEL.exe.mips"));
    EXPECT_TRUE(DirExists(device_->Store("\\Program Files\\qARNEL Beta\\Books")));
    EXPECT_FALSE(DirExists(device_->Store(BookDir(BookRow(IDC_NEWSBOOK)))));
}

TEST_F(Emulator, DetachMidLoadLeavesTheApplicationNotInstalled)
{
    Use(DeviceSettings("SH3", 4194304));
    ASSERT_EQ(lib_.Init(), 0);
    ASSERT_EQ(LoadBooks(kAllBooks), 0);   // an earlier, complete install
    device_->Put("Faults", "DetachAfter", "10");
    EXPECT_NE(LoadBooks(kAllBooks), 0);
    EXPECT_EQ(device_->Setting("Installed", "qARNEL"), "");
    EXPECT_EQ(device_->Setting("Device", "Attached"), "0");
    EXPECT_NE(lib_.AlreadyInstalled("qARNEL"), 1);

    // Gone: no new connection until it is attached again.
    lib_.Exit();
    EXPECT_NE(lib_.Init(), 0);
    device_->Put("Device", "Attached", "1");
    device_->Put("Faults", "DetachAfter", NULL);
    ASSERT_EQ(lib_.Init(), 0);
    EXPECT_NE(lib_.AlreadyInstalled("qARNEL"), 1);
}

TEST_F(Emulator, LoadThatFailsWritesNothing)
{
    // Not enough room for what the script copies: refused before writing.
    Use(DeviceSettings("SH3", 40000));
    ASSERT_EQ(lib_.Init(), 0);
    std::vector<std::string> before = device_->Files();
    EXPECT_NE(LoadBooks(Only(IDC_FILMBOOK)), 0);
    EXPECT_EQ(device_->Files(), before);
    EXPECT_EQ(Free(), 40000u);

    // The injected failure.
    device_->Put("Device", "FreeSpace", "4194304");
    device_->Put("Faults", "LoadFails", "1");
    EXPECT_NE(LoadBooks(kAllBooks), 0);
    EXPECT_EQ(device_->Files(), before);

    // Scripts and command lines the loader cannot carry out are refused whole.
    device_->Put("Faults", "LoadFails", NULL);
    WriteText(desktop_ / "bad.ld", "mkdir \"\\Program Files\\qARNEL Beta\\Books\" \ncopy . . missing.exe\n");
    EXPECT_NE(LoadLine("SH3 \"qARNEL\" \"\\Program Files\\qARNEL Beta\" 1 \"A\" \"\" bad.ld"), 0);
    WriteText(desktop_ / "bad.ld", "copy . ..\\..\\..\\outside qARNEL.htc\n");
    EXPECT_NE(LoadLine("SH3 \"qARNEL\" \"\\Program Files\\qARNEL Beta\" 1 \"A\" \"\" bad.ld"), 0);
    WriteText(desktop_ / "bad.ld", "format \\\n");
    EXPECT_NE(LoadLine("SH3 \"qARNEL\" \"\\Program Files\\qARNEL Beta\" 1 \"A\" \"\" bad.ld"), 0);
    EXPECT_NE(LoadLine("SH3 \"qARNEL\" \"\\Program Files\\qARNEL Beta\" 1 \"A\" \"\" missing.ld"), 0);
    EXPECT_NE(LoadLine("SH3 \"qARNEL\" \"\\Program Files\\qARNEL Beta\" 1 \"A \"B\" \"\" bad.ld"), 0);
    EXPECT_EQ(device_->Files(), before);
    EXPECT_FALSE(FileExists(device_->dir() + "\\outside\\qARNEL.htc"));
}

TEST_F(Emulator, ProgramsStartOnlyWhenTheyAreOnTheDevice)
{
    Use(DeviceSettings("SH3", 4194304));
    ASSERT_EQ(lib_.Init(), 0);
    ASSERT_EQ(LoadBooks(0), 0);
    PROCESS_INFORMATION pi = {};
    EXPECT_TRUE(lib_.CreateProcess(L"\\Program Files\\qARNEL Beta\\qARNEL.exe", NULL, NULL, NULL, FALSE, 0, NULL,
                                   NULL, NULL, &pi));
    EXPECT_NE(pi.dwProcessId, 0u);
    EXPECT_FALSE(lib_.CreateProcess(L"\\Program Files\\qARNEL Beta\\qARNEL Beta", NULL, NULL, NULL, FALSE, 0, NULL,
                                    NULL, NULL, &pi));
    EXPECT_FALSE(lib_.CreateProcess(L"\\Program Files\\qARNEL Beta", NULL, NULL, NULL, FALSE, 0, NULL, NULL, NULL,
                                    &pi));
    std::vector<std::string> log = device_->Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "PegCreateProcess \"\\Program Files\\qARNEL Beta\\qARNEL.exe\" = 1 started"),
              log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "PegCreateProcess \"\\Program Files\\qARNEL Beta\\qARNEL Beta\" = 0"),
              log.end());
}

}  // namespace
