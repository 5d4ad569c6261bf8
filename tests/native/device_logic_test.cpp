// The window-free half of the device install step: the load script for every
// component choice, the size estimate and space check, the loader's command
// line and the program started on the device.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/load_script.h"

namespace {

// The script with all three books, line by line.
const char *const kFullScript[] = {
    "copy . . qARNEL.exe",
    "copy . \\Windows qARNEL.htc",
    "mkdir \"\\Program Files\\qARNEL Beta\\Books\" ",
    "mkdir \"\\Program Files\\qARNEL Beta\\Books\\Film\" ",
    "mkdir \"\\Program Files\\qARNEL Beta\\Books\\TARVELO\" ",
    "mkdir \"\\Program Files\\qARNEL Beta\\Books\\CustomBooks\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"film01.htm\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"film02.htm\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"film03.htm\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"film05.htm\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"film06.htm\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"film08.htm\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"film14.htm\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"film16.htm\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"film18.htm\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"film20.htm\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"film22.htm\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"film25.htm\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"film31.htm\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"film32.htm\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"film35.htm\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"index.txt\" ",
    "copy books\\Film \"\\Program Files\\qARNEL Beta\\Books\\Film\" \"toc.txt\" ",
    "copy books\\tarvelo \"\\Program Files\\qARNEL Beta\\Books\\TARVELO\" \"nPR970930a.htm\" ",
    "copy books\\tarvelo \"\\Program Files\\qARNEL Beta\\Books\\TARVELO\" \"nPR970930b.htm\" ",
    "copy books\\tarvelo \"\\Program Files\\qARNEL Beta\\Books\\TARVELO\" \"nPR970930c.htm\" ",
    "copy books\\tarvelo \"\\Program Files\\qARNEL Beta\\Books\\TARVELO\" \"nPR970930d.htm\" ",
    "copy books\\tarvelo \"\\Program Files\\qARNEL Beta\\Books\\TARVELO\" \"nPR970930e.htm\" ",
    "copy books\\tarvelo \"\\Program Files\\qARNEL Beta\\Books\\TARVELO\" \"LOGO.2bp\" ",
    "copy books\\tarvelo \"\\Program Files\\qARNEL Beta\\Books\\TARVELO\" \"index.txt\" ",
    "copy books\\tarvelo \"\\Program Files\\qARNEL Beta\\Books\\TARVELO\" \"toc.txt\" ",
    "copy books\\Custom \"\\Program Files\\qARNEL Beta\\Books\\CustomBooks\" \"Adding Graphics.html\" ",
    "copy books\\Custom \"\\Program Files\\qARNEL Beta\\Books\\CustomBooks\" \"Beta Notes.html\" ",
    "copy books\\Custom \"\\Program Files\\qARNEL Beta\\Books\\CustomBooks\" \"HTML Documents.html\" ",
    "copy books\\Custom \"\\Program Files\\qARNEL Beta\\Books\\CustomBooks\" \"Index.html\" ",
    "copy books\\Custom \"\\Program Files\\qARNEL Beta\\Books\\CustomBooks\" \"Overview.html\" ",
    "copy books\\Custom \"\\Program Files\\qARNEL Beta\\Books\\CustomBooks\" \"Table of Contents.html\" ",
    "copy books\\Custom \"\\Program Files\\qARNEL Beta\\Books\\CustomBooks\" \"index.txt\" ",
    "copy books\\Custom \"\\Program Files\\qARNEL Beta\\Books\\CustomBooks\" \"toc.txt\" ",
    "createShortcut \\Windows\\Programs \"qARNEL Beta.lnk\" . \"qARNEL.exe\" ",
    "createShortcut \\Windows\\Desktop  \"qARNEL Beta.lnk\" . \"qARNEL.exe\" ",
    "exit",
};

// Lines of a text-mode text: each must end in CR LF.
std::vector<std::string> Split(const std::string &text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) {
            lines.push_back(text.substr(pos) + "<no line end>");
            break;
        }
        if (eol == pos || text[eol - 1] != '\r')
            lines.push_back(text.substr(pos, eol - pos) + "<LF without CR>");
        else
            lines.push_back(text.substr(pos, eol - pos - 1));
        pos = eol + 1;
    }
    return lines;
}

