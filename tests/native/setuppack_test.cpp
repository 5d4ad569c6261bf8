// The packaging tool as a distributor runs it: pack a manifest onto an
// image, list and verify the result, and refuse what it cannot represent.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "extract/payload.h"
#include "vector_sink.h"

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status;
    std::string out, err;
};

std::string Slurp(const fs::path &p)
{
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void Spit(const fs::path &p, const std::string &bytes)
{
    fs::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary);
    f.write(bytes.data(), std::streamsize(bytes.size()));
}

class SetupPack : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/setuppack-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        image_ = std::string(3000, 'I') + "END1";   // ends in a non-zero byte
        Spit(dir_ / "image.exe", image_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    ToolRun Tool(const std::string &args)
    {
        // The tool's path is the build tree's, which may hold blanks.
        std::string cmd = "'" + std::string(SETUPPACK) + "' " + args + " >" + (dir_ / "out.txt").string() + " 2>" +
                          (dir_ / "err.txt").string();
        int raw = std::system(cmd.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(dir_ / "out.txt"), Slurp(dir_ / "err.txt")};
    }
    ToolRun Pack(const std::string &manifest, const std::string &out = "setup.exe")
    {
        Spit(dir_ / "dist" / "manifest.txt", manifest);
        return Tool("pack --image " + P("image.exe") + " --manifest " + P("dist/manifest.txt") + " --out " + P(out));
    }
    std::string P(const std::string &rel) const { return (dir_ / rel).string(); }

    fs::path dir_;
    std::string image_;
};

const char kManifest[] =
    "# a comment\n"
    "\n"
    "payload/app.exe\t.\tqARNEL.exe.sh3\r\n"
    "payload/books/film/f01.htm\tbooks\\film\tfilm01.htm\n"
    "payload/empty.txt\tbooks\\.\\film\tindex.txt\n"
    "payload/Beta Notes.html\tbooks\\Custom\tBeta Notes.html";

void WriteSources(const fs::path &dist)
{
    Spit(dist / "payload/app.exe", "MZ" + std::string(5000, '\0'));
    Spit(dist / "payload/books/film/f01.htm", "<HTML>one</HTML>\r\n");
    Spit(dist / "payload/empty.txt", "");
    Spit(dist / "payload/Beta Notes.html", "<HTML>notes</HTML>\r\n");
}

TEST_F(SetupPack, PackListVerifyRoundTrip)
{
    WriteSources(dir_ / "dist");
    ToolRun pack = Pack(kManifest);
    ASSERT_EQ(pack.status, 0) << pack.err;
    EXPECT_NE(pack.out.find("4 records"), std::string::npos) << pack.out;

    // No padding: no room for the checksum block.
    EXPECT_NE(pack.out.find("no checksum block: it needs 32 bytes before the payload, the image leaves 0"),
              std::string::npos)
        << pack.out;
    ToolRun list = Tool("list " + P("setup.exe"));
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out,
              "qARNEL.exe.sh3\t.\t5002\t-\n"
              "film01.htm\tbooks\\film\t18\t-\n"
              "index.txt\tbooks\\.\\film\t0\t-\n"
              "Beta Notes.html\tbooks\\Custom\t20\t-\n");
    ToolRun verify = Tool("verify " + P("setup.exe"));
    EXPECT_EQ(verify.status, 0) << verify.err;
    EXPECT_NE(verify.out.find("ok: 4 records, 5040 bytes of data, payload at offset 3004, no checksum block"),
              std::string::npos)
        << verify.out;

    // Byte for byte: the image, then exactly what the writer makes.
    std::string setup = Slurp(dir_ / "setup.exe");
    ASSERT_GT(setup.size(), image_.size());
    EXPECT_EQ(setup.substr(0, image_.size()), image_);
    const unsigned char trailer[] = {0, 0xBC, 0x0B, 0, 0};   // last cMore, then 3004
    EXPECT_EQ(setup.substr(setup.size() - 5), std::string(reinterpret_cast<const char *>(trailer), 5));
    EXPECT_FALSE(fs::exists(dir_ / "setup.exe.tmp"));

    // Padded: the image is filled with zero bytes, the last of them taken by
    // the checksum block, and the payload moves up.
    ASSERT_EQ(Tool("pack --image " + P("image.exe") + " --manifest " + P("dist/manifest.txt") + " --out " +
                   P("padded.exe") + " --pad-to 4096")
                  .status,
              0);
    std::string padded = Slurp(dir_ / "padded.exe");
    EXPECT_EQ(padded.substr(0, image_.size()), image_);
    EXPECT_EQ(padded.substr(image_.size(), 4096 - 32 - image_.size()), std::string(4096 - 32 - image_.size(), '\0'));
    EXPECT_EQ(padded.substr(4096 - 16, 4), "qCRC");
    EXPECT_EQ(padded.substr(4096), setup.substr(image_.size()).replace(setup.size() - image_.size() - 4, 4,
                                                                        std::string("\0\x10\0\0", 4)));
    // An image already larger than that is not cut.
    ASSERT_EQ(Tool("pack --image " + P("image.exe") + " --manifest " + P("dist/manifest.txt") + " --out " +
                   P("unpadded.exe") + " --pad-to 16")
                  .status,
              0);
    EXPECT_EQ(Slurp(dir_ / "unpadded.exe"), setup);
}

