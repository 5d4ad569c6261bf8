// The window-free half of the device install step: the load script for every
// component choice, the size estimate and space check, the loader's command
// line and the program started on the device. The script's files are checked
// against the distribution's manifest (dist/manifest.txt), which lists them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "device/load_script.h"
#include "dist_books.h"

namespace {

const std::string kBooksDir = "\\Program Files\\qARNEL Beta\\Books";

// The distribution's records, as the manifest reader reads them.
std::vector<ManifestRecord> Manifest()
{
    std::vector<ManifestRecord> records;
    std::vector<std::string> errors;
    ReadManifest(SETUP_DIST_MANIFEST, &records, &errors);
    for (const std::string &error : errors)
        ADD_FAILURE() << error;
    return records;
}

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

// The words of a script line as the loader takes them: separated by blanks,
// a word in double quotes taken whole.
std::vector<std::string> Words(const std::string &line)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        const bool quoted = line[i] == '"';
        const size_t from = quoted ? i + 1 : i;
        size_t end = line.find(quoted ? '"' : ' ', from);
        if (end == std::string::npos)
            end = line.size();
        words.push_back(line.substr(from, end - from));
        i = quoted ? end + 1 : end;
    }
    return words;
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

// The copy line of a book's file: desktop folder, device folder, file.
std::string CopyLine(const std::string &from, const std::string &to, const std::string &file)
{
    return "copy " + from + " \"" + to + "\" \"" + file + "\" ";
}

// The script a choice must give: the application and its help, the books'
// folder, a folder for each chosen book, a copy line for each file the
// manifest lists in a chosen book, the two shortcuts and the end.
std::vector<std::string> ExpectedScript(BookChoice choice, const std::vector<ManifestRecord> &manifest)
{
    std::vector<std::string> lines = {"copy . . qARNEL.exe", "copy . \\Windows qARNEL.htc",
                                      "mkdir \"" + kBooksDir + "\" "};
    for (int i = 0; i < 3; ++i)
        if (BookChosen(choice, i))
            lines.push_back("mkdir \"" + kBooksDir + "\\" + kDistBooks[i].deviceDir + "\" ");
    for (int i = 0; i < 3; ++i)
        if (BookChosen(choice, i))
            for (const ManifestRecord &r : BookRecords(manifest, kDistBooks[i]))
                lines.push_back(CopyLine(r.dir, kBooksDir + "\\" + kDistBooks[i].deviceDir, r.name));
    lines.push_back("createShortcut \\Windows\\Programs \"qARNEL Beta.lnk\" . \"qARNEL.exe\" ");
    lines.push_back("createShortcut \\Windows\\Desktop  \"qARNEL Beta.lnk\" . \"qARNEL.exe\" ");
    lines.push_back("exit");
    return lines;
}

// A script as it is compared with the manifest: in the copy lines of the
// books the desktop folder and the file without case (the desktop's file
// system ignores it, and the script spells some names otherwise than the
// manifest), and each run of them into one book's folder sorted (the order
// of a book's files is the script's own).
std::vector<std::string> Comparable(std::vector<std::string> lines)
{
    // The book's folder of a copy line written as CopyLine writes it, or "".
    auto folder = [](std::string *line) {
        std::vector<std::string> w = Words(*line);
        if (w.size() != 4 || w[0] != "copy" || w[2].rfind(kBooksDir + "\\", 0) != 0 ||
            *line != CopyLine(w[1], w[2], w[3]))
            return std::string();
        *line = CopyLine(LowerCase(w[1]), w[2], LowerCase(w[3]));
        return LowerCase(w[1]) + "|" + w[2];
    };
    for (size_t i = 0; i < lines.size();) {
        const std::string run = folder(&lines[i]);
        size_t end = i + 1;
        while (!run.empty() && end < lines.size()) {
            std::string next = lines[end];
            if (folder(&next) != run)
                break;
            lines[end++] = next;
        }
        std::sort(lines.begin() + long(i), lines.begin() + long(end));
        i = end;
    }
    return lines;
}