bool AppendTo(void *pvText, const char *pch, size_t cch)
{
    static_cast<std::string *>(pvText)->append(pch, cch);
    return true;
}

std::vector<std::string> ScriptFor(BookChoice choice)
{
    std::string text;
    TextStream stream(AppendTo, &text);
    WriteLoadScriptLines(&stream, choice);
    EXPECT_TRUE(stream.Flush());
    return Split(text);
}

std::string ChoiceName(BookChoice c)
{
    return std::string("film=") + (c.fFilm ? "1" : "0") + " news=" + (c.fNews ? "1" : "0") +
           " custom=" + (c.fCustom ? "1" : "0");
}

TEST(LoadScript, EveryComponentChoiceGivesTheFullScriptWithoutTheOtherBooks)
{
    for (int mask = 0; mask < 8; ++mask) {
        BookChoice choice = {(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0};
        std::vector<std::string> expected;
        for (const char *line : kFullScript) {
            std::string s = line;
            if ((!choice.fFilm && s.find("\\Books\\Film\"") != std::string::npos) ||
                (!choice.fNews && s.find("\\Books\\TARVELO\"") != std::string::npos) ||
                (!choice.fCustom && s.find("\\Books\\CustomBooks\"") != std::string::npos))
                continue;
            expected.push_back(s);
        }
        EXPECT_EQ(ScriptFor(choice), expected) << ChoiceName(choice);
    }
}

TEST(LoadScript, LineCountsAndOrderOfTheIssueExamples)
{
    EXPECT_EQ(ScriptFor({true, true, true}).size(), 42u);

    std::vector<std::string> none = ScriptFor({false, false, false});
    ASSERT_EQ(none.size(), 6u);
    EXPECT_EQ(none[2], "mkdir \"\\Program Files\\qARNEL Beta\\Books\" ");   // still made

    std::vector<std::string> news = ScriptFor({false, true, false});
    ASSERT_EQ(news.size(), 6u + 1 + 8);
    EXPECT_EQ(news[3], "mkdir \"\\Program Files\\qARNEL Beta\\Books\\TARVELO\" ");
    for (int i = 4; i < 12; ++i)
        EXPECT_EQ(news[i].rfind("copy books\\tarvelo ", 0), 0u) << news[i];
    EXPECT_EQ(news[12].rfind("createShortcut \\Windows\\Programs ", 0), 0u);
}

TEST(SizeEstimate, WorkedRowsAndTheSpaceBoundary)
{
    struct Row {
        const char *cpu;
        BookChoice choice;
        int32_t estimate, needed;
        uint32_t minimumFree;
    };
    const Row rows[] = {
        {"SH3", {false, false, false}, 32768, 34078, 35078},
        {"SH3", {true, true, true}, 213014, 221534, 222534},
        {"MIPS", {false, false, false}, 40960, 42598, 43598},
        {"MIPS", {true, false, false}, 175206, 182214, 183214},
        {"MIPS", {true, true, true}, 221206, 230054, 231054},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.cpu) + " " + ChoiceName(row.choice));
        EXPECT_EQ(EstimateDeviceBytes(row.cpu, row.choice), row.estimate);
        EXPECT_EQ(NeededDeviceBytes(row.estimate), row.needed);
        EXPECT_TRUE(DeviceHasRoom(row.minimumFree, row.needed));
        EXPECT_FALSE(DeviceHasRoom(row.minimumFree - 1, row.needed));
    }
    // Only exactly "SH3" has the smaller base.
    EXPECT_EQ(EstimateDeviceBytes("sh3", {false, false, false}), 40960);
    EXPECT_EQ(EstimateDeviceBytes("SH3 ", {false, false, false}), 40960);
    EXPECT_EQ(EstimateDeviceBytes("", {false, true, false}), 40960 + 37000);
    EXPECT_EQ(EstimateDeviceBytes("SH3", {false, false, true}), 32768 + 9000);
    // Free space is unsigned: a device with more than 2 GB free has room.
    EXPECT_TRUE(DeviceHasRoom(0xFFFFFFFFu, 230054));
    EXPECT_TRUE(DeviceHasRoom(0x80000000u, 230054));
    EXPECT_FALSE(DeviceHasRoom(0, 0));
}

