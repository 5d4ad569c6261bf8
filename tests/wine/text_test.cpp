// The program's text files as the system stores them: a text file replaces an
// earlier, longer one whole, ends every line in CR LF, and reports a file it
// cannot create or write; FormatText cuts, terminates and reports as it does
// natively.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "base/text.h"
#include "base/text_file.h"
#include "device/device.h"
#include "test_support.h"

using namespace testing_support;

TEST(FormatText, CutsTerminatesAndReports)
{
    char sz[9];
    memset(sz, '#', sizeof sz);
    EXPECT_TRUE(FormatText(sz, 8, "%s-%d", "abc", 123));   // 7 characters: fits
    EXPECT_STREQ(sz, "abc-123");
    EXPECT_FALSE(FormatText(sz, 8, "%s-%d", "abc", 1234));   // exactly 8: no room for the NUL
    EXPECT_STREQ(sz, "abc-123");
    EXPECT_FALSE(FormatText(sz, 8, "%s", "a much longer text"));
    EXPECT_STREQ(sz, "a much ");
    EXPECT_EQ(sz[8], '#');
}

TEST(TextFile, ReplacesAnEarlierLongerFileWithCrLfLines)
{
    TempDir dir;
    std::string path = dir / "qArnel.ld";
    std::string stale;
    for (int i = 0; i < 200; ++i)
        stale += "stale line of an earlier run\n";
    WriteText(path, stale);

    ASSERT_TRUE(WriteLoadScriptFile(path.c_str()));
    std::string script = ReadText(path);
    EXPECT_EQ(script.rfind("copy . . qARNEL.exe\r\ncopy . \\Windows qARNEL.htc\r\n", 0), 0u) << script;
    EXPECT_EQ(script.find("stale"), std::string::npos);
    EXPECT_EQ(script.substr(script.size() - 6), "exit\r\n");

    // Longer than the stream's buffer, with a line end across its edge.
    TextFile file;
    ASSERT_TRUE(file.Create(path.c_str()));
    std::string text = std::string(511, 'x') + "\n" + std::string(600, 'y') + "\n";
    file.Stream()->Put(text.c_str());
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(ReadText(path), std::string(511, 'x') + "\r\n" + std::string(600, 'y') + "\r\n");
}

TEST(TextFile, ReportsAFileItCannotCreate)
{
    TempDir dir;
    EXPECT_FALSE(WriteLoadScriptFile((dir / "no-such-dir\\qArnel.ld").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}
