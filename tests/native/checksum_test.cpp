// The checksum block: the CRC-32 against known values, the block as the
// packaging tool writes it into the sample setup, and what the reader makes
// of a setup whose data, block or record count has been changed. The walk is
// run as the setup program runs it: each record's data read into a block of
// its own and checked before it is "written".
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "extract/crc32.h"
#include "extract/payload.h"
#include "manifest.h"
#include "vector_sink.h"

namespace fs = std::filesystem;

namespace {

// Bit by bit, the polynomial's definition: the table-driven code must agree.
uint32_t BitwiseCrc32(const unsigned char *pb, size_t cb)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < cb; ++i) {
        c ^= pb[i];
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

uint32_t Crc(const std::string &s) { return Crc32Update(0, s.data(), s.size()); }

TEST(Crc32, GivesTheKnownValuesInAnyPieces)
{
    EXPECT_EQ(Crc(""), 0u);
    EXPECT_EQ(Crc("a"), 0xE8B7BE43u);
    EXPECT_EQ(Crc("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc("The quick brown fox jumps over the lazy dog"), 0x414FA339u);

    // Every length and alignment around the eight bytes taken at a time, and
    // every split into two pieces.
    Bytes bytes(300);
    uint32_t seed = 7;
    for (unsigned char &b : bytes)
        b = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
    for (size_t at = 0; at < 8; ++at)
        for (size_t cb = 0; at + cb <= 80; ++cb)
            ASSERT_EQ(Crc32Update(0, &bytes[at], cb), BitwiseCrc32(&bytes[at], cb)) << at << "+" << cb;
    const uint32_t whole = BitwiseCrc32(bytes.data(), bytes.size());
    for (size_t split = 0; split <= bytes.size(); ++split)
        ASSERT_EQ(Crc32Update(Crc32Update(0, bytes.data(), split), &bytes[split], bytes.size() - split), whole)
            << split;
}

TEST(PayloadChecksums, BlockIsTheRecordsCrcsThenMarkVersionCountAndItsOwnCrc)
{
    const uint32_t crcs[] = {0x11223344, 0xAABBCCDD};
    Bytes block;
    VectorSink sink(&block);
    ASSERT_TRUE(WritePayloadChecksums(&sink, crcs, 2));
    const unsigned char head[] = {0x44, 0x33, 0x22, 0x11, 0xDD, 0xCC, 0xBB, 0xAA, 'q', 'C', 'R', 'C',
                                  1,    0,    0,    0,    2,    0,    0,    0};
    ASSERT_EQ(block.size(), PAYLOAD_CB_CHECKSUMS(2));
    EXPECT_EQ(Bytes(block.begin(), block.begin() + 20), Bytes(head, head + 20));
    const uint32_t own = BitwiseCrc32(head, sizeof head);
    EXPECT_EQ(Bytes(block.begin() + 20, block.end()),
              (Bytes{uint8_t(own), uint8_t(own >> 8), uint8_t(own >> 16), uint8_t(own >> 24)}));
}

// ---------------------------------------------------------------------------
// The sample distribution, packed by the tool as the build packs setup.exe.

struct Written {
    std::string name, dir, data;
};

// The walk as setup.exe runs it: each record's data read into a block,
// checked, and only then taken as written.
struct Extraction {
    PayloadScan scan;
    std::vector<Written> written;
};

Extraction Extract(const Bytes &setup)
{
    Extraction x;
    MemorySource source(setup.data(), uint32_t(setup.size()));
    PayloadWalker walk(&source, "C:\\desk");
    while (walk.Next() == PAYLOAD_RECORD) {
        const PayloadRecordInfo &r = walk.Record();
        std::string data(r.cbData, '\0');
        if (source.Read(&data[0], r.cbData) != r.cbData || !walk.MatchesChecksum(data.data(), r.cbData))
            break;
        x.written.push_back({r.szName, r.szDir, data});
    }
    x.scan = walk.Scan();
    return x;
}

struct Layout {
    uint32_t offset, block;                  // record 0, the checksum block
    std::vector<uint32_t> data, size, more;  // each record's data, its size, its cMore
};

class SampleSetup : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char tmpl[] = "/tmp/checksum-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        fs::path dir = tmpl;
        {
            // An image shorter than the payload's offset, ending in a non-zero byte.
            std::ofstream image(dir / "image.exe", std::ios::binary);
            image << std::string(190000, 'I');
        }
        std::string cmd = std::string("'") + SETUPPACK + "' pack --image '" + (dir / "image.exe").string() +
                          "' --manifest '" + SETUP_DIST_MANIFEST + "' --out '" + (dir / "setup.exe").string() +
                          "' --pad-to " + std::to_string(SETUP_PAYLOAD_OFFSET) + " >/dev/null";
        int status = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << cmd;
        std::ifstream f(dir / "setup.exe", std::ios::binary);
        sample_ = Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
        fs::remove_all(dir);

        MemorySource source(sample_.data(), uint32_t(sample_.size()));
        PayloadScan scan;
        ScanPayload(
            &source, nullptr, &scan,
            [](void *context, const PayloadRecordInfo *info, ByteSource *) {
                Layout *l = static_cast<Layout *>(context);
                l->data.push_back(info->dwDataOffset);
                l->size.push_back(info->cbData);
                l->more.push_back(info->dwDataOffset + info->cbData);
                return true;
            },
            &layout_);
        ASSERT_EQ(scan.result, PAYLOAD_COMPLETE);
        layout_.offset = scan.dwOffset;
        layout_.block = scan.dwChecksums;
    }

    // The sample with its block zeroed, as setups were packed before.
    static Bytes WithoutBlock()
    {
        Bytes b = sample_;
        std::fill(b.begin() + layout_.block, b.begin() + layout_.offset, 0);
        return b;
    }

    static Bytes sample_;
    static Layout layout_;
};
Bytes SampleSetup::sample_;
Layout SampleSetup::layout_;

TEST_F(SampleSetup, CarriesACrcOfEachFileJustBeforeRecordZero)
{
    Extraction x = Extract(sample_);
    ASSERT_EQ(x.scan.result, PAYLOAD_COMPLETE);
    EXPECT_TRUE(x.scan.fChecksums);
    EXPECT_EQ(x.scan.dwOffset, SETUP_PAYLOAD_OFFSET);
    EXPECT_EQ(x.scan.cChecksums, 36u);
    EXPECT_EQ(layout_.block, SETUP_PAYLOAD_OFFSET - PAYLOAD_CB_CHECKSUMS(36));
    ASSERT_EQ(x.written.size(), 36u);

    // Each entry is the CRC-32 of the distribution's file, in manifest order.
    std::vector<ManifestRecord> manifest;
    std::vector<std::string> errors;
    ASSERT_TRUE(ReadManifest(SETUP_DIST_MANIFEST, &manifest, &errors));
    ASSERT_EQ(manifest.size(), 36u);
    for (size_t i = 0; i < manifest.size(); ++i) {
        std::ifstream f(ManifestFolder(SETUP_DIST_MANIFEST) + manifest[i].source, std::ios::binary);
        std::string file((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        const unsigned char *entry = &sample_[layout_.block + 4 * i];
        EXPECT_EQ(uint32_t(entry[0] | entry[1] << 8 | entry[2] << 16 | uint32_t(entry[3]) << 24),
                  BitwiseCrc32(reinterpret_cast<const unsigned char *>(file.data()), file.size()))
            << manifest[i].name;
        EXPECT_EQ(x.written[i].data, file) << manifest[i].name;
    }
}

TEST_F(SampleSetup, EveryChangedDataByteIsReportedAndItsRecordNotWritten)
{
    // The first and last byte of each record's data, and every 997th byte.
    std::vector<std::pair<size_t, uint32_t>> positions;   // offset, record
    for (uint32_t k = 0; k < layout_.data.size(); ++k) {
        if (layout_.size[k] == 0)
            continue;
        for (uint32_t at = 0; at < layout_.size[k]; at += 997)
            positions.push_back({layout_.data[k] + at, k});
        positions.push_back({layout_.data[k] + layout_.size[k] - 1, k});
    }
    const Extraction intact = Extract(sample_);
    for (const auto &[at, k] : positions) {
        SCOPED_TRACE("byte " + std::to_string(at) + " of record " + std::to_string(k));
        Bytes damaged = sample_;
        damaged[at] ^= uint8_t(1 + at % 255);
        Extraction x = Extract(damaged);
        ASSERT_EQ(x.scan.result, PAYLOAD_DAMAGED);
        EXPECT_EQ(x.scan.shortRead, PAYLOAD_BAD_CHECKSUM);
        EXPECT_EQ(x.scan.cRecords, k + 1) << "ends at the damaged record";
        ASSERT_EQ(x.written.size(), k) << "the records before it, and not it";
        for (uint32_t i = 0; i < k; ++i)
            EXPECT_EQ(x.written[i].data, intact.written[i].data);

        // The same for every reader of the tool and the tests: it is not handed over.
        MemorySource source(damaged.data(), uint32_t(damaged.size()));
        PayloadScan scan;
        uint32_t handed = 0;
        auto count = [](void *n, const PayloadRecordInfo *, ByteSource *) {
            ++*static_cast<uint32_t *>(n);
            return true;
        };
        ScanPayload(&source, nullptr, &scan, count, &handed);
        EXPECT_EQ(scan.shortRead, PAYLOAD_BAD_CHECKSUM);
        EXPECT_EQ(handed, k);
    }
    EXPECT_GT(positions.size(), 250u);
}

TEST_F(SampleSetup, WithoutItsBlockOrWithADamagedOneTheSetupReadsAsBefore)
{
    const Extraction with = Extract(sample_);
    std::vector<Bytes> cases = {WithoutBlock()};
    for (uint32_t at = layout_.block; at < layout_.offset; ++at) {
        Bytes b = sample_;
        b[at] ^= 0x20;
        cases.push_back(b);
    }
    // A block of another version, or one that claims more records than fit
    // before record 0, each with its own CRC right: no block of this reader's.
    auto rewritten = [&](uint32_t field, uint32_t value) {
        Bytes b = sample_;
        const uint32_t footer = layout_.offset - PAYLOAD_CB_CHECKSUM_FOOTER;
        for (int i = 0; i < 4; ++i)
            b[footer + field + i] = uint8_t(value >> (8 * i));
        uint32_t own = Crc32Update(0, &b[layout_.block], layout_.offset - 4 - layout_.block);
        for (int i = 0; i < 4; ++i)
            b[layout_.offset - 4 + i] = uint8_t(own >> (8 * i));
        return b;
    };
    cases.push_back(rewritten(4, 2));
    cases.push_back(rewritten(8, SETUP_PAYLOAD_OFFSET / 4));

    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        Extraction x = Extract(cases[i]);
        ASSERT_EQ(x.scan.result, PAYLOAD_COMPLETE);
        EXPECT_FALSE(x.scan.fChecksums);
        ASSERT_EQ(x.written.size(), with.written.size());
        for (size_t k = 0; k < x.written.size(); ++k)
            EXPECT_EQ(x.written[k].data, with.written[k].data);
    }

    // What the block does not cover: with the block gone, changed data is
    // installed as it always was.
    Bytes unchecked = WithoutBlock();
    unchecked[layout_.data[0] + 100] ^= 0xFF;
    Extraction x = Extract(unchecked);
    EXPECT_EQ(x.scan.result, PAYLOAD_COMPLETE);
    EXPECT_EQ(x.written.size(), 36u);
}

TEST_F(SampleSetup, ACMoreThatEndsThePayloadEarlyIsReportedBeforeAnyRecord)
{
    for (uint32_t k : {0u, 17u, 34u}) {
        for (uint8_t more : {0, 2}) {
            SCOPED_TRACE("record " + std::to_string(k) + " cMore " + std::to_string(more));
            Bytes damaged = sample_;
            damaged[layout_.more[k]] = more;
            Extraction x = Extract(damaged);
            EXPECT_EQ(x.scan.result, PAYLOAD_DAMAGED);
            EXPECT_EQ(x.scan.shortRead, PAYLOAD_BAD_RECORD_COUNT);
            EXPECT_EQ(x.scan.chain.cPayload, k + 1);
            EXPECT_TRUE(x.written.empty());

            // Without the block, the setup installs k + 1 files and succeeds, as before.
            std::fill(damaged.begin() + layout_.block, damaged.begin() + layout_.offset, 0);
            x = Extract(damaged);
            EXPECT_EQ(x.scan.result, PAYLOAD_COMPLETE);
            EXPECT_EQ(x.written.size(), k + 1);
        }
    }
}

TEST(PayloadChecksums, ReadThroughASmallWindowOverManyRecords)
{
    // More records than the walker holds CRCs of at a time.
    const uint32_t kRecords = 300;
    std::vector<uint32_t> crcs;
    Bytes records;
    VectorSink sink(&records);
    for (uint32_t i = 0; i < kRecords; ++i) {
        std::string data = "file " + std::to_string(i);
        crcs.push_back(Crc(data));
        WritePayloadRecord(&sink, ("f" + std::to_string(i)).c_str(), ".", data.data(), uint32_t(data.size()),
                           i + 1 < kRecords ? 1 : 0);
    }
    Bytes setup(16, 'I');
    VectorSink front(&setup);
    WritePayloadChecksums(&front, crcs.data(), kRecords);
    const uint32_t offset = uint32_t(setup.size());
    setup.insert(setup.end(), records.begin(), records.end());
    VectorSink back(&setup);
    WritePayloadTrailer(&back, offset);

    Extraction x = Extract(setup);
    EXPECT_EQ(x.scan.result, PAYLOAD_COMPLETE);
    EXPECT_TRUE(x.scan.fChecksums);
    EXPECT_EQ(x.written.size(), kRecords);
    // The last record's data: its last byte sits just before its cMore and the trailer.
    setup[setup.size() - 6] ^= 1;
    x = Extract(setup);
    EXPECT_EQ(x.scan.shortRead, PAYLOAD_BAD_CHECKSUM);
    EXPECT_EQ(x.written.size(), kRecords - 1);
}

}  // namespace
