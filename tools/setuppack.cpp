// setuppack: makes a release of the setup program by appending the payload
// to the program image, and lists or verifies the payload of a setup.
//
//   setuppack pack --image IMAGE --manifest MANIFEST --out SETUP [--pad-to BYTES]
//   setuppack list SETUP
//   setuppack verify SETUP
//
// The manifest names the files in install order, one record per line with
// three TAB-separated fields: the source file (relative to the manifest's
// folder), the directory in the payload (backslashes, "." for the root) and
// the file name. Lines starting with '#' and blank lines are skipped.
// --pad-to fills a smaller image with zero bytes up to that size, so that the
// payload starts at the same offset whatever the build (the releases put it
// at 231936, where it has always been).
//
// Exit status: 0 done; 1 a damaged or payload-less setup, or an input that
// cannot be packed; 2 wrong usage.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/desktop_dir.h"
#include "extract/payload.h"
#include "extract/payload_path.h"

namespace {

const char kUsage[] =
    "usage: setuppack pack --image IMAGE --manifest MANIFEST --out SETUP [--pad-to BYTES]\n"
    "       setuppack list SETUP\n"
    "       setuppack verify SETUP\n";

// The program seeks with signed 32-bit offsets: a setup stays below 2 GB.
const uint64_t kMaxSetupSize = 0x7FFFFFFF;

void Error(const std::string &message) { fprintf(stderr, "setuppack: %s\n", message.c_str()); }

bool ReadFile(const std::string &path, std::vector<unsigned char> *bytes)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) {
        Error("cannot open " + path + ": " + strerror(errno));
        return false;
    }
    bytes->clear();
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) {
        bytes->insert(bytes->end(), buf, buf + n);
        if (bytes->size() > kMaxSetupSize) {
            fclose(f);
            Error(path + ": larger than 2 GB");
            return false;
        }
    }
    bool ok = !ferror(f);
    fclose(f);
    if (!ok)
        Error("cannot read " + path);
    return ok;
}

class VectorSink : public ByteSink {
public:
    explicit VectorSink(std::vector<unsigned char> *out) : out_(out) {}
    bool Write(const void *pv, uint32_t cb) override
    {
        const unsigned char *pb = static_cast<const unsigned char *>(pv);
        out_->insert(out_->end(), pb, pb + cb);
        return true;
    }

private:
    std::vector<unsigned char> *out_;
};

std::string Hex(unsigned value)
{
    char sz[16];
    snprintf(sz, sizeof sz, "0x%02X", value);
    return sz;
}

// ---------------------------------------------------------------------------
// verify and list

struct Record {
    std::string name, dir;
    uint32_t size, offset;
};

bool CollectRecord(void *context, const PayloadRecordInfo *info, ByteSource *)
{
    static_cast<std::vector<Record> *>(context)->push_back({info->szName, info->szDir, info->cbData, info->dwOffset});
    return true;
}

// Reads the payload as the setup program does and says what is wrong with it,
// if anything. The records read whole go to *records.
bool CheckSetup(const std::string &path, const std::vector<unsigned char> &bytes, std::vector<Record> *records,
                uint32_t *payloadOffset, uint64_t *dataBytes)
{
    MemorySource source(bytes.data(), uint32_t(bytes.size()));
    PayloadScan scan;
    // Joined paths are checked below the built-in desktop directory.
    ScanPayload(&source, c_szBuiltInDesktopDir, &scan, CollectRecord, records);
    *payloadOffset = scan.dwOffset;
    *dataBytes = 0;
    for (const Record &r : *records)
        *dataBytes += r.size;

    const uint32_t size = uint32_t(bytes.size());
    switch (scan.result) {
    case PAYLOAD_NO_TAIL:
        Error(path + ": no payload: the file has only " + std::to_string(size) + " bytes");
        return false;
    case PAYLOAD_NO_MARK:
        Error(path + ": no payload: the byte at offset " + std::to_string(size - PAYLOAD_CB_TAIL) + " (size - 5) is " +
              Hex(bytes[size - PAYLOAD_CB_TAIL]) + ", not 0");
        return false;
    case PAYLOAD_BAD_OFFSET:
        Error(path + ": damaged: the trailer's offset " + std::to_string(scan.dwOffset) +
              " cannot be reached (2 GB or more)");
        return false;
    case PAYLOAD_DAMAGED:
        if (scan.dwOffset == 0)
            Error(path + ": damaged or no payload: the byte at size - 5 is 0 but the trailer's offset is 0 "
                         "(a program image that ends in zero bytes reads like this)");
        else if (scan.dwOffset > size - PAYLOAD_CB_TRAILER)
            Error(path + ": damaged: the trailer's offset " + std::to_string(scan.dwOffset) +
                  " lies past the records' end (file size " + std::to_string(size) + ")");
        else if (scan.chain.fEnded)
            Error(path + ": damaged: " + std::to_string(size - PAYLOAD_CB_TRAILER - scan.chain.dwEnd) +
                  " bytes lie between the last record (ending at offset " + std::to_string(scan.chain.dwEnd) +
                  ") and the trailer, and are no whole records");
        else
            Error(path + ": damaged: record " + std::to_string(scan.chain.cRecords) + " at offset " +
                  std::to_string(scan.chain.dwBadRecord) + " runs past the trailer at offset " +
                  std::to_string(size - PAYLOAD_CB_TRAILER));
        return false;
    case PAYLOAD_REFUSED:
        Error(path + ": record " + std::to_string(scan.cRecords) +
              (scan.dwError == PAYLOAD_ERROR_INVALID_NAME
                   ? ": its path would leave the desktop directory or is no file name"
                   : ": its name, directory or target path is too long") +
              "; the setup program refuses it (step " + std::to_string(scan.nStep) + ", error " +
              std::to_string(scan.dwError) + ")");
        return false;
    case PAYLOAD_COMPLETE:
        break;
    }
    if (scan.cMoreLast != 0) {
        Error(path + ": damaged: record " + std::to_string(scan.cRecords - 1) + " ends the payload with cMore " +
              std::to_string(scan.cMoreLast) + ", not 0");
        return false;
    }
    if (scan.dwEnd != size - PAYLOAD_CB_TRAILER) {
        Error(path + ": damaged: " + std::to_string(size - PAYLOAD_CB_TRAILER - scan.dwEnd) +
              " bytes lie between the last record (ending at offset " + std::to_string(scan.dwEnd) +
              ") and the trailer");
        return false;
    }
    return true;
}