TEST(LoadScript, EveryComponentChoiceCopiesTheChosenBooksAsTheManifestListsThem)
{
    const std::vector<ManifestRecord> manifest = Manifest();
    ASSERT_FALSE(manifest.empty());
    for (int mask = 0; mask < 8; ++mask) {
        BookChoice choice = {(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0};
        EXPECT_EQ(Comparable(ScriptFor(choice)), Comparable(ExpectedScript(choice, manifest))) << ChoiceName(choice);
    }
}

// The book files are listed twice on purpose: in the manifest (what setup.exe
// carries) and in the load script (what the device gets, the program's own
// text). They must name the same files.
TEST(LoadScript, EveryCopyLineNamesAManifestRecordAndEveryBookFileHasItsCopyLine)
{
    const std::vector<ManifestRecord> manifest = Manifest();
    ASSERT_FALSE(manifest.empty());
    std::vector<bool> copied(manifest.size(), false);
    for (const std::string &line : ScriptFor({true, true, true})) {
        std::vector<std::string> words = Words(line);
        if (words.empty() || words[0] != "copy")
            continue;
        ASSERT_EQ(words.size(), 4u) << line;   // copy SOURCEDIR DEVICEDIR FILE
        // The loader takes FILE.<processor> beside FILE when there is one:
        // "copy . . qARNEL.exe" copies qARNEL.exe.sh3 or qARNEL.exe.mips.
        const std::string file = LowerCase(words[3]);
        bool named = false;
        for (size_t i = 0; i < manifest.size(); ++i) {
            const std::string name = LowerCase(manifest[i].name);
            if (SameName(manifest[i].dir, words[1]) && (name == file || name.rfind(file + ".", 0) == 0)) {
                named = true;
                copied[i] = true;
            }
        }
        EXPECT_TRUE(named) << line << ": names no record of the manifest";
    }
    for (size_t i = 0; i < manifest.size(); ++i)
        if (LowerCase(manifest[i].dir).rfind("books\\", 0) == 0)
            EXPECT_TRUE(copied[i]) << "manifest line " << manifest[i].line << ": book file " << manifest[i].dir << "\\"
                                   << manifest[i].name << " has no copy line in the load script";
}

TEST(LoadScript, LineCountsAndOrderOfTheIssueExamples)
{
    const std::vector<ManifestRecord> manifest = Manifest();
    size_t files[3];
    for (int i = 0; i < 3; ++i) {
        files[i] = BookRecords(manifest, kDistBooks[i]).size();
        ASSERT_GT(files[i], 0u) << kDistBooks[i].dir;
    }
    // Six lines of its own, and for each chosen book a folder and its files.
    EXPECT_EQ(ScriptFor({true, true, true}).size(), 6u + 3 + files[0] + files[1] + files[2]);

    std::vector<std::string> none = ScriptFor({false, false, false});
    ASSERT_EQ(none.size(), 6u);
    EXPECT_EQ(none[2], "mkdir \"\\Program Files\\qARNEL Beta\\Books\" ");   // still made

    std::vector<std::string> news = ScriptFor({false, true, false});
    ASSERT_EQ(news.size(), 6u + 1 + files[1]);
    EXPECT_EQ(news[3], "mkdir \"\\Program Files\\qARNEL Beta\\Books\\TARVELO\" ");
    for (size_t i = 4; i < 4 + files[1]; ++i)
        EXPECT_EQ(news[i].rfind("copy books\\tarvelo ", 0), 0u) << news[i];
    EXPECT_EQ(news[4 + files[1]].rfind("createShortcut \\Windows\\Programs ", 0), 0u);
    // The bitmap keeps the name the device has always been given.
    EXPECT_NE(std::find(news.begin(), news.end(),
                        "copy books\\tarvelo \"\\Program Files\\qARNEL Beta\\Books\\TARVELO\" \"LOGO.2bp\" "),
              news.end());
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
