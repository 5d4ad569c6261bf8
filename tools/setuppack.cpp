// setuppack: makes a release of the setup program by appending the payload
// to the program image, and lists or verifies the payload of a setup.
//
//   setuppack pack --image IMAGE --manifest MANIFEST --out SETUP [--pad-to BYTES]
//   setuppack list SETUP
//   setuppack verify SETUP
//   setuppack manifest MANIFEST
//
// The manifest names the files in install order, one record per line with
// three TAB-separated fields: the source file (relative to the manifest's
// folder), the directory in the payload (backslashes, "." for the root) and
// the file name; manifest.h has the whole format. `manifest` prints its
// records as read and checked, one a line, for scripts and CMake, which ask
// the tool rather than read the file themselves.
// --pad-to fills a smaller image with zero bytes up to that size, so that the
// payload starts at the same offset whatever the build (the build pads to
// SETUP_PAYLOAD_OFFSET of cmake/SetupCommon.cmake, where the releases have
// always put it).
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

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif
#ifndef O_BINARY
#define O_BINARY 0
#endif

#include "extract/payload.h"
#include "manifest.h"
#include "settings/desktop_dir.h"

namespace {

const char kUsage[] =
    "usage: setuppack pack --image IMAGE --manifest MANIFEST --out SETUP [--pad-to BYTES]\n"
    "       setuppack list SETUP\n"
    "       setuppack verify SETUP\n"
    "       setuppack manifest MANIFEST\n";

const uint64_t kMaxSetupSize = PAYLOAD_CB_MAX_SETUP;
const char kTooLarge[] = "larger than 4 GB - 1 byte";

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
            Error(path + ": " + kTooLarge);
            return false;
        }
    }
    bool ok = !ferror(f);
    fclose(f);
    if (!ok)
        Error("cannot read " + path);
    return ok;
}

int64_t ReadAt(int fd, uint64_t offset, void *pv, size_t cb)
{
#ifdef _WIN32
    if (_lseeki64(fd, int64_t(offset), SEEK_SET) < 0)
        return -1;
    return read(fd, pv, unsigned(cb));
#else
    return pread(fd, pv, cb, off_t(offset));
#endif
}

// A setup read from its file, as the program reads it: seeks and small reads
// (the counts and texts come through a small window), the data skipped
// rather than loaded.
class FileSource : public ByteSource {
public:
    FileSource(int fd, uint32_t cb) : fd_(fd), cb_(cb) {}
    bool SeekTo(uint32_t dwOffset) override
    {
        pos_ = dwOffset;
        return true;
    }
    bool SeekFromEnd(uint32_t cbBack) override { return cbBack <= cb_ && SeekTo(cb_ - cbBack); }
    uint32_t Read(void *pv, uint32_t cb) override
    {
        unsigned char *pb = static_cast<unsigned char *>(pv);
        uint32_t done = 0;
        while (done < cb && pos_ < cb_) {
            if (pos_ < windowAt_ || pos_ >= windowAt_ + windowSize_) {
                // Large reads go straight to the caller.
                if (cb - done >= sizeof window_) {
                    int64_t n = ReadAt(fd_, pos_, pb + done, cb - done);
                    if (n <= 0)
                        break;
                    done += uint32_t(n);
                    pos_ += uint32_t(n);
                    continue;
                }
                int64_t n = ReadAt(fd_, pos_, window_, sizeof window_);
                if (n <= 0)
                    break;
                windowAt_ = pos_;
                windowSize_ = uint32_t(n);
            }
            uint32_t avail = windowAt_ + windowSize_ - pos_;
            uint32_t take = cb - done < avail ? cb - done : avail;
            memcpy(pb + done, window_ + (pos_ - windowAt_), take);
            done += take;
            pos_ += take;
        }
        return done;
    }
    uint32_t Size() override { return cb_; }

private:
    int fd_;
    uint32_t cb_;
    uint32_t pos_ = 0;
    uint32_t windowAt_ = 0, windowSize_ = 0;
    unsigned char window_[4096];
};

