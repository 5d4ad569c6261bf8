// The extraction stage end to end: a setup whose own file carries a payload
// (the driver program with records appended) is run in a folder of its own,
// and the test reads the files it leaves and the messages it shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "example_user.h"
#include "extract/extract.h"
#include "extract/payload.h"
#include "extract_support.h"
#include "robot.h"
#include "test_support.h"

using namespace testing_support;

namespace {

using namespace extract_support;

struct Rec {
    std::string name, dir, data;
    int more = -1;   // -1: 1 on all but the last, 0 on the last
};

// The driver program with the records and the trailer appended.
Bytes SetupWith(const std::vector<Rec> &recs)
{
    Bytes setup = ReadBytes(BuildFile("extract_driver.exe"));
    uint32_t offset = uint32_t(setup.size());
    VectorSink sink(&setup);
    for (size_t i = 0; i < recs.size(); ++i) {
        int more = recs[i].more >= 0 ? recs[i].more : (i + 1 < recs.size() ? 1 : 0);
        WritePayloadRecord(&sink, recs[i].name.c_str(), recs[i].dir.c_str(), recs[i].data.data(),
                           uint32_t(recs[i].data.size()), uint8_t(more));
    }
    WritePayloadTrailer(&sink, offset);
    return setup;
}

class Extraction : public ::testing::Test {
protected:
    Extraction() : desk_(tmp_ / "A\\B") {}

    // Places the setup (with the release notes beside it) in the folder.
    void Place(const Bytes &setup, const std::string &name = "setup.exe")
    {
        exe_ = tmp_ / name;
        WriteBytes(exe_, setup.data(), setup.size());
        WriteText(tmp_ / "readme.doc", "{\\rtf1 notes}");
    }
    void Place(const std::vector<Rec> &recs) { Place(SetupWith(recs)); }

    // Runs the setup; presses OK on the message it shows, if any.
    Outcome Run(const std::string &desk, const USERINFO *info = nullptr)
    {
        std::vector<std::pair<std::string, std::string>> env;
        if (info) {
            WriteBytes(tmp_ / "user.bin", info, sizeof *info);
            env.push_back({"SETUP_TEST_USERINFO", tmp_ / "user.bin"});
        }
        return RunExtraction(exe_, tmp_.path(), desk, env);
    }

    // A run that must end in "Failed step N, Error code is E".
    void ExpectFailure(const Outcome &out, int step, DWORD error)
    {
        ASSERT_TRUE(out.boxShown);
        EXPECT_EQ(out.box.caption, "Setup Error");
        EXPECT_EQ(out.box.text, "Failed step " + std::to_string(step) + ", Error code is " + std::to_string(error) +
                                    "\n");
        ASSERT_EQ(out.box.buttons.size(), 1u);
        EXPECT_EQ(out.box.buttons[0].first, IDOK);
        EXPECT_EQ(out.ownerTitle, "Extraction test driver");
        EXPECT_EQ(out.exitCode, 1u);
        EXPECT_EQ(out.report, "result=0\ncwd=" + tmp_.path() + "\n") << "current directory unchanged";
    }

    void ExpectSuccess(const Outcome &out, const std::string &desk)
    {
        EXPECT_FALSE(out.boxShown) << out.box.text;
        EXPECT_EQ(out.exitCode, 0u);
        EXPECT_EQ(out.report, "result=1\ncwd=" + desk + "\n");
    }

    // No temporary file of a replacement stays anywhere.
    void ExpectNoLeftovers(const std::string &root)
    {
        for (const std::string &path : Tree(root))
            EXPECT_EQ(path.find("~sp"), std::string::npos) << path;
    }

