// libFuzzer target: the record walk (PayloadWalker, as setup.exe, setuppack
// and the tests run it) and the path checks on any bytes.
//
// Beyond "no crash and no sanitizer report", it holds the walk to what the
// setup program relies on:
//   - a record is handed over only when the whole chain lies inside the file,
//     so nothing is written from a damaged download;
//   - with a checksum block, a record is handed over only when its data has
//     the CRC-32 the block holds for it, and a whole payload has as many
//     records as the block counts;
//   - a damaged file names a read that really came up short, or what the
//     checksum block found, so that a consistency check of the program ends it;
//   - every record's data can be read whole;
//   - every target path lies below the root, fits its buffer and holds no
//     "\.\" any more;
//   - a complete payload written again with the writer (and its checksum
//     block, when it had one) reads back the same;
//   - read through the window, as the program and the tool read a file, the
//     walk ends the same way with the same records.
// The input is also taken as "directory \n name" for the path checks alone.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "extract/crc32.h"
#include "extract/payload.h"
#include "vector_sink.h"
#include "windowed_memory.h"
#include "extract/payload_path.h"

namespace {

const char kRoot[] = "C:\\desk";

void Fail(const char *what, const std::string &detail)
{
    fprintf(stderr, "payload_fuzz: %s: %s\n", what, detail.c_str());
    abort();
}

// How Windows would resolve the path below the root, told apart from the
// checks under test: any ':' past the drive, any climb above the root, a
// component of dots only (read as a climb) or an empty file name fails.
bool StaysBelowRoot(const std::string &target)
{
    std::string prefix = std::string(kRoot) + "\\";
    if (target.compare(0, prefix.size(), prefix) != 0)
        return false;
    std::string rest = target.substr(prefix.size());
    if (rest.find(':') != std::string::npos || rest.empty() || rest.back() == '\\' || rest.back() == '/')
        return false;
    int depth = 0;
    size_t pos = 0;
    for (;;) {
        size_t end = rest.find_first_of("\\/", pos);
        std::string comp = rest.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        bool dotsOnly = !comp.empty() && comp.find_first_not_of(". ") == std::string::npos;
        if (comp.empty() || comp == ".")
            ;
        else if (dotsOnly)
            depth -= int(comp.size());
        else
            ++depth;
        if (depth < 0)
            return false;
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    return true;
}

struct Record {
    std::string name, dir, data;
};


bool Take(void *context, const PayloadRecordInfo *info, ByteSource *source)
{
    std::string target = info->szTarget;
    if (target.size() >= PAYLOAD_CCH_TEXT)
        Fail("target too long", target);
    if (!StaysBelowRoot(target))
        Fail("target leaves the root", target);
    if (target.find("\\.\\") != std::string::npos)
        Fail("dot segment left in the target", target);
    std::string data(info->cbData, '\0');
    if (info->cbData != 0 && source->Read(&data[0], info->cbData) != info->cbData)
        Fail("data of a record inside the chain cannot be read", target);
    static_cast<std::vector<Record> *>(context)->push_back({info->szName, info->szDir, data});
    return true;
}

void CheckPathsAlone(const uint8_t *data, size_t size)
{
    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.substr(0, text.find('\0'));
    size_t nl = text.find('\n');
    if (nl == std::string::npos)
        return;
    std::string dir = text.substr(0, nl).substr(0, PAYLOAD_CCH_TEXT - 1);
    std::string name = text.substr(nl + 1).substr(0, PAYLOAD_CCH_TEXT - 1);
    if (CheckPayloadPath(dir.c_str(), name.c_str()) != 0)
        return;
    char target[PAYLOAD_CCH_TEXT];
    if (BuildTargetPath(target, sizeof target, kRoot, dir.c_str(), name.c_str()) && !StaysBelowRoot(target))
        Fail("accepted path leaves the root", dir + " | " + name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    CheckPathsAlone(data, size);

    std::vector<Record> records;
    MemorySource source(data, uint32_t(size));
    PayloadScan scan;
    PayloadResult result = ScanPayload(&source, kRoot, &scan, Take, &records);
    std::vector<Record> windowed;
    WindowedMemory window(data, uint32_t(size));
    PayloadScan scanWindowed;
    if (ScanPayload(&window, kRoot, &scanWindowed, Take, &windowed) != result || windowed.size() != records.size() ||
        scanWindowed.nStep != scan.nStep || scanWindowed.dwError != scan.dwError ||
        scanWindowed.cRecords != scan.cRecords || scanWindowed.shortRead != scan.shortRead ||
        scanWindowed.cbRead != scan.cbRead || scanWindowed.cbWanted != scan.cbWanted ||
        scanWindowed.fChecksums != scan.fChecksums)
        Fail("the walk through the window ends otherwise", std::to_string(result));
    for (size_t i = 0; i < records.size(); ++i) {
        if (windowed[i].name != records[i].name || windowed[i].dir != records[i].dir ||
            windowed[i].data != records[i].data)
            Fail("a record read through the window differs", records[i].name);
    }
    // A record whose data fails its checksum ends the walk after the ones before it.
    const bool dataDamage = result == PAYLOAD_DAMAGED && scan.shortRead == PAYLOAD_BAD_CHECKSUM;
    if (result != PAYLOAD_COMPLETE && result != PAYLOAD_REFUSED && !dataDamage && !records.empty())
        Fail("records handed over from a file without a whole chain", std::to_string(records.size()));
    if (dataDamage && records.size() + 1 != scan.cRecords)
        Fail("records handed over besides those before the damaged one", std::to_string(records.size()));
    const bool checksumDamage = scan.shortRead == PAYLOAD_BAD_CHECKSUM || scan.shortRead == PAYLOAD_BAD_RECORD_COUNT;
    if (result == PAYLOAD_DAMAGED && scan.shortRead != PAYLOAD_SHORT_CHAIN && !checksumDamage &&
        (scan.shortRead == PAYLOAD_SHORT_NONE || scan.cbRead >= scan.cbWanted))
        Fail("damage without a short read", std::to_string(scan.shortRead));
    if (checksumDamage && !scan.fChecksums)
        Fail("checksum damage without a checksum block", std::to_string(scan.shortRead));
    // Each record handed over has the CRC the block holds for it, read here
    // from the input's own bytes.
    if (scan.fChecksums) {
        if (records.size() > scan.cChecksums)
            Fail("more records handed over than the checksum block counts", std::to_string(records.size()));
        for (size_t i = 0; i < records.size(); ++i) {
            const uint8_t *entry = data + scan.dwChecksums + 4 * i;
            uint32_t stored = entry[0] | entry[1] << 8 | entry[2] << 16 | uint32_t(entry[3]) << 24;
            if (Crc32Update(0, records[i].data.data(), records[i].data.size()) != stored)
                Fail("record handed over against its checksum", records[i].name);
        }
    }
    if (result != PAYLOAD_COMPLETE)
        return 0;
    if (scan.dwEnd > size - PAYLOAD_CB_TRAILER)
        Fail("payload ends inside the trailer", std::to_string(scan.dwEnd));
    if (scan.fChecksums && records.size() != scan.cChecksums)
        Fail("whole payload of another count than its checksum block's", std::to_string(records.size()));

    // Written again behind a small image (with its checksum block, when it
    // had one), it reads back the same.
    const bool checksums = scan.fChecksums;
    std::vector<unsigned char> again(16, 'I');
    VectorSink sink(&again);
    if (checksums) {
        std::vector<uint32_t> crcs;
        for (const Record &r : records)
            crcs.push_back(Crc32Update(0, r.data.data(), r.data.size()));
        WritePayloadChecksums(&sink, crcs.data(), uint32_t(crcs.size()));
    }
    const uint32_t offset = uint32_t(again.size());
    for (size_t i = 0; i < records.size(); ++i)
        WritePayloadRecord(&sink, records[i].name.c_str(), records[i].dir.c_str(), records[i].data.data(),
                           uint32_t(records[i].data.size()), i + 1 < records.size() ? 1 : 0);
    WritePayloadTrailer(&sink, offset);
    std::vector<Record> reread;
    MemorySource source2(again.data(), uint32_t(again.size()));
    if (ScanPayload(&source2, kRoot, &scan, Take, &reread) != PAYLOAD_COMPLETE || reread.size() != records.size() ||
        scan.fChecksums != checksums)
        Fail("re-written payload does not read back", std::to_string(records.size()));
    for (size_t i = 0; i < records.size(); ++i) {
        if (reread[i].name != records[i].name || reread[i].dir != records[i].dir || reread[i].data != records[i].data)
            Fail("re-written record differs", records[i].name);
    }
    return 0;
}