// Opens a file for reading and tells its size; a message when it cannot, or
// when it is larger than a setup can be.
int OpenSized(const std::string &path, uint32_t *size)
{
    int fd = open(path.c_str(), O_RDONLY | O_BINARY);
    if (fd < 0) {
        Error("cannot open " + path + ": " + strerror(errno));
        return -1;
    }
#ifdef _WIN32
    int64_t end = _lseeki64(fd, 0, SEEK_END);
#else
    int64_t end = lseek(fd, 0, SEEK_END);
#endif
    if (end < 0 || uint64_t(end) > kMaxSetupSize) {
        Error(path + ": " + kTooLarge);
        close(fd);
        return -1;
    }
    *size = uint32_t(end);
    return fd;
}

// The setup being written: buffered writes, and whole files appended to it.
class OutFile : public ByteSink {
public:
    ~OutFile()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    bool Create(const std::string &path)
    {
        fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_BINARY, 0666);
        return fd_ >= 0;
    }
    bool Write(const void *pv, uint32_t cb) override
    {
        const unsigned char *pb = static_cast<const unsigned char *>(pv);
        buffer_.insert(buffer_.end(), pb, pb + cb);
        return buffer_.size() < kBuffer || Flush();
    }
    // Appends the first size bytes of the file at path; false when it cannot
    // be read or has fewer (errno then tells why).
    bool Append(const std::string &path, uint64_t size)
    {
        int in = open(path.c_str(), O_RDONLY | O_BINARY);
        if (in < 0)
            return false;
        bool ok = Flush();
        uint64_t copied = 0;
#ifdef __linux__
        // The kernel copies between the files where the file systems allow it.
        while (ok && copied < size) {
            ssize_t n = copy_file_range(in, nullptr, fd_, nullptr, size_t(size - copied), 0);
            if (n <= 0)
                break;
            copied += uint64_t(n);
        }
#endif
        while (ok && copied < size) {
            buffer_.resize(size - copied < kBuffer ? size_t(size - copied) : kBuffer);
            int64_t n = read(in, buffer_.data(), unsigned(buffer_.size()));
            if (n <= 0) {
                buffer_.clear();
                errno = n == 0 ? EIO : errno;
                ok = false;
                break;
            }
            buffer_.resize(size_t(n));
            copied += uint64_t(n);
            ok = Flush();
        }
        close(in);
        return ok;
    }
    bool Close()
    {
        bool ok = Flush();
        ok = close(fd_) == 0 && ok;
        fd_ = -1;
        return ok;
    }