TEST_F(SetupPack, VerifyAndListRejectDamagedAndPayloadlessFiles)
{
    WriteSources(dir_ / "dist");
    ASSERT_EQ(Pack(kManifest).status, 0);
    const std::string good = Slurp(dir_ / "setup.exe");
    struct Case {
        const char *what;
        std::string bytes;
        const char *says;
    };
    std::string markless = good;
    markless[good.size() - 5] = 1;
    std::string gap = good.substr(0, good.size() - 4) + std::string(3, '\0') + good.substr(good.size() - 4);
    std::string bigName = good;
    bigName[3004 + 3] = 0x7F;
    std::string traversal = good;
    size_t dirAt = good.find("books\\film");
    traversal.replace(dirAt, 10, "..\\..\\film");
    std::string early = good;
    early[3004 + 4 + 14 + 4 + 1 + 4 + 5002] = 0;   // record 0 claims to be the last
    const Case cases[] = {
        {"no payload at all", image_, "no payload"},
        {"mark byte not 0", markless, "no payload"},
        {"cut short by one byte (the mark moves)", good.substr(0, good.size() - 1), "no payload"},
        {"cut short in the data", good.substr(0, 4000), "damaged"},
        {"a name count past the end", bigName, "runs past the trailer"},
        {"bytes between the records and the trailer", gap, "lie between"},
        {"the chain ends early", early, "lie between"},
        {"a record leaving the directory", traversal, "would leave the desktop directory"},
        {"four bytes", std::string(4, '\0'), "no payload"},
    };
    for (const Case &c : cases) {
        Spit(dir_ / "bad.exe", c.bytes);
        ToolRun verify = Tool("verify " + P("bad.exe"));
        EXPECT_EQ(verify.status, 1) << c.what;
        EXPECT_NE(verify.err.find(c.says), std::string::npos) << c.what << ": " << verify.err;
        EXPECT_EQ(Tool("list " + P("bad.exe")).status, 1) << c.what;
    }
    EXPECT_EQ(Tool("verify " + P("missing.exe")).status, 1);
}

