// The payload format: what the writer produces byte for byte, and what the
// reader makes of intact, damaged and hostile setup files; the path checks
// and the target path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "extract/payload.h"
#include "vector_sink.h"
#include "windowed_memory.h"
#include "extract/payload_path.h"

#include <random>

namespace {



struct Rec {
    std::string name, dir, data;
    int more = -1;   // -1: 1 on all but the last, 0 on the last
};

// An image of `image` bytes ('I', ending in a non-zero byte), the records, the trailer.
Bytes MakeSetup(const std::vector<Rec> &recs, size_t image = 64)
{
    Bytes out(image, 'I');
    VectorSink sink(&out);
    for (size_t i = 0; i < recs.size(); ++i) {
        int more = recs[i].more >= 0 ? recs[i].more : (i + 1 < recs.size() ? 1 : 0);
        EXPECT_TRUE(WritePayloadRecord(&sink, recs[i].name.c_str(), recs[i].dir.c_str(), recs[i].data.data(),
                                       uint32_t(recs[i].data.size()), uint8_t(more)));
    }
    EXPECT_TRUE(WritePayloadTrailer(&sink, uint32_t(image)));
    return out;
}

struct Seen {
    std::string name, dir, target, data;
};

struct Scanned {
    PayloadScan scan;
    std::vector<Seen> records;
};

bool Collect(void *context, const PayloadRecordInfo *info, ByteSource *source)
{
    std::string data(info->cbData, '\0');
    EXPECT_EQ(source->Read(&data[0], info->cbData), info->cbData);
    static_cast<std::vector<Seen> *>(context)->push_back({info->szName, info->szDir, info->szTarget, data});
    return true;
}

Scanned Scan(const Bytes &bytes, const char *root = "C:\\desk")
{
    Scanned s;
    MemorySource source(bytes.data(), uint32_t(bytes.size()));
    ScanPayload(&source, root, &s.scan, Collect, &s.records);
    return s;
}

const std::vector<Rec> kThree = {
    {"qARNEL.htc", ".", "<html>help</html>"},
    {"toc.txt", "books\\film", "Film\tfilm01.htm\r\n"},
    {"empty.txt", "books\\Custom", ""},
};

TEST(PayloadFormat, WriterLaysOutRecordsAndTrailerByteForByte)
{
    // The distribution's first record: name, ".", 35328 bytes, at the payload's offset.
    std::string exe(35328, '\0');
    exe[0] = 'M';
    exe[1] = 'Z';
    Bytes setup = MakeSetup({{"qARNEL.exe.sh3", ".", exe}}, SETUP_PAYLOAD_OFFSET);
    const unsigned char head[] = {0x0E, 0, 0, 0, 'q', 'A', 'R', 'N', 'E', 'L', '.', 'e', 'x', 'e', '.', 's', 'h', '3',
                                  0x01, 0, 0, 0, '.', 0x00, 0x8A, 0x00, 0x00, 'M', 'Z'};
    ASSERT_EQ(setup.size(), SETUP_PAYLOAD_OFFSET + 4 + 14 + 4 + 1 + 4 + 35328 + 1 + 4);
    EXPECT_EQ(Bytes(setup.begin() + SETUP_PAYLOAD_OFFSET, setup.begin() + SETUP_PAYLOAD_OFFSET + sizeof head), Bytes(head, head + sizeof head));
    const unsigned char tail[] = {0x00, 0x00, 0x8A, 0x03, 0x00};
    EXPECT_EQ(Bytes(setup.end() - 5, setup.end()), Bytes(tail, tail + 5));

    // cMore is 1 on every record but the last.
    Bytes three = MakeSetup(kThree);
    size_t pos = 64;
    for (size_t i = 0; i < kThree.size(); ++i) {
        pos += 12 + kThree[i].name.size() + kThree[i].dir.size() + kThree[i].data.size();
        EXPECT_EQ(three[pos], i + 1 < kThree.size() ? 1 : 0) << "record " << i;
        ++pos;
    }
    EXPECT_EQ(pos + 4, three.size());
}

TEST(PayloadFormat, ReaderGivesBackWhatTheWriterWrote)
{
    Scanned s = Scan(MakeSetup(kThree));
    ASSERT_EQ(s.scan.result, PAYLOAD_COMPLETE);
    EXPECT_EQ(s.scan.dwOffset, 64u);
    EXPECT_EQ(s.scan.cMoreLast, 0);
    ASSERT_EQ(s.records.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(s.records[i].name, kThree[i].name);
        EXPECT_EQ(s.records[i].dir, kThree[i].dir);
        EXPECT_EQ(s.records[i].data, kThree[i].data);
    }
    // "." puts the file straight into the root; an empty file is a file.
    EXPECT_EQ(s.records[0].target, "C:\\desk\\qARNEL.htc");
    EXPECT_EQ(s.records[1].target, "C:\\desk\\books\\film\\toc.txt");
    EXPECT_EQ(s.records[2].data, "");
    EXPECT_EQ(s.scan.dwEnd + 4, MakeSetup(kThree).size());
}

TEST(PayloadFormat, OnlyTheByteBeforeTheTrailerMarksAPayload)
{
    Bytes setup = MakeSetup(kThree);
    setup[setup.size() - 5] = 0x02;   // last cMore 2: the file has no payload
    Scanned s = Scan(setup);
    EXPECT_EQ(s.scan.result, PAYLOAD_NO_MARK);
    EXPECT_EQ(s.scan.nStep, 4);
    EXPECT_TRUE(s.records.empty());

    // Records further on do not count: only the mark does.
    Bytes image(200, 'I');
    Bytes padded = MakeSetup(kThree);
    padded.insert(padded.end(), image.begin(), image.end());
    EXPECT_EQ(Scan(padded).scan.result, PAYLOAD_NO_MARK);

    Bytes tiny = {0, 0, 0, 0};
    EXPECT_EQ(Scan(tiny).scan.result, PAYLOAD_NO_TAIL);
    EXPECT_EQ(Scan(tiny).scan.nStep, 3);
}

TEST(PayloadFormat, AnyCMoreButOneEndsThePayload)
{
    std::vector<Rec> recs = kThree;
    recs[0].more = 2;
    Scanned s = Scan(MakeSetup(recs));
    ASSERT_EQ(s.scan.result, PAYLOAD_COMPLETE);
    EXPECT_EQ(s.records.size(), 1u);
    EXPECT_EQ(s.scan.cMoreLast, 2);

    recs[0].more = 0;
    EXPECT_EQ(Scan(MakeSetup(recs)).records.size(), 1u);
    recs[0].more = 0xFF;
    EXPECT_EQ(Scan(MakeSetup(recs)).records.size(), 1u);
}

TEST(PayloadFormat, ATruncatedSetupYieldsNoRecordAtAnyLength)
{
    Bytes whole = MakeSetup(kThree);
    for (size_t len = 0; len < whole.size(); ++len) {
        Bytes cut(whole.begin(), whole.begin() + len);
        Scanned s = Scan(cut);
        EXPECT_NE(s.scan.result, PAYLOAD_COMPLETE) << "cut at " << len;
        EXPECT_TRUE(s.records.empty()) << "cut at " << len;
        if (len < 5)
            EXPECT_EQ(s.scan.result, PAYLOAD_NO_TAIL);
        else if (cut[len - 5] != 0)
            EXPECT_EQ(s.scan.result, PAYLOAD_NO_MARK) << "cut at " << len;
        else
            EXPECT_EQ(s.scan.result, PAYLOAD_DAMAGED) << "cut at " << len;
    }
}

TEST(PayloadFormat, CountsPointingPastTheTrailerAreDamageBeforeAnyRecord)
{
    const Bytes good = MakeSetup(kThree);
    const size_t rec1 = 64 + 13 + kThree[0].name.size() + kThree[0].dir.size() + kThree[0].data.size();
    struct Case {
        const char *what;
        size_t at;
        uint32_t value;
    } cases[] = {
        {"offset past the end", good.size() - 4, uint32_t(good.size() + 100)},
        {"offset at the trailer", good.size() - 4, uint32_t(good.size() - 4)},
        {"offset just short of the trailer", good.size() - 4, uint32_t(good.size() - 16)},
        {"cbName of record 1 huge", rec1, 0xFFFFFFF0},
        {"cbDir of record 1 one too many", rec1 + 4 + kThree[1].name.size(), uint32_t(kThree[1].dir.size() + 200)},
        {"cbData of record 2 into the trailer", good.size() - 5 - 4, 3},
        {"cbData of record 0 near 4 GB", 64 + 8 + kThree[0].name.size() + kThree[0].dir.size(), 0xFFFFFFFF},
    };
    for (const Case &c : cases) {
        Bytes bad = good;
        PutCount(&bad, c.at, c.value);
        Scanned s = Scan(bad);
        EXPECT_EQ(s.scan.result, PAYLOAD_DAMAGED) << c.what;
        EXPECT_TRUE(s.records.empty()) << c.what;
    }

    // Offsets are unsigned: one of 2 GB or more is past this file's end.
    Bytes far = good;
    PutCount(&far, far.size() - 4, 0x80000000);
    EXPECT_EQ(Scan(far).scan.result, PAYLOAD_DAMAGED);
    EXPECT_TRUE(Scan(far).records.empty());

    // A last record that ends exactly at the trailer is whole.
    EXPECT_EQ(Scan(good).scan.result, PAYLOAD_COMPLETE);
}

TEST(PayloadFormat, AChainThatMissesTheTrailerIsDamageEvenWhenAStrayByteEndsIt)
{
    // A damaged cbData moves the reader off the records: the byte it then
    // takes for cMore may well end the payload early (a data byte, or a byte
    // of the next record's cbName), which must not pass for a whole payload.
    const Bytes good = MakeSetup(kThree);
    const size_t cbData0 = 64 + 8 + kThree[0].name.size() + kThree[0].dir.size();
    const uint32_t cb0 = uint32_t(kThree[0].data.size());
    for (uint32_t cb : {cb0 - 1, cb0 + 1, cb0 + 4}) {
        Bytes bad = good;
        PutCount(&bad, cbData0, cb);
        Scanned s = Scan(bad);
        EXPECT_EQ(s.scan.result, PAYLOAD_DAMAGED) << cb;
        EXPECT_TRUE(s.records.empty()) << cb;
    }
    // Bytes between the records and the trailer.
    Bytes gap = good;
    const unsigned char junk[] = {'x', 'y', 0, 0};
    gap.insert(gap.end() - 4, junk, junk + sizeof junk);
    EXPECT_EQ(Scan(gap).scan.result, PAYLOAD_DAMAGED);

    // Records after the one that ends the payload are walked, not handed over.
    std::vector<Rec> early = kThree;
    early[1].more = 2;
    Scanned s = Scan(MakeSetup(early));
    EXPECT_EQ(s.scan.result, PAYLOAD_COMPLETE);
    EXPECT_EQ(s.records.size(), 2u);
}

TEST(PayloadFormat, RefusedRecordsAreReportedAtTheirTargetStepAfterTheRecordsBefore)
{
    struct Case {
        std::string dir, name;
        uint32_t error;
    } cases[] = {
        {"..\\evil", "a.txt", 123},
        {"books\\..\\..", "a.txt", 123},
        {"\\Windows", "a.txt", 123},
        {"/etc", "a.txt", 123},
        {"c:\\x", "a.txt", 123},
        {"c:", "a.txt", 123},
        {"books", "..\\a.txt", 123},
        {"books", "sub/a.txt", 123},
        {"books", "c:a.txt", 123},
        {"books", "..", 123},
        {"books", "", 123},
        {std::string(1024, 'd'), "a.txt", 206},
        {"books", std::string(1024, 'n'), 206},
        {std::string(600, 'd'), std::string(600, 'n'), 206},
    };
    for (const Case &c : cases) {
        std::vector<Rec> recs = {{"first.txt", ".", "1"}, {c.name, c.dir, "2"}, {"third.txt", ".", "3"}};
        Scanned s = Scan(MakeSetup(recs));
        EXPECT_EQ(s.scan.result, PAYLOAD_REFUSED) << c.dir << " | " << c.name;
        EXPECT_EQ(s.scan.dwError, c.error) << c.dir << " | " << c.name;
        EXPECT_EQ(s.scan.nStep, 8) << c.dir << " | " << c.name;
        ASSERT_EQ(s.records.size(), 1u);
        EXPECT_EQ(s.records[0].name, "first.txt");
    }

    // The longest names and paths that fit are taken.
    std::string root = "C:\\desk";   // 7 characters
    std::vector<Rec> longest = {{std::string(1023, 'n'), ".", "x"}};
    EXPECT_EQ(Scan(MakeSetup(longest), nullptr).scan.result, PAYLOAD_COMPLETE);
    std::vector<Rec> fits = {{std::string(1023 - 7 - 2 - 5, 'n'), "books", "x"}};
    EXPECT_EQ(Scan(MakeSetup(fits)).scan.result, PAYLOAD_COMPLETE);
    fits[0].name += "n";
    EXPECT_EQ(Scan(MakeSetup(fits)).scan.dwError, 206u);
}

TEST(PayloadWindow, ReadsWhatAPlainReadAtTheSamePlaceGetsWithFewReadsOfTheFile)
{
    // Any seek and read, small or larger than the window, inside, across
    // and past its edges and the file's end, gets the same bytes.
    Bytes bytes(20000);
    std::mt19937 rng(5);
    for (unsigned char &b : bytes)
        b = uint8_t(rng());
    MemorySource plain(bytes.data(), uint32_t(bytes.size()));
    WindowedMemory windowed(bytes.data(), uint32_t(bytes.size()));
    for (int i = 0; i < 20000; ++i) {
        if (rng() % 3 == 0) {
            uint32_t to = rng() % 21000;
            ASSERT_TRUE(windowed.SeekTo(to));
            plain.SeekTo(to);
        }
        uint32_t cb = rng() % 4 == 0 ? rng() % 9000 : rng() % 40;
        Bytes a(cb + 1, 0xAA), b(cb + 1, 0xAA);
        ASSERT_EQ(windowed.Read(a.data(), cb), plain.Read(b.data(), cb)) << "read " << i;
        ASSERT_EQ(a, b) << "read " << i;
    }

    // A walk of small records reads the file about once a record, not once
    // a count, text and cMore.
    std::vector<Rec> many;
    for (int i = 0; i < 200; ++i)
        many.push_back({"f" + std::to_string(i) + ".txt", "d" + std::to_string(i % 7), std::string(i * 37 % 3000, 'x')});
    const Bytes setup = MakeSetup(many);
    WindowedMemory file(setup.data(), uint32_t(setup.size()));
    PayloadScan scan;
    std::vector<Seen> seen;
    ASSERT_EQ(ScanPayload(&file, "C:\\desk", &scan, Collect, &seen), PAYLOAD_COMPLETE);
    EXPECT_EQ(seen.size(), many.size());
    EXPECT_LE(file.reads(), 4 * int(many.size()));
}

// The bytes given, but the n-th read comes up short (gets nothing): a read
// error, or a file that changed after the pre-walk.
class FailingSource : public ByteSource {
public:
    FailingSource(const Bytes &bytes, int failAt) : inner_(bytes.data(), uint32_t(bytes.size())), failAt_(failAt) {}
    bool SeekTo(uint32_t dwOffset) override { return inner_.SeekTo(dwOffset); }
    bool SeekFromEnd(uint32_t cbBack) override { return inner_.SeekFromEnd(cbBack); }
    uint32_t Read(void *pv, uint32_t cb) override { return ++reads_ == failAt_ ? 0 : inner_.Read(pv, cb); }
    uint32_t Size() override { return inner_.Size(); }
    int reads() const { return reads_; }

private:
    MemorySource inner_;
    int failAt_;
    int reads_ = 0;
};

TEST(PayloadWalk, EveryShortReadEndsTheWalkInTheCheckOfThatRead)
{
    // The program ends a damaged setup through the consistency check of the
    // read that came up short, which must then really fail: it got fewer
    // bytes than it wanted, and fixed-size fields want their size.
    const Bytes setup = MakeSetup(kThree);
    FailingSource count(setup, 0);
    PayloadWalker whole(&count, "C:\\desk");
    while (whole.Next() == PAYLOAD_RECORD) {
    }
    ASSERT_EQ(whole.Scan().result, PAYLOAD_COMPLETE);

    std::vector<bool> seen(PAYLOAD_SHORT_MORE + 1);
    int unread = 0;
    for (int failAt = 1; failAt <= count.reads(); ++failAt) {
        SCOPED_TRACE("read " + std::to_string(failAt) + " fails");
        FailingSource source(setup, failAt);
        PayloadWalker walk(&source, "C:\\desk");
        uint32_t handedOut = 0;
        while (walk.Next() == PAYLOAD_RECORD)
            ++handedOut;
        const PayloadScan &scan = walk.Scan();
        if (scan.result == PAYLOAD_COMPLETE && !scan.fChecksums) {
            // The look for a checksum block: a block that cannot be read is
            // none, and the payload is read as it always was.
            ++unread;
            EXPECT_EQ(handedOut, kThree.size());
            continue;
        }
        ASSERT_EQ(scan.result, PAYLOAD_DAMAGED);
        EXPECT_EQ(scan.cRecords, handedOut);
        seen[scan.shortRead] = true;
        switch (scan.shortRead) {
        case PAYLOAD_SHORT_CHAIN:
            EXPECT_EQ(handedOut, 0u) << "nothing before the chain is known whole";
            break;
        case PAYLOAD_SHORT_MARK:
        case PAYLOAD_SHORT_MORE:
            EXPECT_EQ(scan.cbWanted, 1u);
            break;
        case PAYLOAD_SHORT_OFFSET:
        case PAYLOAD_SHORT_COUNT:
            EXPECT_EQ(scan.cbWanted, 4u);
            break;
        case PAYLOAD_SHORT_TEXT:
            EXPECT_GT(scan.cbWanted, 0u);
            break;
        default:
            ADD_FAILURE() << "short read " << scan.shortRead;
        }
        if (scan.shortRead != PAYLOAD_SHORT_CHAIN)
            EXPECT_LT(scan.cbRead, scan.cbWanted);
        EXPECT_EQ(walk.Next(), PAYLOAD_DAMAGED) << "the walk stays ended";
    }
    for (int kind : {PAYLOAD_SHORT_MARK, PAYLOAD_SHORT_OFFSET, PAYLOAD_SHORT_CHAIN, PAYLOAD_SHORT_COUNT,
                     PAYLOAD_SHORT_TEXT, PAYLOAD_SHORT_MORE})
        EXPECT_TRUE(seen[kind]) << "short read " << kind << " never came up";
    EXPECT_EQ(unread, 1) << "one read looks for the checksum block";
}

TEST(PayloadPath, KeepsEveryFileBelowTheRoot)
{
    const char *const ok[][2] = {
        {".", "qARNEL.htc"},        {"books\\tarvelo", "LOGO.2BP"}, {"books\\.\\film", "film01.htm"},
        {".\\books", "x"},          {"books\\", "x"},               {"", "x"},
        {"books\\Custom", "Table of Contents.html"},                {"a..b\\..c", "x..y"},
        {"books", ".hidden"},       {"console", "conx.txt"},        {"COM10", "lpt0"},
    };
    for (auto &c : ok)
        EXPECT_EQ(CheckPayloadPath(c[0], c[1]), 0u) << c[0] << " | " << c[1];

    const char *const refused[][2] = {
        {"..", "x"},        {"books\\..", "x"},      {"books/../..", "x"},   {"...", "x"},
        {"books\\. .", "x"}, {"\\\\server\\share", "x"}, {"\\x", "x"},       {"/x", "x"},
        {"d:", "x"},        {"d:books", "x"},        {"books\\file:stream", "x"},
        {"CON", "x"},       {"books\\aux.d", "x"},   {"LPT1", "x"},
        {".", "a\\b"},      {".", "a/b"},            {".", "a:b"},           {".", "."},
        {".", "..."},       {".", " "},              {".", "nul"},           {".", "Com3.txt"},
        {".", "prn "},      {".", "CONOUT$"},
    };
    for (auto &c : refused)
        EXPECT_EQ(CheckPayloadPath(c[0], c[1]), 123u) << c[0] << " | " << c[1];
}

TEST(PayloadPath, TargetJoinsRootDirectoryAndNameAndDropsDotSegments)
{
    char sz[PAYLOAD_CCH_TEXT];
    ASSERT_TRUE(BuildTargetPath(sz, sizeof sz, "c:\\A\\B", ".", "qARNEL.htc"));
    EXPECT_STREQ(sz, "c:\\A\\B\\qARNEL.htc");
    ASSERT_TRUE(BuildTargetPath(sz, sizeof sz, "c:\\A", "books\\.\\film", "f.htm"));
    EXPECT_STREQ(sz, "c:\\A\\books\\film\\f.htm");
    ASSERT_TRUE(BuildTargetPath(sz, sizeof sz, "c:\\A\\.", ".\\.\\x\\.", "f"));
    EXPECT_STREQ(sz, "c:\\A\\x\\f");
    ASSERT_TRUE(BuildTargetPath(sz, sizeof sz, ".", "books", "f"));
    EXPECT_STREQ(sz, ".\\books\\f");

    // Exactly 1023 characters fit; one more does not, and nothing is half built.
    std::string root(1023 - 2 - 1 - 1, 'r');
    ASSERT_TRUE(BuildTargetPath(sz, sizeof sz, root.c_str(), "d", "n"));
    EXPECT_EQ(strlen(sz), 1023u);
    root += "r";
    EXPECT_FALSE(BuildTargetPath(sz, sizeof sz, root.c_str(), "d", "n"));
    EXPECT_STREQ(sz, "");

    char guarded[16 + 4];
    memset(guarded, '#', sizeof guarded);
    EXPECT_FALSE(BuildTargetPath(guarded, 16, "root", "directory", "name"));
    EXPECT_EQ(std::string(guarded + 16, 4), "####");
}

}  // namespace
