// The window-free half of the device install step: the load script for every
// choice of books, the size estimate and space check, the loader's command
// line and the program started on the device. The script's files are checked
// against the distribution's manifest (dist/manifest.txt), which lists them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "device/load_script.h"
#include "dist_books.h"
#include "res/resource.h"

namespace {

const std::string kBooksDir = "\\Program Files\\qARNEL Beta\\Books";

std::vector<ManifestRecord> Manifest() { return ReadDistManifest(SETUP_DIST_MANIFEST); }

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

std::vector<std::string> ScriptFor(BookSet books, const Book *rgBooks = c_rgBooks)
{
    ChooseBooks(books);
    std::string text;
    TextStream stream(AppendTo, &text);
    WriteLoadScriptLines(&stream, rgBooks);
    EXPECT_TRUE(stream.Flush());
    return Split(text);
}

// The copy line of a book's file: desktop folder, device folder, file.
std::string CopyLine(const std::string &from, const std::string &to, const std::string &file)
{
    return "copy " + from + " \"" + to + "\" \"" + file + "\" ";
}

// The script a choice must give: the application and its help, the books'
// folder, a folder for each chosen book, a copy line for each file the
// manifest lists in a chosen book, the two shortcuts and the end.
std::vector<std::string> ExpectedScript(BookSet books, const std::vector<ManifestRecord> &manifest,
                                        const Book *rgBooks = c_rgBooks)
{
    std::vector<std::string> lines = {"copy . . qARNEL.exe", "copy . \\Windows qARNEL.htc",
                                      "mkdir \"" + kBooksDir + "\" "};
    for (int i = 0; i < CBOOKS; ++i)
        if (Takes(books, i))
            lines.push_back("mkdir \"" + kBooksDir + "\\" + rgBooks[i].pszDeviceDir + "\" ");
    for (int i = 0; i < CBOOKS; ++i)
        if (Takes(books, i))
            for (const ManifestRecord &r : BookRecords(manifest, rgBooks[i]))
                lines.push_back(CopyLine(r.dir, kBooksDir + "\\" + rgBooks[i].pszDeviceDir, r.name));
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

// Every choice, with the program's table and with one where a book's folder
// on the device has another name: renaming it is one edit, in the book's row.
TEST(LoadScript, EveryChoiceOfBooksCopiesTheChosenBooksAsTheManifestListsThem)
{
    const std::vector<ManifestRecord> manifest = Manifest();
    ASSERT_FALSE(manifest.empty());
    Book rgRenamed[CBOOKS];
    std::copy(c_rgBooks, c_rgBooks + CBOOKS, rgRenamed);
    rgRenamed[BookRow(IDC_NEWSBOOK)].pszDeviceDir = "News of the Day";
    for (const Book *rgBooks : {c_rgBooks, static_cast<const Book *>(rgRenamed)})
        for (BookSet books = 0; books <= kAllBooks; ++books)
            EXPECT_EQ(Comparable(ScriptFor(books, rgBooks)), Comparable(ExpectedScript(books, manifest, rgBooks)))
                << rgBooks[BookRow(IDC_NEWSBOOK)].pszDeviceDir << ", books " << books;
}

// The book files are listed twice on purpose: in the manifest (what setup.exe
// carries) and in the load script (what the device gets, the program's own
// text). They must name the same files.
TEST(LoadScript, EveryCopyLineNamesAManifestRecordAndEveryBookFileHasItsCopyLine)
{
    const std::vector<ManifestRecord> manifest = Manifest();
    ASSERT_FALSE(manifest.empty());
    std::vector<bool> copied(manifest.size(), false);
    for (const std::string &line : ScriptFor(kAllBooks)) {
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

TEST(LoadScript, LineCountsAndOrderOfTheWorkedExamples)
{
    const std::vector<ManifestRecord> manifest = Manifest();
    size_t files = 0;
    for (const Book &book : c_rgBooks) {
        ASSERT_GT(BookRecords(manifest, book).size(), 0u) << book.pszPayloadDir;
        files += BookRecords(manifest, book).size();
    }
    // Six lines of its own, and for each chosen book a folder and its files.
    EXPECT_EQ(ScriptFor(kAllBooks).size(), 6u + CBOOKS + files);

    std::vector<std::string> none = ScriptFor(0);
    ASSERT_EQ(none.size(), 6u);
    EXPECT_EQ(none[2], "mkdir \"\\Program Files\\qARNEL Beta\\Books\" ");   // still made

    const Book &news = c_rgBooks[BookRow(IDC_NEWSBOOK)];
    const std::string newsDir = kBooksDir + "\\" + news.pszDeviceDir;
    std::vector<std::string> script = ScriptFor(Only(IDC_NEWSBOOK));
    const size_t newsFiles = BookRecords(manifest, news).size();
    ASSERT_EQ(script.size(), 6u + 1 + newsFiles);
    EXPECT_EQ(script[3], "mkdir \"" + newsDir + "\" ");
    for (size_t i = 4; i < 4 + newsFiles; ++i)
        EXPECT_EQ(script[i].rfind("copy " + std::string(news.pszPayloadDir) + " ", 0), 0u) << script[i];
    EXPECT_EQ(script[4 + newsFiles].rfind("createShortcut \\Windows\\Programs ", 0), 0u);
    // The bitmap keeps the name the device has always been given.
    EXPECT_NE(std::find(script.begin(), script.end(), CopyLine(news.pszPayloadDir, newsDir, "LOGO.2bp")), script.end());
}

TEST(SizeEstimate, WorkedRowsAndTheSpaceBoundary)
{
    struct Row {
        const char *cpu;
        BookSet books;
        int32_t estimate, needed;
        uint32_t minimumFree;
    };
    const Row rows[] = {
        {"SH3", 0, 32768, 34078, 35078},
        {"SH3", kAllBooks, 213014, 221534, 222534},
        {"MIPS", 0, 40960, 42598, 43598},
        {"MIPS", Only(IDC_FILMBOOK), 175206, 182214, 183214},
        {"MIPS", kAllBooks, 221206, 230054, 231054},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.cpu) + ", books " + std::to_string(row.books));
        ChooseBooks(row.books);
        EXPECT_EQ(EstimateDeviceBytes(row.cpu), row.estimate);
        EXPECT_EQ(NeededDeviceBytes(row.estimate), row.needed);
        EXPECT_TRUE(DeviceHasRoom(row.minimumFree, row.needed));
        EXPECT_FALSE(DeviceHasRoom(row.minimumFree - 1, row.needed));
    }
    // Only exactly "SH3" has the smaller base.
    ChooseBooks(0);
    EXPECT_EQ(EstimateDeviceBytes("sh3"), 40960);
    EXPECT_EQ(EstimateDeviceBytes("SH3 "), 40960);
    ChooseBooks(Only(IDC_NEWSBOOK));
    EXPECT_EQ(EstimateDeviceBytes(""), 40960 + 37000);
    ChooseBooks(Only(IDC_CUSTOMBOOK));
    EXPECT_EQ(EstimateDeviceBytes("SH3"), 32768 + 9000);
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
    EXPECT_STREQ(c_szDeviceProgram, "\\Program Files\\qARNEL Beta\\qARNEL.exe");
    char16_t wsz[CCH_DEVICE_PROGRAM_PATH];
    ASSERT_TRUE(WidenAnsi(wsz, CCH_DEVICE_PROGRAM_PATH, c_szDeviceProgram));
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