TEST_F(SetupPack, ChecksumBlockGoesWhereThereIsRoomAndVerifyAndListCheckEveryRecordAgainstIt)
{
    WriteSources(dir_ / "dist");
    Spit(dir_ / "dist/manifest.txt", kManifest);
    auto pack = [&](uint64_t padTo) {
        return Tool("pack --image " + P("image.exe") + " --manifest " + P("dist/manifest.txt") + " --out " +
                    P("setup.exe") + " --pad-to " + std::to_string(padTo));
    };
    // Four records: a block of 4 + 4 * 4 + 12 bytes, one short of room.
    ToolRun tight = pack(image_.size() + 31);
    ASSERT_EQ(tight.status, 0) << tight.err;
    EXPECT_NE(tight.out.find("no checksum block: it needs 32 bytes before the payload, the image leaves 31"),
              std::string::npos)
        << tight.out;
    EXPECT_EQ(Slurp(dir_ / "setup.exe").substr(image_.size(), 31), std::string(31, '\0'));

    ToolRun fits = pack(image_.size() + 32);
    ASSERT_EQ(fits.status, 0) << fits.err;
    EXPECT_NE(fits.out.find("checksum block of 32 bytes before the payload"), std::string::npos) << fits.out;
    const std::string good = Slurp(dir_ / "setup.exe");
    const uint32_t offset = uint32_t(image_.size() + 32);
    ToolRun verify = Tool("verify " + P("setup.exe"));
    EXPECT_EQ(verify.status, 0) << verify.err;
    EXPECT_NE(verify.out.find("ok: 4 records, 5040 bytes of data, payload at offset 3036, each matches its checksum"),
              std::string::npos)
        << verify.out;
    // The CRC-32 of each file, as zlib.crc32 gives it.
    ToolRun list = Tool("list " + P("setup.exe"));
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out,
              "qARNEL.exe.sh3\t.\t5002\tcaea6cbe\n"
              "film01.htm\tbooks\\film\t18\t6232e5d0\n"
              "index.txt\tbooks\\.\\film\t0\t00000000\n"
              "Beta Notes.html\tbooks\\Custom\t20\t6d757034\n");

    // A changed byte of record 1's data: verify names it, list stops before it.
    std::string damaged = good;
    damaged[good.find("<HTML>one") + 3] ^= 0x01;
    Spit(dir_ / "bad.exe", damaged);
    ToolRun bad = Tool("verify " + P("bad.exe"));
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("the data of record 1 (film01.htm in books\\film) does not match its checksum"),
              std::string::npos)
        << bad.err;
    ToolRun badList = Tool("list " + P("bad.exe"));
    EXPECT_EQ(badList.status, 1);
    EXPECT_EQ(badList.out, "qARNEL.exe.sh3\t.\t5002\tcaea6cbe\n");

    // Record 0 ending the payload: the block counts four.
    std::string early = good;
    early[offset + 4 + 14 + 4 + 1 + 4 + 5002] = 0;
    Spit(dir_ / "bad.exe", early);
    bad = Tool("verify " + P("bad.exe"));
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("the payload ends after 1 records, but its checksum block counts 4"), std::string::npos)
        << bad.err;

    // A damaged block is no block: the setup verifies as one without.
    std::string noBlock = good;
    noBlock[offset - 20] ^= 0x01;
    Spit(dir_ / "bad.exe", noBlock);
    verify = Tool("verify " + P("bad.exe"));
    EXPECT_EQ(verify.status, 0) << verify.err;
    EXPECT_NE(verify.out.find("no checksum block"), std::string::npos) << verify.out;
}

TEST_F(SetupPack, SetupsUpTo4GBAreReadAndLargerOnesRefused)
{
    // Sparse files: the image, zeros up to the payload, the payload.
    auto sparse = [&](const std::string &name, uint64_t payloadAt, bool payload) {
        Spit(dir_ / name, image_);
        fs::resize_file(dir_ / name, payloadAt);
        Bytes tail;
        VectorSink sink(&tail);
        WritePayloadRecord(&sink, "high.txt", "books", "far up", 6, 1);
        WritePayloadRecord(&sink, "last.txt", ".", "", 0, 0);
        WritePayloadTrailer(&sink, uint32_t(payloadAt));
        std::ofstream f(dir_ / name, std::ios::binary | std::ios::app);
        if (payload)
            f.write(reinterpret_cast<const char *>(tail.data()), std::streamsize(tail.size()));
    };
    const uint64_t beyond2GB = 0x80000000, near4GB = 0xFFFFFFFFull - 64;
    for (uint64_t at : {beyond2GB, near4GB}) {
        SCOPED_TRACE(at);
        sparse("big.exe", at, true);
        ToolRun verify = Tool("verify " + P("big.exe"));
        EXPECT_EQ(verify.status, 0) << verify.err;
        EXPECT_NE(verify.out.find("ok: 2 records, 6 bytes of data, payload at offset " + std::to_string(at)),
                  std::string::npos)
            << verify.out;
        EXPECT_EQ(Tool("list " + P("big.exe")).out, "high.txt\tbooks\t6\t-\nlast.txt\t.\t0\t-\n");
        fs::remove(dir_ / "big.exe");
    }

    // 4 GB and more: no offset reaches the trailer.
    sparse("huge.exe", 0x100000000ull, false);
    ToolRun huge = Tool("verify " + P("huge.exe"));
    EXPECT_EQ(huge.status, 1);
    EXPECT_NE(huge.err.find("larger than 4 GB - 1 byte"), std::string::npos) << huge.err;
    fs::remove(dir_ / "huge.exe");
    WriteSources(dir_ / "dist");
    Spit(dir_ / "dist/manifest.txt", kManifest);
    ToolRun pad = Tool("pack --image " + P("image.exe") + " --manifest " + P("dist/manifest.txt") + " --out " +
                       P("padded.exe") + " --pad-to 4294967296");
    EXPECT_EQ(pad.status, 1);
    EXPECT_NE(pad.err.find("below 4 GB"), std::string::npos) << pad.err;
}