private:
    static const size_t kBuffer = 1 << 20;
    bool Flush()
    {
        size_t done = 0;
        while (done < buffer_.size()) {
            int64_t n = write(fd_, buffer_.data() + done, unsigned(buffer_.size() - done));
            if (n <= 0)
                return false;
            done += size_t(n);
        }
        buffer_.clear();
        return true;
    }
    int fd_ = -1;
    std::vector<unsigned char> buffer_;
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
bool CheckSetup(const std::string &path, ByteSource *source, std::vector<Record> *records, uint32_t *payloadOffset,
                uint64_t *dataBytes)
{
    PayloadScan scan;
    // Joined paths are checked below the built-in desktop directory.
    ScanPayload(source, c_szBuiltInDesktopDir, &scan, CollectRecord, records);
    *payloadOffset = scan.dwOffset;
    *dataBytes = 0;
    for (const Record &r : *records)
        *dataBytes += r.size;

    const uint32_t size = source->Size();
    switch (scan.result) {
    case PAYLOAD_NO_TAIL:
        Error(path + ": no payload: the file has only " + std::to_string(size) + " bytes");
        return false;
    case PAYLOAD_NO_MARK: {
        unsigned char mark = 0;
        source->SeekFromEnd(PAYLOAD_CB_TAIL);
        source->Read(&mark, 1);
        Error(path + ": no payload: the byte at offset " + std::to_string(size - PAYLOAD_CB_TAIL) + " (size - 5) is " +
              Hex(mark) + ", not 0");
        return false;
    }
    case PAYLOAD_BAD_OFFSET:
        Error(path + ": damaged: the trailer's offset " + std::to_string(scan.dwOffset) + " cannot be reached");
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
    case PAYLOAD_RECORD:
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
    uint32_t size = 0;
    int fd = OpenSized(path, &size);
    if (fd < 0)
        return 1;
    FileSource source(fd, size);
    std::vector<Record> records;
    uint32_t offset = 0;
    uint64_t dataBytes = 0;
    bool ok = CheckSetup(path, &source, &records, &offset, &dataBytes);
    close(fd);
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

// Reads the manifest with the one reader (manifest.h); a message for each
// problem.
bool ReadManifestOrSay(const std::string &manifest, std::vector<ManifestRecord> *records)
{
    std::vector<std::string> errors;
    bool ok = ReadManifest(manifest, records, &errors);
    for (const std::string &e : errors)
        Error(e);
    return ok;
}

// Prints the manifest's records as read and checked (source, directory, name;
// TAB-separated, one a line), for the scripts and CMake.
int PrintManifest(const std::string &manifest)
{
    std::vector<ManifestRecord> records;
    if (!ReadManifestOrSay(manifest, &records))
        return 1;
    for (const ManifestRecord &r : records)
        printf("%s\t%s\t%s\n", r.source.c_str(), r.dir.c_str(), r.name.c_str());
    return 0;
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

    std::vector<ManifestRecord> entries;
    if (!ReadManifestOrSay(manifest, &entries))
        return 1;
    if (padTo > kMaxSetupSize) {
        Error("--pad-to " + std::to_string(padTo) + ": a setup stays below 4 GB");
        return 1;
    }
    if (setup.size() < padTo)
        setup.resize(size_t(padTo), 0);
    const uint32_t payloadOffset = uint32_t(setup.size());

    // Every source is there and the setup stays below 4 GB, before anything
    // is written.
    std::string folder = ManifestFolder(manifest);
    std::vector<uint32_t> sizes;
    uint64_t total = setup.size() + PAYLOAD_CB_TRAILER, dataBytes = 0;
    for (const ManifestRecord &e : entries) {
        std::error_code ec;
        uint64_t size = std::filesystem::file_size(folder + e.source, ec);
        if (ec) {
            Error("cannot open " + folder + e.source + ": " + ec.message());
            return 1;
        }
        total += PAYLOAD_CB_MIN_RECORD + e.name.size() + e.dir.size() + size;
        if (total > kMaxSetupSize) {
            Error(manifest + ":" + std::to_string(e.line) + ": the setup would pass 4 GB - 1 byte");
            return 1;
        }
        sizes.push_back(uint32_t(size));
        dataBytes += size;
    }

    // Written beside the setup, read back, and only then put in its place.
    std::string temp = out + ".tmp";
    OutFile file;
    if (!file.Create(temp)) {
        Error("cannot create " + temp + ": " + strerror(errno));
        return 1;
    }
    bool ok = file.Write(setup.data(), uint32_t(setup.size()));
    for (size_t i = 0; i < entries.size() && ok; ++i) {
        const ManifestRecord &e = entries[i];
        const uint8_t cMore = i + 1 < entries.size() ? 1 : 0;
        ok = WritePayloadRecordHead(&file, e.name.c_str(), e.dir.c_str(), sizes[i]);
        if (ok && !file.Append(folder + e.source, sizes[i])) {
            Error("cannot copy " + std::to_string(sizes[i]) + " bytes of " + folder + e.source + " into " + temp +
                  ": " + strerror(errno));
            file.Close();
            remove(temp.c_str());
            return 1;
        }
        ok = ok && file.Write(&cMore, 1);
    }
    ok = ok && WritePayloadTrailer(&file, payloadOffset);
    if (!file.Close() || !ok) {
        Error("cannot write " + temp);
        remove(temp.c_str());
        return 1;
    }

    // What goes out must read back as written.
    std::vector<Record> records;
    uint32_t offset = 0, size = 0;
    uint64_t checkedBytes = 0;
    int fd = OpenSized(temp, &size);
    if (fd >= 0) {
        FileSource source(fd, size);
        ok = CheckSetup(out, &source, &records, &offset, &checkedBytes) && records.size() == entries.size() &&
             offset == payloadOffset && checkedBytes == dataBytes && size == total;
        close(fd);
    }
    if (fd < 0 || !ok) {
        Error(out + ": not written: the packed setup does not read back as packed");
        remove(temp.c_str());
        return 1;
    }

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
    if (args.size() == 2 && args[0] == "manifest")
        return PrintManifest(args[1]);
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