TEST(LoadCommandLine, WorkedExample)
{
    char sz[CCH_LOAD_COMMAND_LINE];
    ASSERT_TRUE(FormatLoadCommandLine(sz, sizeof sz, "SH3", 221534, "Ann Lee", "", 256));
    EXPECT_STREQ(sz, "SH3 \"qARNEL\" \"\\Program Files\\qARNEL Beta\" 221534 \"Ann Lee\" \"\" qARNEL.ld");
}

TEST(LoadCommandLine, DoubleQuotesInNameAndCompanyCannotSplitTheFields)
{
    char sz[CCH_LOAD_COMMAND_LINE];
    const char name[] = "Ann \"Q\" Lee";
    const char company[] = "\"\" qARNEL.ld \"x";
    ASSERT_TRUE(FormatLoadCommandLine(sz, sizeof sz, "MIPS", 42598, name, company, 256));
    EXPECT_STREQ(sz, "MIPS \"qARNEL\" \"\\Program Files\\qARNEL Beta\" 42598 \"Ann 'Q' Lee\" "
                     "\"'' qARNEL.ld 'x\" qARNEL.ld");
    EXPECT_STREQ(name, "Ann \"Q\" Lee");   // the record keeps what was typed
}

TEST(LoadCommandLine, FullFieldsWithoutTerminatorStayInside)
{
    // Two whole 256-byte fields without a NUL, as a damaged record might hold.
    char fields[2][256];
    memset(fields, 'n', sizeof fields[0]);
    memset(fields[1], 'c', sizeof fields[1]);
    char sz[CCH_LOAD_COMMAND_LINE];
    ASSERT_TRUE(FormatLoadCommandLine(sz, sizeof sz, "SH3", 1, fields[0], fields[1], 256));
    std::string line = sz;
    EXPECT_NE(line.find("\"" + std::string(255, 'n') + "\" \"" + std::string(255, 'c') + "\" qARNEL.ld"),
              std::string::npos);
}

TEST(DeviceProgram, PathNamesTheInstalledApplicationWidenedByteByByte)
{
    char sz[CCH_DEVICE_PROGRAM_PATH];
    ASSERT_TRUE(FormatDeviceProgramPath(sz, sizeof sz));
    EXPECT_STREQ(sz, "\\Program Files\\qARNEL Beta\\qARNEL.exe");

    char16_t wsz[CCH_DEVICE_PROGRAM_PATH];
    ASSERT_TRUE(WidenAnsi(wsz, CCH_DEVICE_PROGRAM_PATH, sz));
    EXPECT_EQ(std::u16string(wsz), u"\\Program Files\\qARNEL Beta\\qARNEL.exe");

    // Bytes above 0x7F are sign-extended; a short buffer cuts and terminates.
    char16_t wide[4] = {1, 1, 1, 1};
    EXPECT_FALSE(WidenAnsi(wide, 4, "a\xE9z!"));
    EXPECT_EQ(wide[0], u'a');
    EXPECT_EQ(wide[1], char16_t(0xFFE9));
    EXPECT_EQ(wide[2], u'z');
    EXPECT_EQ(wide[3], 0);
}

}  // namespace
