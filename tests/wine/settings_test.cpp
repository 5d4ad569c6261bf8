// The install settings under Wine: the default desktop directory from the
// registry, and the user record's file "UserInfo.dat".
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "settings/settings.h"
#include "test_support.h"

using namespace testing_support;

namespace {

const char kKey[] = "Software\\Microsoft\\Pegasus";
const char kBuiltIn[] = "c:\\Program Files\\HPC Explorer\\HPC Applications\\tarvelo\\qARNEL";

std::string DirAfter(ScopedRegValue &value, DWORD type, const void *data, DWORD size)
{
    value.Set(type, data, size);
    CopyText(g_szDesktopDir, sizeof g_szDesktopDir, "stale");
    ComputeDefaultDesktopDir();
    return g_szDesktopDir;
}

TEST(DefaultDesktopDir, PlainStringValueGivesTheApplicationDirectoryBelowIt)
{
    ScopedRegValue value(HKEY_LOCAL_MACHINE, kKey, "InstalledDir");
    const char dir[] = "C:\\Program Files\\HPC Explorer";
    EXPECT_EQ(DirAfter(value, REG_SZ, dir, sizeof dir),
              "C:\\Program Files\\HPC Explorer\\HPC Applications\\tarvelo\\qARNEL");
    // Stored without its terminating NUL: the stored bytes only.
    EXPECT_EQ(DirAfter(value, REG_SZ, dir, sizeof dir - 1),
              "C:\\Program Files\\HPC Explorer\\HPC Applications\\tarvelo\\qARNEL");
    // The longest value that fits with the suffix in 260 bytes.
    std::string longest = "C:\\" + std::string(224, 'd');
    EXPECT_EQ(DirAfter(value, REG_SZ, longest.c_str(), DWORD(longest.size() + 1)),
              longest + "\\HPC Applications\\tarvelo\\qARNEL");
}

TEST(DefaultDesktopDir, AnythingButAUsablePlainStringGivesTheBuiltInDefault)
{
    ScopedRegValue value(HKEY_LOCAL_MACHINE, kKey, "InstalledDir");
    const char dir[] = "%ProgramFiles%\\HPC Explorer";
    EXPECT_EQ(DirAfter(value, REG_EXPAND_SZ, dir, sizeof dir), kBuiltIn);
    EXPECT_EQ(DirAfter(value, REG_BINARY, dir, sizeof dir), kBuiltIn);
    EXPECT_EQ(DirAfter(value, REG_SZ, "", 0), kBuiltIn);
    EXPECT_EQ(DirAfter(value, REG_SZ, "", 1), kBuiltIn);
    std::string tooLong = "C:\\" + std::string(225, 'd');
    EXPECT_EQ(DirAfter(value, REG_SZ, tooLong.c_str(), DWORD(tooLong.size() + 1)), kBuiltIn);
    std::string huge(4000, 'e');
    EXPECT_EQ(DirAfter(value, REG_SZ, huge.c_str(), DWORD(huge.size())), kBuiltIn);

    value.Delete();
    ComputeDefaultDesktopDir();
    EXPECT_STREQ(g_szDesktopDir, kBuiltIn);
}

TEST(DefaultDesktopDir, MissingKeyGivesTheBuiltInDefault)
{
    ScopedRegValue value(HKEY_LOCAL_MACHINE, kKey, "InstalledDir");
    value.Delete();
    value.DeleteKey();
    CopyText(g_szDesktopDir, sizeof g_szDesktopDir, "stale");
    ComputeDefaultDesktopDir();
    EXPECT_STREQ(g_szDesktopDir, kBuiltIn);
}

class UserRecord : public ::testing::Test {
protected:
    void SetUp() override { PointAt(dir_.path()); }
    void PointAt(const std::string &path) { CopyText(g_szDesktopDir, sizeof g_szDesktopDir, path.c_str()); }
    std::string DataFile() const { return dir_ / "UserInfo.dat"; }
    static void Fill(USERINFO *p, char c) { memset(p, c, sizeof *p); }
    TempDir dir_;
};

TEST_F(UserRecord, MissingFileIsCreatedEmptyAndClearsTheRecord)
{
    Fill(&g_UserInfo, 'q');
    ReadUserInfo();
    ASSERT_TRUE(FileExists(DataFile()));
    EXPECT_EQ(ReadBytes(DataFile()).size(), 0u);
    USERINFO zero;
    memset(&zero, 0, sizeof zero);
    EXPECT_EQ(memcmp(&g_UserInfo, &zero, sizeof zero), 0);
}

TEST_F(UserRecord, AbsentDirectoryCreatesNothingAndKeepsTheRecord)
{
    std::string absent = dir_ / "not-yet";
    PointAt(absent);
    Fill(&g_UserInfo, 0);
    strcpy(g_UserInfo.szName, "Please enter your name here.");
    ReadUserInfo();
    EXPECT_STREQ(g_UserInfo.szName, "Please enter your name here.");
    EXPECT_FALSE(DirExists(absent));
    EXPECT_FALSE(WriteUserInfo());
    EXPECT_FALSE(DirExists(absent));
}

TEST_F(UserRecord, WriteStoresTheExactRecordAndReadBringsItBack)
{
    Fill(&g_UserInfo, 0);
    g_UserInfo.dwLeading = 0xA1B2C3D4;
    strcpy(g_UserInfo.szName, "Ann Lee");
    strcpy(g_UserInfo.szAddress, "1 Main St\r\nSuite 2");
    strcpy(g_UserInfo.szKeyNumber, "K-77");
    USERINFO written = g_UserInfo;
    ASSERT_TRUE(WriteUserInfo());
    std::vector<unsigned char> bytes = ReadBytes(DataFile());
    ASSERT_EQ(bytes.size(), 2564u);
    EXPECT_EQ(memcmp(bytes.data(), &written, 2564), 0);
    EXPECT_EQ(bytes[0], 0xD4);   // the leading word, little-endian, as it was

    Fill(&g_UserInfo, 'x');
    ReadUserInfo();
    EXPECT_EQ(memcmp(&g_UserInfo, &written, sizeof written), 0);
}

TEST_F(UserRecord, LongFileIsReadTo2564BytesAndOnlyThoseAreOverwritten)
{
    std::string stored(3000, '\0');
    memcpy(&stored[4], "Old Name", 8);
    for (size_t i = 2564; i < stored.size(); ++i)
        stored[i] = char('a' + i % 26);
    WriteText(DataFile(), stored);

    ReadUserInfo();
    EXPECT_STREQ(g_UserInfo.szName, "Old Name");

    strcpy(g_UserInfo.szName, "New");
    ASSERT_TRUE(WriteUserInfo());
    std::string after = ReadText(DataFile());
    ASSERT_EQ(after.size(), 3000u);
    EXPECT_EQ(after.substr(2564), stored.substr(2564));
    EXPECT_EQ(memcmp(after.data(), &g_UserInfo, 2564), 0);
}

TEST_F(UserRecord, ShortFileStopsAtItsEndAndTheRestIsZero)
{
    std::string stored(100, '\0');
    memcpy(&stored[4], "Short", 5);
    WriteText(DataFile(), stored);
    Fill(&g_UserInfo, 'x');
    ReadUserInfo();
    EXPECT_STREQ(g_UserInfo.szName, "Short");
    EXPECT_STREQ(g_UserInfo.szCompany, "");
    EXPECT_STREQ(g_UserInfo.szKeyNumber, "");
}

TEST_F(UserRecord, UnterminatedFieldsAreTerminatedInsideTheirBytes)
{
    WriteText(DataFile(), std::string(2564, 'A'));
    ReadUserInfo();
    EXPECT_EQ(strlen(g_UserInfo.szName), 255u);
    EXPECT_EQ(strlen(g_UserInfo.szFax), 255u);
    EXPECT_EQ(strlen(g_UserInfo.szKeyNumber), 255u);
}

TEST_F(UserRecord, FileHeldOpenByAnotherProgramLeavesTheRecordAsItWas)
{
    WriteText(DataFile(), std::string(2564, 'B'));
    HANDLE h = CreateFileA(DataFile().c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    Fill(&g_UserInfo, 0);
    strcpy(g_UserInfo.szName, "kept");
    ReadUserInfo();
    EXPECT_STREQ(g_UserInfo.szName, "kept");
    EXPECT_FALSE(WriteUserInfo());
    CloseHandle(h);
}

}  // namespace