TEST_F(SetupPack, PackRefusesWhatTheSetupCouldNotExtract)
{
    WriteSources(dir_ / "dist");
    struct Case {
        const char *what;
        std::string manifest;
        const char *says;
    };
    const std::string longName(1024, 'n');
    const Case cases[] = {
        {"name of 1024 bytes", "payload/empty.txt\t.\t" + longName + "\n", "1024 bytes"},
        {"directory of 1024 bytes", "payload/empty.txt\t" + std::string(1024, 'd') + "\tx\n", "1024 bytes"},
        {"target path too long", "payload/empty.txt\t" + std::string(900, 'd') + "\t" + std::string(100, 'n') + "\n",
         "longer than 1023"},
        {"parent directory", "payload/empty.txt\t..\\up\tx.txt\n", "would leave"},
        {"absolute directory", "payload/empty.txt\t\\Windows\tx.txt\n", "would leave"},
        {"drive", "payload/empty.txt\tc:\\x\tx.txt\n", "would leave"},
        {"name with a directory", "payload/empty.txt\tbooks\tsub\\x.txt\n", "would leave"},
        {"two fields", "payload/empty.txt\tbooks\n", "three TAB-separated fields"},
        {"missing source", "payload/nothere.txt\t.\tx.txt\n", "cannot open"},
        {"no records", "# nothing\n\n", "names no files"},
        {"same file twice", "payload/empty.txt\tbooks\\film\tA.txt\npayload/empty.txt\tBooks\\.\\FILM\ta.TXT\n",
         "already in the payload"},
    };
    for (const Case &c : cases) {
        ToolRun pack = Pack(c.manifest, "refused.exe");
        EXPECT_EQ(pack.status, 1) << c.what;
        EXPECT_NE(pack.err.find(c.says), std::string::npos) << c.what << ": " << pack.err;
        EXPECT_FALSE(fs::exists(dir_ / "refused.exe")) << c.what;
    }

    // A packed setup is no image: packing onto it would hide its payload.
    ASSERT_EQ(Pack(kManifest).status, 0);
    Spit(dir_ / "dist/manifest.txt", kManifest);
    ToolRun twice = Tool("pack --image " + P("setup.exe") + " --manifest " + P("dist/manifest.txt") + " --out " +
                     P("twice.exe"));
    EXPECT_EQ(twice.status, 1);
    EXPECT_NE(twice.err.find("already carries a payload"), std::string::npos) << twice.err;

    EXPECT_EQ(Tool("pack --image " + P("image.exe")).status, 2);
    EXPECT_EQ(Tool("frobnicate").status, 2);
}

TEST_F(SetupPack, ManifestPrintsTheRecordsAsReadAndRefusesWhatPackRefuses)
{
    // The manifest alone is read: its sources need not be there.
    Spit(dir_ / "dist/manifest.txt", kManifest);
    ToolRun read = Tool("manifest " + P("dist/manifest.txt"));
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(read.out,
              "payload/app.exe\t.\tqARNEL.exe.sh3\n"
              "payload/books/film/f01.htm\tbooks\\film\tfilm01.htm\n"
              "payload/empty.txt\tbooks\\.\\film\tindex.txt\n"
              "payload/Beta Notes.html\tbooks\\Custom\tBeta Notes.html\n");
    EXPECT_EQ(read.err, "");

    Spit(dir_ / "dist/manifest.txt", "payload/a.txt\t.\ta.txt\npayload/b.txt\t..\\up\tb.txt\n");
    ToolRun bad = Tool("manifest " + P("dist/manifest.txt"));
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "");   // no records from a manifest that pack would refuse
    EXPECT_NE(bad.err.find("manifest.txt:2: \"..\\up\\b.txt\" would leave the desktop directory"), std::string::npos)
        << bad.err;
    EXPECT_EQ(Tool("manifest " + P("missing.txt")).status, 1);
    EXPECT_EQ(Tool("manifest").status, 2);
}

}  // namespace