    TempDir tmp_;
    std::string desk_;
    std::string exe_;
};

const std::vector<Rec> kSmall = {
    {"qARNEL.htc", ".", "<HTML>help</HTML>\r\n"},
    {"film01.htm", "books\\.\\film", "<HTML>review</HTML>\r\n"},
    {"toc.txt", "books\\film", "Review\tfilm01.htm\r\n"},
    {"index.txt", "books\\Custom", ""},
};

TEST_F(Extraction, NewNestedDesktopDirectoryGetsTheCopiesAndEveryFile)
{
    Place(kSmall);
    Outcome out = Run(desk_);
    ExpectSuccess(out, desk_);

    EXPECT_EQ(ReadBytes(desk_ + "\\setup.exe"), ReadBytes(exe_));
    EXPECT_EQ(ReadText(desk_ + "\\readme.doc"), "{\\rtf1 notes}");
    EXPECT_EQ(ReadText(desk_ + "\\qARNEL.htc"), kSmall[0].data);
    EXPECT_EQ(ReadText(desk_ + "\\books\\film\\film01.htm"), kSmall[1].data);
    EXPECT_EQ(ReadText(desk_ + "\\books\\film\\toc.txt"), kSmall[2].data);
    EXPECT_TRUE(FileExists(desk_ + "\\books\\Custom\\index.txt"));
    EXPECT_EQ(ReadBytes(desk_ + "\\books\\Custom\\index.txt").size(), 0u);
    EXPECT_EQ(Tree(desk_), (std::set<std::string>{"setup.exe", "readme.doc", "qARNEL.htc", "books\\",
                                                  "books\\film\\", "books\\film\\film01.htm",
                                                  "books\\film\\toc.txt", "books\\Custom\\",
                                                  "books\\Custom\\index.txt", "UserInfo.dat", "register.txt"}));
}

TEST_F(Extraction, UpperCaseSetupNameCopiesItselfButNoReleaseNotes)
{
    Place(SetupWith(kSmall), "SETUP.EXE");
    ExpectSuccess(Run(desk_), desk_);
    EXPECT_TRUE(FileExists(desk_ + "\\setup.exe"));
    EXPECT_FALSE(FileExists(desk_ + "\\readme.doc"));
    EXPECT_TRUE(FileExists(desk_ + "\\qARNEL.htc"));
}

TEST_F(Extraction, DotDesktopDirectoryIsTheCurrentDirectory)
{
    Place(kSmall);
    Outcome out = Run(".");
    EXPECT_FALSE(out.boxShown) << out.box.text;
    EXPECT_EQ(out.exitCode, 0u);
    EXPECT_EQ(ReadText(tmp_ / "qARNEL.htc"), kSmall[0].data);
    EXPECT_EQ(ReadText(tmp_ / "books\\film\\film01.htm"), kSmall[1].data);
    EXPECT_TRUE(FileExists(tmp_ / "register.txt"));
}

TEST_F(Extraction, OldFilesAreReplacedWhollyAndARerunChangesNothing)
{
    CreateDirectoryA((tmp_ / "A").c_str(), NULL);
    CreateDirectoryA(desk_.c_str(), NULL);
    CreateDirectoryA((desk_ + "\\books").c_str(), NULL);
    CreateDirectoryA((desk_ + "\\books\\film").c_str(), NULL);
    WriteText(desk_ + "\\books\\film\\toc.txt", std::string(5000, 'o'));
    WriteText(desk_ + "\\register.txt", std::string(9000, 'r'));

    Place(kSmall);
    ExpectSuccess(Run(desk_), desk_);
    EXPECT_EQ(ReadText(desk_ + "\\books\\film\\toc.txt"), kSmall[2].data);
    std::string form = ReadText(desk_ + "\\register.txt");
    EXPECT_LT(form.size(), 9000u);
    std::set<std::string> tree = Tree(desk_);

    ExpectSuccess(Run(desk_), desk_);
    EXPECT_EQ(ReadText(desk_ + "\\register.txt"), form);
    EXPECT_EQ(Tree(desk_), tree);
    EXPECT_EQ(ReadText(desk_ + "\\books\\film\\toc.txt"), kSmall[2].data);
    ExpectNoLeftovers(tmp_.path());
}

TEST_F(Extraction, AnyCMoreButOneEndsThePayload)
{
    std::vector<Rec> recs = {{"first.txt", ".", "1", 2}, {"second.txt", ".", "2"}};
    Place(recs);
    ExpectSuccess(Run(desk_), desk_);
    EXPECT_TRUE(FileExists(desk_ + "\\first.txt"));
    EXPECT_FALSE(FileExists(desk_ + "\\second.txt"));
}

TEST_F(Extraction, SetupWithoutPayloadReportsStep4AndWritesOnlyTheCopies)
{
    Bytes image = ReadBytes(BuildFile("extract_driver.exe"));
    const char tail[] = "no payload here";
    image.insert(image.end(), tail, tail + sizeof tail - 1);
    Place(image);
    Outcome out = Run(desk_);
    ExpectFailure(out, 4, 0);
    EXPECT_EQ(Tree(desk_), (std::set<std::string>{"setup.exe", "readme.doc"}));
}

TEST_F(Extraction, UncreatableTargetReportsItsStepAndKeepsWhatWasThere)
{
    // Record 1's target is a directory: creating it fails at step 8.
    std::vector<Rec> recs = {{"a.txt", ".", "A"}, {"b.txt", "books", "B"}, {"c.txt", ".", "C"}};
    CreateDirectoryA((tmp_ / "A").c_str(), NULL);
    CreateDirectoryA(desk_.c_str(), NULL);
    CreateDirectoryA((desk_ + "\\books").c_str(), NULL);
    CreateDirectoryA((desk_ + "\\books\\b.txt").c_str(), NULL);
    Place(recs);
    ExpectFailure(Run(desk_), 8, ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadText(desk_ + "\\a.txt"), "A");
    EXPECT_TRUE(DirExists(desk_ + "\\books\\b.txt"));
    EXPECT_FALSE(FileExists(desk_ + "\\c.txt"));
    EXPECT_FALSE(FileExists(desk_ + "\\register.txt"));

    // Record 2's target is held open by another program: step 10, the old
    // file intact.
    RemoveDirectoryA((desk_ + "\\books\\b.txt").c_str());
    WriteText(desk_ + "\\c.txt", "old");
    HANDLE hHeld = CreateFileA((desk_ + "\\c.txt").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
    ExpectFailure(Run(desk_), 10, ERROR_SHARING_VIOLATION);
    CloseHandle(hHeld);
    EXPECT_EQ(ReadText(desk_ + "\\books\\b.txt"), "B");
    EXPECT_EQ(ReadText(desk_ + "\\c.txt"), "old");

    // A directory that cannot be made (a file is in its way): step 6.
    std::vector<Rec> blocked = {{"x.txt", "in\\the\\way", "X"}};
    WriteText(desk_ + "\\in", "a file");
    Place(blocked);
    ExpectFailure(Run(desk_), 6, ERROR_PATH_NOT_FOUND);
    ExpectNoLeftovers(tmp_.path());
}

TEST_F(Extraction, FailedRenameIsReportedAtItsRecordsOwnStepAndKeepsTheOldFile)
{
    // Record 1's old file is open without delete sharing: it can be opened
    // for writing (so a replacement is made) but not replaced by the rename.
    std::vector<Rec> recs = {{"a.txt", ".", "A"}, {"b.txt", ".", "new B"}, {"c.txt", ".", "C"}};
    CreateDirectoryA((tmp_ / "A").c_str(), NULL);
    CreateDirectoryA(desk_.c_str(), NULL);
    WriteText(desk_ + "\\b.txt", "old B");
    HANDLE hHeld = CreateFileA((desk_ + "\\b.txt").c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, 0, NULL);
    ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
    Place(recs);
    Outcome out = Run(desk_);
    CloseHandle(hHeld);
    ASSERT_TRUE(out.boxShown);
    ExpectFailure(out, 8, ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadText(desk_ + "\\a.txt"), "A");
    EXPECT_EQ(ReadText(desk_ + "\\b.txt"), "old B");
    EXPECT_FALSE(FileExists(desk_ + "\\c.txt"));
    ExpectNoLeftovers(tmp_.path());
}

TEST_F(Extraction, NameWithNulBytesInItsCountReplacesItsTargetInTheDesktopDirectory)
{
    // The name is "ab": its count takes in six NUL bytes after it. The
    // replacement's temporary file belongs beside the target, not in an
    // ancestor of the desktop directory (here one that cannot be written).
    const std::string desk = tmp_ / "A\\B\\C\\D";
    for (const char *dir : {"A", "A\\B", "A\\B\\C", "A\\B\\C\\D"})
        CreateDirectoryA((tmp_ / dir).c_str(), NULL);
    WriteText(desk + "\\ab", "old");
    Bytes setup = SetupWith({{"ab######", ".", "new"}});
    auto name = std::search(setup.begin(), setup.end(), std::begin("ab######"), std::end("ab######") - 1);
    ASSERT_NE(name, setup.end());
    std::fill(name + 2, name + 8, 0);
    Place(setup);
    std::set<std::string> around = Tree(tmp_.path());
    around.erase("report.txt");

    ScopedImmutable sealed(tmp_ / "A");
    if (!sealed.on())
        GTEST_SKIP() << "chattr +i is not available here: a directory cannot be made unwritable for root";
    ExpectSuccess(Run(desk), desk);
    EXPECT_EQ(ReadText(desk + "\\ab"), "new");
    std::set<std::string> now;
    for (const std::string &path : Tree(tmp_.path()))
        if (path.compare(0, 8, "A\\B\\C\\D\\") != 0 || around.count(path))
            now.insert(path);
    now.erase("report.txt");
    EXPECT_EQ(now, around) << "made outside the desktop directory";
    ExpectNoLeftovers(tmp_.path());
}

TEST_F(Extraction, FullDiskFailsItsRecordsStepKeepsTheOldFileAndExtractsOnceThereIsRoom)
{
    // The desktop directory is a file system of 4 MB, nearly full: record 1
    // (2 MB) replaces an old file, record 0 is new.
    CreateDirectoryA((tmp_ / "A").c_str(), NULL);
    CreateDirectoryA(desk_.c_str(), NULL);
    ScopedTmpfs disk(desk_, "4m");
    if (!disk.mounted())
        GTEST_SKIP() << "mount -t tmpfs is refused here: no small file system to fill up";
    // In the way of the copy of the setup, which carries the 2 MB too.
    CreateDirectoryA((desk_ + "\\setup.exe").c_str(), NULL);
    const std::string filler = desk_ + "\\filler.bin";
    WriteText(filler, std::string(3 * 1024 * 1024, 'f'));
    WriteText(desk_ + "\\big.bin", "old");
    std::vector<Rec> recs = {{"small.txt", ".", "small"}, {"big.bin", ".", std::string(2 * 1024 * 1024, 'b')},
                             {"after.txt", ".", "after"}};
    Place(recs);

    // Record 1's data step, with the system's error: not a damaged setup.
    ExpectFailure(Run(desk_), 10, ERROR_DISK_FULL);
    EXPECT_EQ(ReadText(desk_ + "\\small.txt"), "small");
    EXPECT_EQ(ReadText(desk_ + "\\big.bin"), "old");
    EXPECT_FALSE(FileExists(desk_ + "\\after.txt"));
    ExpectNoLeftovers(desk_);

    DeleteFileA(filler.c_str());
    ExpectSuccess(Run(desk_), desk_);
    EXPECT_TRUE(ReadText(desk_ + "\\big.bin") == recs[1].data);
    EXPECT_EQ(ReadText(desk_ + "\\after.txt"), "after");
    ExpectNoLeftovers(desk_);
}

TEST_F(Extraction, SetupsOf2To4GBExtract)
{
    // Sparse setups: the driver, nothing up to the payload, the payload. In
    // the first, record 0 starts below 2 GB and record 1 beyond it.
    CreateDirectoryA((tmp_ / "A").c_str(), NULL);
    CreateDirectoryA(desk_.c_str(), NULL);
    // In the way of the copy of the setup, which would fill the disk.
    CreateDirectoryA((desk_ + "\\setup.exe").c_str(), NULL);
    const Bytes driver = ReadBytes(BuildFile("extract_driver.exe"));
    std::vector<Rec> recs = {{"low.txt", ".", std::string(64, 'l')}, {"high.txt", "books", "high"}};
    for (uint32_t at : {0x7FFFFFF0u, 0xFFFF0000u}) {
        SCOPED_TRACE(at);
        Bytes tail;
        VectorSink sink(&tail);
        WritePayloadRecord(&sink, recs[0].name.c_str(), ".", recs[0].data.data(), 64, 1);
        WritePayloadRecord(&sink, recs[1].name.c_str(), "books", "high", 4, 0);
        WritePayloadTrailer(&sink, at);
        Place(driver);
        HANDLE h = CreateFileA(exe_.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        // Written past the end: the host's file system keeps the gap a hole.
        LONG high = 0;
        SetFilePointer(h, LONG(at), &high, FILE_BEGIN);
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(h, tail.data(), DWORD(tail.size()), &written, NULL) && written == tail.size());
        CloseHandle(h);

        Outcome out = Run(desk_);
        DeleteFileA(exe_.c_str());
        ExpectSuccess(out, desk_);
        EXPECT_EQ(ReadText(desk_ + "\\low.txt"), recs[0].data);
        EXPECT_EQ(ReadText(desk_ + "\\books\\high.txt"), "high");
        DeleteFileA((desk_ + "\\low.txt").c_str());
        DeleteFileA((desk_ + "\\books\\high.txt").c_str());
    }
}

TEST_F(Extraction, RecordsThatWouldLeaveTheDesktopDirectoryAreRefused)
{
    struct Case {
        std::string dir, name;
        DWORD error;
        std::string escape;   // where the file would have gone
    } cases[] = {
        {"..\\..", "up1.txt", ERROR_INVALID_NAME, tmp_ / "up1.txt"},
        {"books\\..\\..\\..", "up2.txt", ERROR_INVALID_NAME, tmp_ / "up2.txt"},
        {"books/../../..", "up3.txt", ERROR_INVALID_NAME, tmp_ / "up3.txt"},
        {"\\", "up4-abs.txt", ERROR_INVALID_NAME, "C:\\up4-abs.txt"},
        {tmp_.path().substr(0, 2) + "\\" + tmp_.path().substr(3), "up5.txt", ERROR_INVALID_NAME, tmp_ / "up5.txt"},
        {".", "..\\..\\up6.txt", ERROR_INVALID_NAME, tmp_ / "up6.txt"},
        {".", "../../up7.txt", ERROR_INVALID_NAME, tmp_ / "up7.txt"},
        {".", "c:up8.txt", ERROR_INVALID_NAME, "C:\\up8.txt"},
        {".", std::string(1024, 'n'), ERROR_FILENAME_EXCED_RANGE, ""},
        {std::string(1024, 'd'), "x.txt", ERROR_FILENAME_EXCED_RANGE, ""},
        {std::string(600, 'd'), std::string(500, 'n'), ERROR_FILENAME_EXCED_RANGE, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.dir.substr(0, 40) + " | " + c.name.substr(0, 40));
        RemoveTree(tmp_ / "A");
        DeleteFileA((tmp_ / "report.txt").c_str());
        Place({{"first.txt", ".", "1"}, {c.name, c.dir, "escaped"}, {"third.txt", ".", "3"}});
        std::set<std::string> before = Tree(tmp_.path());
        ExpectFailure(Run(desk_), 8, c.error);
        EXPECT_EQ(ReadText(desk_ + "\\first.txt"), "1");
        EXPECT_FALSE(FileExists(desk_ + "\\third.txt"));
        if (!c.escape.empty())
            EXPECT_FALSE(FileExists(c.escape)) << c.escape;
        // Outside the desktop directory only the driver's report is new.
        std::set<std::string> added;
        for (const std::string &path : Tree(tmp_.path()))
            if (!before.count(path) && path.compare(0, 2, "A\\") != 0)
                added.insert(path);
        EXPECT_EQ(added, (std::set<std::string>{"report.txt"}));
        EXPECT_EQ(Tree(desk_), (std::set<std::string>{"setup.exe", "readme.doc", "first.txt"}));
    }
}

TEST_F(Extraction, DamagedChainEndsTheProgramBeforeAnythingIsWritten)
{
    CreateDirectoryA((tmp_ / "A").c_str(), NULL);
    CreateDirectoryA(desk_.c_str(), NULL);
    WriteText(desk_ + "\\qARNEL.htc", "earlier installation");

    Bytes good = SetupWith(kSmall);
    size_t image = ReadBytes(BuildFile("extract_driver.exe")).size();
    size_t cbData0 = image + 4 + kSmall[0].name.size() + 4 + kSmall[0].dir.size();
    Bytes longData = good;
    PutCount(&longData, cbData0 + 4 + kSmall[0].data.size() + 1 + 4 + 10 + 4 + 12, 0x7FFF0000);   // record 1's cbData
    Bytes farOffset = good;
    PutCount(&farOffset, farOffset.size() - 4, uint32_t(good.size() + 10));

    for (const Bytes *setup : {&longData, &farOffset}) {
        Place(*setup);
        Outcome out = Run(desk_);
        ASSERT_TRUE(out.boxShown);
        EXPECT_NE(out.box.text.find("..\\setup"), std::string::npos) << out.box.text;
        EXPECT_NE(out.box.text.find("PayloadChainInsideFile( &file, dwOffset )"), std::string::npos) << out.box.text;
        EXPECT_NE(out.box.text.find("Line: "), std::string::npos) << out.box.text;
        EXPECT_EQ(out.exitCode, 3u);
        EXPECT_EQ(ReadText(desk_ + "\\qARNEL.htc"), "earlier installation");
        EXPECT_FALSE(DirExists(desk_ + "\\books"));
        EXPECT_FALSE(FileExists(desk_ + "\\register.txt"));
        ExpectNoLeftovers(desk_);
    }
}

std::string Crlf(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines)
        text += line + "\r\n";
    return text;
}

TEST_F(Extraction, RegistrationFormAndUserRecordAreStoredByteForByte)
{
    Place(kSmall);
    USERINFO info = ExampleUserInfo();
    memset(info.szFax + 10, 'z', 20);   // bytes after a terminator are stored as they are
    ExpectSuccess(Run(desk_, &info), desk_);
    EXPECT_EQ(ReadText(desk_ + "\\register.txt"), Crlf(ExampleFormLines()));
    Bytes stored = ReadBytes(desk_ + "\\UserInfo.dat");
    ASSERT_EQ(stored.size(), sizeof info);
    EXPECT_EQ(memcmp(stored.data(), &info, sizeof info), 0);

    // All fields empty: line 18 is a comma and three blanks, still 24 lines.
    USERINFO empty = USERINFO{};
    ExpectSuccess(Run(desk_, &empty), desk_);
    std::string form = ReadText(desk_ + "\\register.txt");
    EXPECT_EQ(std::count(form.begin(), form.end(), '\n'), 24);
    EXPECT_NE(form.find("\r\n\r\n\r\n\r\n,   \r\n\r\nPhone:     \r\n"), std::string::npos);

    // An address on two lines (CR LF from the dialog) is stored as CR CR LF.
    USERINFO twoLines = USERINFO{};
    strcpy(twoLines.szAddress, "1 Main St\r\nSuite 2");
    ExpectSuccess(Run(desk_, &twoLines), desk_);
    form = ReadText(desk_ + "\\register.txt");
    EXPECT_NE(form.find("\r\n1 Main St\r\r\nSuite 2\r\n"), std::string::npos);
    size_t size = form.size();
    ExpectSuccess(Run(desk_, &twoLines), desk_);
    EXPECT_EQ(ReadText(desk_ + "\\register.txt").size(), size);
}

TEST_F(Extraction, TheSampleDistributionComesOutByteForByte)
{
    // setup.exe as the build made it: its records, read back.
    Bytes built = ReadBytes(BuildFile("setup.exe"));
    MemorySource source(built.data(), uint32_t(built.size()));
    PayloadScan scan;
    std::vector<Rec> recs;
    ScanPayload(
        &source, nullptr, &scan,
        [](void *context, const PayloadRecordInfo *info, ByteSource *src) {
            std::string data(info->cbData, '\0');
            src->Read(&data[0], info->cbData);
            static_cast<std::vector<Rec> *>(context)->push_back({info->szName, info->szDir, data});
            return true;
        },
        &recs);
    ASSERT_EQ(scan.result, PAYLOAD_COMPLETE);
    EXPECT_EQ(scan.dwEnd + 4, built.size());
    // The image, filled up to where releases have always put the payload.
    EXPECT_EQ(scan.dwOffset, SETUP_PAYLOAD_OFFSET);
    EXPECT_LE(ReadBytes(BuildFile("setup-image.exe")).size(), SETUP_PAYLOAD_OFFSET);

    // The manifest's records, in its order, with its files' bytes.
    std::vector<std::pair<std::string, Rec>> expected;   // source, record
    for (const DistRecord &r : DistManifest())
        expected.push_back({r.source, {r.name, r.dir, ""}});
    ASSERT_EQ(recs.size(), 36u);
    ASSERT_EQ(expected.size(), recs.size());
    for (size_t i = 0; i < recs.size(); ++i) {
        EXPECT_EQ(recs[i].name, expected[i].second.name) << i;
        EXPECT_EQ(recs[i].dir, expected[i].second.dir) << i;
        Bytes file = ReadBytes(SourceFile("dist/" + expected[i].first));
        EXPECT_TRUE(recs[i].data == std::string(file.begin(), file.end())) << recs[i].name;
    }

    // The same records extracted by the program.
    Place(recs);
    WriteBytes(tmp_ / "readme.doc", ReadBytes(BuildFile("readme.doc")).data(),
               ReadBytes(BuildFile("readme.doc")).size());
    ExpectSuccess(Run(desk_), desk_);
    for (size_t i = 0; i < recs.size(); ++i) {
        std::string dir = recs[i].dir == "." ? desk_ : desk_ + "\\" + recs[i].dir;
        Bytes file = ReadBytes(dir + "\\" + recs[i].name);
        EXPECT_TRUE(recs[i].data == std::string(file.begin(), file.end())) << recs[i].name;
    }
    EXPECT_EQ(ReadBytes(desk_ + "\\readme.doc"), ReadBytes(SourceFile("dist/readme.doc")));
}

TEST(Replacement, RenameReplacesTheOldFileWithOrWithoutMoveFileEx)
{
    TempDir tmp;
    for (BOOL fMoveFileEx : {TRUE, FALSE}) {
        WriteText(tmp / "target.txt", "old and longer");
        WriteText(tmp / "new.tmp", "new");
        EXPECT_TRUE(ReplaceByRename((tmp / "new.tmp").c_str(), (tmp / "target.txt").c_str(), fMoveFileEx));
        EXPECT_EQ(ReadText(tmp / "target.txt"), "new");
        EXPECT_FALSE(FileExists(tmp / "new.tmp"));

        // A missing target is simply created.
        WriteText(tmp / "new.tmp", "fresh");
        EXPECT_TRUE(ReplaceByRename((tmp / "new.tmp").c_str(), (tmp / "fresh.txt").c_str(), fMoveFileEx));
        EXPECT_EQ(ReadText(tmp / "fresh.txt"), "fresh");
        DeleteFileA((tmp / "fresh.txt").c_str());
    }
    // A directory in the way is not replaced.
    CreateDirectoryA((tmp / "dir").c_str(), NULL);
    WriteText(tmp / "new.tmp", "x");
    for (BOOL fMoveFileEx : {TRUE, FALSE}) {
        EXPECT_FALSE(ReplaceByRename((tmp / "new.tmp").c_str(), (tmp / "dir").c_str(), fMoveFileEx));
        EXPECT_TRUE(DirExists(tmp / "dir"));
        EXPECT_EQ(Tree(tmp.path()), (std::set<std::string>{"target.txt", "new.tmp", "dir\\"}));
    }
}

TEST(Replacement, WithoutMoveFileExTheOldFileStaysWhenTheNewOneCannotTakeItsName)
{
    // The new file is held open without delete sharing: it cannot be
    // renamed, while the old one can be moved aside.
    TempDir tmp;
    WriteText(tmp / "target.txt", "old");
    WriteText(tmp / "new.tmp", "new");
    HANDLE hHeld = CreateFileA((tmp / "new.tmp").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, 0, NULL);
    ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ReplaceByRename((tmp / "new.tmp").c_str(), (tmp / "target.txt").c_str(), FALSE));
    DWORD dwError = GetLastError();
    CloseHandle(hHeld);
    EXPECT_EQ(dwError, DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(ReadText(tmp / "target.txt"), "old");
    EXPECT_EQ(Tree(tmp.path()), (std::set<std::string>{"target.txt", "new.tmp"}));
}

}  // namespace
