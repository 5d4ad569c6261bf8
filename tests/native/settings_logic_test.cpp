// Bounded text helpers, the desktop directory built from the services'
// registry value, and the user record's layout and repair.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/text.h"
#include "settings/desktop_dir.h"
#include "settings/userinfo.h"

TEST(Text, CopyAppendFormatNeverPassTheBufferAndSayWhenCut)
{
    char sz[8];
    memset(sz, 'x', sizeof sz);
    EXPECT_TRUE(CopyText(sz, sizeof sz, "1234567"));
    EXPECT_STREQ(sz, "1234567");
    EXPECT_FALSE(CopyText(sz, sizeof sz, "123456789"));
    EXPECT_STREQ(sz, "1234567");

    char szGuarded[12] = "abc";
    memset(szGuarded + 8, '#', 4);
    EXPECT_TRUE(AppendText(szGuarded, 8, "defg"));
    EXPECT_STREQ(szGuarded, "abcdefg");
    EXPECT_FALSE(AppendText(szGuarded, 8, "h"));
    EXPECT_EQ(std::string(szGuarded + 8, 4), "####");

    // An unterminated destination is terminated at its end, not read past it.
    char szFull[4] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(AppendText(szFull, sizeof szFull, "e"));
    EXPECT_EQ(szFull[3], '\0');

    EXPECT_TRUE(FormatText(sz, sizeof sz, "%s-%d", "ab", 42));
    EXPECT_STREQ(sz, "ab-42");
    EXPECT_FALSE(FormatText(sz, sizeof sz, "%s", "too long a text"));
    EXPECT_STREQ(sz, "too lon");
    EXPECT_FALSE(CopyText(sz, 0, "a"));
}

static std::string DirFrom(const std::string &value, size_t cbValue, bool *pfOk = nullptr)
{
    char szDir[CCH_DESKTOP_DIR] = "unchanged";
    bool fOk = DesktopDirFromInstalledDir(value.data(), cbValue, szDir, sizeof szDir);
    if (pfOk)
        *pfOk = fOk;
    return szDir;
}

TEST(DesktopDir, InstalledDirGetsTheApplicationSuffix)
{
    std::string value("C:\\Program Files\\HPC Explorer", 30);   // with its NUL
    EXPECT_EQ(DirFrom(value, value.size()), "C:\\Program Files\\HPC Explorer\\HPC Applications\\tarvelo\\qARNEL");
    // Stored without a terminator: only the stored bytes count.
    EXPECT_EQ(DirFrom(value, 29), "C:\\Program Files\\HPC Explorer\\HPC Applications\\tarvelo\\qARNEL");
    // Bytes after the first NUL are not part of the text.
    EXPECT_EQ(DirFrom(std::string("D:\\HPC\0junk", 11), 11), "D:\\HPC\\HPC Applications\\tarvelo\\qARNEL");
    EXPECT_STREQ(c_szBuiltInDesktopDir, "c:\\Program Files\\HPC Explorer\\HPC Applications\\tarvelo\\qARNEL");
}

TEST(DesktopDir, EmptyOrOverlongValuesLeaveTheDefault)
{
    bool fOk = true;
    EXPECT_EQ(DirFrom(std::string("\0", 1), 1, &fOk), "unchanged");
    EXPECT_FALSE(fOk);

    // 227 characters + the 32-character suffix + NUL fill the 260 bytes exactly.
    std::string fits(227, 'a');
    EXPECT_EQ(DirFrom(fits, fits.size(), &fOk).size(), 259u);
    EXPECT_TRUE(fOk);
    std::string tooLong(228, 'a');
    EXPECT_EQ(DirFrom(tooLong, tooLong.size(), &fOk), "unchanged");
    EXPECT_FALSE(fOk);
    std::string huge(5000, 'b');
    EXPECT_EQ(DirFrom(huge, huge.size(), &fOk), "unchanged");
}

TEST(UserInfo, FieldsInRecordOrderAndRepairOfUnterminatedFields)
{
    USERINFO info;
    memset(&info, 'z', sizeof info);
    info.dwLeading = 0x12345678;
    strcpy(info.szCity, "Kent");
    TerminateUserInfoFields(&info);
    for (int i = 0; i < USERINFO_CFIELDS; ++i) {
        const char *psz = UserInfoField(&info, i);
        ASSERT_NE(psz, nullptr);
        EXPECT_EQ(psz - reinterpret_cast<const char *>(&info), 4 + 256 * i);
        EXPECT_LT(strlen(psz), 256u);
    }
    EXPECT_STREQ(info.szCity, "Kent");
    EXPECT_EQ(info.szCity[5], 'z');   // bytes after a terminator stay as they were
    EXPECT_EQ(info.dwLeading, 0x12345678u);
    EXPECT_EQ(UserInfoField(&info, 10), nullptr);
}