int Verify(const std::string &path, bool list)
{
    std::vector<unsigned char> bytes;
    if (!ReadFile(path, &bytes))
        return 1;
    std::vector<Record> records;
    uint32_t offset = 0;
    uint64_t dataBytes = 0;
    bool ok = CheckSetup(path, bytes, &records, &offset, &dataBytes);
    if (list) {
        // name, directory, bytes: the manifest's last two fields and the size.
        for (const Record &r : records)
            printf("%s\t%s\t%u\n", r.name.c_str(), r.dir.c_str(), r.size);
    }
    if (!ok)
        return 1;
    if (!list)
        printf("%s: ok: %zu records, %llu bytes of data, payload at offset %u\n", path.c_str(), records.size(),
               (unsigned long long)dataBytes, offset);
    return 0;
}

// ---------------------------------------------------------------------------
// pack

struct Entry {
    int line;
    std::string source, dir, name;
};

std::string FolderOf(const std::string &path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string Lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

bool ReadManifest(const std::string &manifest, std::vector<Entry> *entries)
{
    std::vector<unsigned char> bytes;
    if (!ReadFile(manifest, &bytes))
        return false;
    std::string text(bytes.begin(), bytes.end());
    std::vector<std::string> targets;   // reduced and in lower case: names compare without case
    bool ok = true;
    size_t pos = 0;
    for (int line = 1; pos < text.size(); ++line) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string s = text.substr(pos, end - pos);
        pos = end + 1;
        if (!s.empty() && s.back() == '\r')
            s.pop_back();
        if (s.empty() || s[0] == '#')
            continue;
        std::string where = manifest + ":" + std::to_string(line) + ": ";
        std::vector<std::string> fields;
        size_t start = 0;
        for (;;) {
            size_t tab = s.find('\t', start);
            fields.push_back(s.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        if (fields.size() != 3 || fields[0].empty() || fields[1].empty()) {
            Error(where + "expected three TAB-separated fields: source, directory, name");
            ok = false;
            continue;
        }
        Entry e{line, fields[0], fields[1], fields[2]};
        if (e.name.size() >= PAYLOAD_CCH_TEXT || e.dir.size() >= PAYLOAD_CCH_TEXT) {
            Error(where + "a name or directory of 1024 bytes or more cannot be extracted");
            ok = false;
            continue;
        }
        if (e.name.find('\0') != std::string::npos || e.dir.find('\0') != std::string::npos ||
            CheckPayloadPath(e.dir.c_str(), e.name.c_str()) != 0) {
            Error(where + "\"" + e.dir + "\\" + e.name + "\" would leave the desktop directory or is no file name");
            ok = false;
            continue;
        }
        char target[PAYLOAD_CCH_TEXT];
        if (!BuildTargetPath(target, sizeof target, c_szBuiltInDesktopDir, e.dir.c_str(), e.name.c_str())) {
            Error(where + "the target path below \"" + c_szBuiltInDesktopDir + "\" is longer than 1023 characters");
            ok = false;
            continue;
        }
        std::string key = Lower(target);
        for (size_t i = 0; i < targets.size(); ++i) {
            if (targets[i] == key) {
                Error(where + "\"" + e.dir + "\\" + e.name + "\" is already in the payload (line " +
                      std::to_string((*entries)[i].line) + ")");
                ok = false;
            }
        }
        targets.push_back(key);
        entries->push_back(e);
    }
    if (ok && entries->empty()) {
        Error(manifest + ": names no files");
        ok = false;
    }
    return ok;
}

bool WriteWhole(const std::string &path, const std::vector<unsigned char> &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) {
        Error("cannot create " + path + ": " + strerror(errno));
        return false;
    }
    bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (fclose(f) == 0) && ok;
    if (!ok) {
        Error("cannot write " + path);
        remove(path.c_str());
    }
    return ok;
}

int Pack(const std::string &image, const std::string &manifest, const std::string &out, uint64_t padTo)
{
    std::vector<unsigned char> setup;
    if (!ReadFile(image, &setup))
        return 1;
    {
        // An image that already carries a payload would hide it behind the new one.
        MemorySource source(setup.data(), uint32_t(setup.size()));
        PayloadScan scan;
        if (ScanPayload(&source, nullptr, &scan, nullptr, nullptr) == PAYLOAD_COMPLETE && scan.cMoreLast == 0 &&
            scan.dwEnd == setup.size() - PAYLOAD_CB_TRAILER) {
            Error(image + ": already carries a payload (" + std::to_string(scan.cRecords) +
                  " records); pack the program image without one");
            return 1;
        }
    }

    std::vector<Entry> entries;
    if (!ReadManifest(manifest, &entries))
        return 1;
    if (padTo > kMaxSetupSize) {
        Error("--pad-to " + std::to_string(padTo) + ": a setup stays below 2 GB");
        return 1;
    }
    if (setup.size() < padTo)
        setup.resize(size_t(padTo), 0);

    const uint32_t payloadOffset = uint32_t(setup.size());
    VectorSink sink(&setup);
    std::string folder = FolderOf(manifest);
    uint64_t dataBytes = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry &e = entries[i];
        std::vector<unsigned char> data;
        if (!ReadFile(folder + e.source, &data))
            return 1;
        if (setup.size() + data.size() + 2 * PAYLOAD_CCH_TEXT + 64 > kMaxSetupSize) {
            Error(manifest + ":" + std::to_string(e.line) + ": the setup would pass 2 GB");
            return 1;
        }
        WritePayloadRecord(&sink, e.name.c_str(), e.dir.c_str(), data.data(), uint32_t(data.size()),
                           i + 1 < entries.size() ? 1 : 0);
        dataBytes += data.size();
    }
    WritePayloadTrailer(&sink, payloadOffset);

    // What goes out must read back as written.
    std::vector<Record> records;
    uint32_t offset = 0;
    uint64_t checkedBytes = 0;
    if (!CheckSetup(out, setup, &records, &offset, &checkedBytes) || records.size() != entries.size() ||
        offset != payloadOffset || checkedBytes != dataBytes) {
        Error(out + ": not written: the packed setup does not read back as packed");
        return 1;
    }

    std::string temp = out + ".tmp";
    if (!WriteWhole(temp, setup))
        return 1;
    remove(out.c_str());
    if (rename(temp.c_str(), out.c_str()) != 0) {
        Error("cannot rename " + temp + " to " + out + ": " + strerror(errno));
        remove(temp.c_str());
        return 1;
    }
    // A program stays a program: the image's permissions go to the setup.
    std::error_code ignored;
    std::filesystem::permissions(out, std::filesystem::status(image, ignored).permissions(), ignored);
    printf("%s: %zu records, %llu bytes of data, payload at offset %u\n", out.c_str(), entries.size(),
           (unsigned long long)dataBytes, payloadOffset);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 2 && (args[0] == "list" || args[0] == "verify"))
        return Verify(args[1], args[0] == "list");
    if (!args.empty() && args[0] == "pack") {
        std::string image, manifest, out;
        uint64_t padTo = 0;
        bool ok = true;
        for (size_t i = 1; i < args.size() && ok; i += 2) {
            ok = i + 1 < args.size();
            if (!ok)
                break;
            if (args[i] == "--image")
                image = args[i + 1];
            else if (args[i] == "--manifest")
                manifest = args[i + 1];
            else if (args[i] == "--out")
                out = args[i + 1];
            else if (args[i] == "--pad-to") {
                char *end = nullptr;
                padTo = strtoull(args[i + 1].c_str(), &end, 10);
                ok = !args[i + 1].empty() && *end == '\0';
            } else
                ok = false;
        }
        if (ok && !image.empty() && !manifest.empty() && !out.empty())
            return Pack(image, manifest, out, padTo);
    }
    fputs(kUsage, stderr);
    return 2;
}
