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
// always put it). The end of that padding takes the checksum block, a CRC-32
// of each record's data (payload.h), when it has room for it; `verify` and
// `list` check every record against it (`list` prints each record's name,
// directory, size and that CRC).
//
// Exit status: 0 done; 1 a damaged or payload-less setup, or an input that
// cannot be packed; 2 wrong usage.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif
#ifdef __linux__
#include <condition_variable>
#include <mutex>
#include <thread>
#endif
#ifndef O_BINARY
#define O_BINARY 0
#endif

#include "extract/crc32.h"
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

// A setup read from its file as the program reads it, through the window
// (the counts and texts come through it, the data is skipped rather than
// loaded).
class FileSource : public WindowedSource {
public:
    FileSource(int fd, uint32_t cb) : fd_(fd), cb_(cb) {}
    bool SeekFromEnd(uint32_t cbBack) override { return cbBack <= cb_ && SeekTo(cb_ - cbBack); }
    uint32_t Size() override { return cb_; }

protected:
    uint32_t ReadAt(uint32_t dwOffset, void *pv, uint32_t cb) override
    {
        if (dwOffset >= cb_)
            return 0;
        int64_t n = ::ReadAt(fd_, dwOffset, pv, std::min<uint32_t>(cb, cb_ - dwOffset));
        return n > 0 ? uint32_t(n) : 0;
    }

private:
    int fd_;
    uint32_t cb_;
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
    // be read or has fewer (errno then tells why). With crc, the bytes pass
    // through here and *crc gets their CRC-32; without, the kernel may copy
    // them between the files. Each piece is handed to written (its offset in
    // this file and its size) once it is in the file.
    using Written = std::function<void(uint64_t offset, uint64_t size)>;
    bool Append(const std::string &path, uint64_t size, uint32_t *crc, const Written &written)
    {
        int in = open(path.c_str(), O_RDONLY | O_BINARY);
        if (in < 0)
            return false;
        bool ok = Flush();
        uint64_t copied = 0;
#ifdef __linux__
        while (ok && crc == nullptr && copied < size) {
            ssize_t n = copy_file_range(in, nullptr, fd_, nullptr, size_t(std::min<uint64_t>(size - copied, kCopy)), 0);
            if (n <= 0)
                break;
            if (written)
                written(offset_, uint64_t(n));
            copied += uint64_t(n);
            offset_ += uint64_t(n);
        }
#endif
        if (crc != nullptr)
            *crc = 0;
        while (ok && copied < size) {
            buffer_.resize(size - copied < kPiece ? size_t(size - copied) : kPiece);
            int64_t n = read(in, buffer_.data(), unsigned(buffer_.size()));
            if (n <= 0) {
                buffer_.clear();
                errno = n == 0 ? EIO : errno;
                ok = false;
                break;
            }
            buffer_.resize(size_t(n));
            if (crc != nullptr)
                *crc = Crc32Update(*crc, buffer_.data(), buffer_.size());
            copied += uint64_t(n);
            const uint64_t at = offset_;
            ok = Flush();
            if (ok && written)
                written(at, uint64_t(n));
        }
        close(in);
        return ok;
    }
    // Moves on to write over what was written at offset (the padding, for
    // the checksum block, once the records are known).
    bool Seek(uint64_t offset)
    {
        offset_ = offset;
#ifdef _WIN32
        return Flush() && _lseeki64(fd_, int64_t(offset), SEEK_SET) >= 0;
#else
        return Flush() && lseek(fd_, off_t(offset), SEEK_SET) >= 0;
#endif
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
    // A file's data goes through in pieces that stay in the processor's
    // cache between the read, the CRC and the write; the kernel copies
    // pieces of 8 MiB, so that their CRCs are taken while it copies on.
    static const size_t kPiece = 256 << 10;
    static const uint64_t kCopy = 8 << 20;
    bool Flush()
    {
        size_t done = 0;
        while (done < buffer_.size()) {
            int64_t n = write(fd_, buffer_.data() + done, unsigned(buffer_.size() - done));
            if (n <= 0)
                return false;
            done += size_t(n);
        }
        offset_ += buffer_.size();
        buffer_.clear();
        return true;
    }
    int fd_ = -1;
    uint64_t offset_ = 0;   // of the file, where the buffer goes
    std::vector<unsigned char> buffer_;
};

#ifdef __linux__
// The CRC-32 of each record's data, read back from the setup as written, on a
// thread of its own while the kernel copies the next files into it: the CRCs
// are those of the bytes in the setup, and the copies do not wait for them.
class WrittenCrcs {
public:
    explicit WrittenCrcs(const std::string &path) : fd_(open(path.c_str(), O_RDONLY)), ok_(fd_ >= 0) {}
    ~WrittenCrcs()
    {
        Finish(nullptr, 0);
        if (fd_ >= 0)
            close(fd_);
    }
    // The next piece of record `record`'s data, in order: size bytes at
    // offset, written already.
    void Add(size_t record, uint64_t offset, uint64_t size)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            jobs_.push_back({record, offset, size});
        }
        ready_.notify_one();
    }
    // Waits for the CRCs of the data added, for records 0 to count - 1 (0
    // for one without data); false when a piece could not be read.
    bool Finish(std::vector<uint32_t> *crcs, size_t count)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            added_ = true;
        }
        ready_.notify_one();
        if (thread_.joinable())
            thread_.join();
        if (crcs != nullptr) {
            *crcs = crcs_;
            crcs->resize(count, 0);
        }
        return ok_;
    }

private:
    struct Job {
        size_t record;
        uint64_t offset, size;
    };
    void Run()
    {
        std::vector<unsigned char> buffer(256 << 10);
        for (size_t next = 0;; ++next) {
            Job job;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                ready_.wait(lock, [&] { return next < jobs_.size() || added_; });
                if (next == jobs_.size())
                    return;
                job = jobs_[next];
            }
            if (crcs_.size() <= job.record)
                crcs_.resize(job.record + 1, 0);
            uint32_t &crc = crcs_[job.record];
            for (uint64_t done = 0; ok_ && done < job.size;) {
                ssize_t n = pread(fd_, buffer.data(), size_t(std::min<uint64_t>(buffer.size(), job.size - done)),
                                  off_t(job.offset + done));
                ok_ = n > 0;
                if (ok_) {
                    crc = Crc32Update(crc, buffer.data(), size_t(n));
                    done += uint64_t(n);
                }
            }
        }
    }

    int fd_;
    bool ok_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<Job> jobs_;
    bool added_ = false;
    std::vector<uint32_t> crcs_;   // the caller reads them once the thread has ended
    std::thread thread_{&WrittenCrcs::Run, this};   // last: starts once the rest is made
};
#endif

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
    uint32_t crc;   // the checksum block's for it, when there is one
};

struct Checked {
    std::vector<Record> records;   // the records read whole
    uint32_t payloadOffset = 0;
    uint64_t dataBytes = 0;
    bool checksums = false;        // the setup has a checksum block
};

// Reads the payload as the setup program does and says what is wrong with it,
// if anything. With checkData, each record's data is checked against the
// checksum block, if there is one, before it counts as read.
bool CheckSetup(const std::string &path, ByteSource *source, Checked *checked, bool checkData)
{
    // Joined paths are checked below the built-in desktop directory.
    PayloadWalker walk(source, c_szBuiltInDesktopDir);
    while (walk.Next() == PAYLOAD_RECORD && (!checkData || walk.SourceMatchesChecksum())) {
        const PayloadRecordInfo &info = walk.Record();
        Record r = {info.szName, info.szDir, info.cbData, info.dwOffset, 0};
        if (walk.Scan().fChecksums && !walk.StoredChecksum(info.iRecord, &r.crc))
            break;   // the block was read whole a moment ago
        checked->records.push_back(r);
        checked->dataBytes += r.size;
    }
    const PayloadScan &scan = walk.Scan();
    checked->payloadOffset = scan.dwOffset;
    checked->checksums = scan.fChecksums;

    const uint32_t size = source->Size();
    const PayloadRecordInfo &last = walk.Record();
    const std::string record = "record " + std::to_string(last.iRecord) + " (" + last.szName + " in " + last.szDir + ")";
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
        if (scan.shortRead == PAYLOAD_BAD_CHECKSUM)
            Error(path + ": damaged: the data of " + record + " does not match its checksum");
        else if (scan.shortRead == PAYLOAD_BAD_RECORD_COUNT)
            Error(path + ": damaged: the payload ends after " + std::to_string(scan.chain.cPayload) +
                  " records, but its checksum block counts " + std::to_string(scan.cChecksums));
        else if (scan.shortRead == PAYLOAD_SHORT_DATA)
            Error(path + ": cannot read the data of " + record);
        else if (scan.dwOffset == 0)
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
    case PAYLOAD_RECORD:
        Error(path + ": cannot read the checksum of " + record);
        return false;
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
    Checked checked;
    bool ok = CheckSetup(path, &source, &checked, true);
    close(fd);
    if (list) {
        // name, directory, bytes: the manifest's last two fields and the
        // size; then the CRC-32 of the data from the checksum block, or "-".
        for (const Record &r : checked.records) {
            char crc[16] = "-";
            if (checked.checksums)
                snprintf(crc, sizeof crc, "%08x", r.crc);
            printf("%s\t%s\t%u\t%s\n", r.name.c_str(), r.dir.c_str(), r.size, crc);
        }
    }
    if (!ok)
        return 1;
    if (!list)
        printf("%s: ok: %zu records, %llu bytes of data, payload at offset %u, %s\n", path.c_str(),
               checked.records.size(), (unsigned long long)checked.dataBytes, checked.payloadOffset,
               checked.checksums ? "each matches its checksum" : "no checksum block");
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
    const uint64_t imageSize = setup.size();
    if (setup.size() < padTo)
        setup.resize(size_t(padTo), 0);
    const uint32_t payloadOffset = uint32_t(setup.size());
    // The checksum block goes at the end of the padding, if it has room.
    const uint64_t blockSize = PAYLOAD_CB_CHECKSUMS(entries.size());
    const bool checksums = payloadOffset - imageSize >= blockSize;

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
    std::vector<uint32_t> crcs(entries.size());
#ifdef __linux__
    WrittenCrcs written(temp);
#endif
    for (size_t i = 0; i < entries.size() && ok; ++i) {
        const ManifestRecord &e = entries[i];
        const uint8_t cMore = i + 1 < entries.size() ? 1 : 0;
        ok = WritePayloadRecordHead(&file, e.name.c_str(), e.dir.c_str(), sizes[i]);
#ifdef __linux__
        uint32_t *crc = nullptr;
        OutFile::Written piece = [&](uint64_t at, uint64_t size) { written.Add(i, at, size); };
#else
        uint32_t *crc = &crcs[i];
        OutFile::Written piece;
#endif
        if (ok && !file.Append(folder + e.source, sizes[i], crc, piece)) {
            Error("cannot copy " + std::to_string(sizes[i]) + " bytes of " + folder + e.source + " into " + temp +
                  ": " + strerror(errno));
            file.Close();
            remove(temp.c_str());
            return 1;
        }
        ok = ok && file.Write(&cMore, 1);
    }
#ifdef __linux__
    ok = written.Finish(&crcs, entries.size()) && ok;
#endif
    ok = ok && WritePayloadTrailer(&file, payloadOffset);
    if (ok && checksums)
        ok = file.Seek(payloadOffset - blockSize) && WritePayloadChecksums(&file, crcs.data(), uint32_t(crcs.size()));
    if (!file.Close() || !ok) {
        Error("cannot write " + temp);
        remove(temp.c_str());
        return 1;
    }

    // What goes out must read back as written: every record's head, and the
    // checksum block with its count and its own CRC. (The data is not read
    // again: its CRCs were taken from the bytes written.)
    Checked checked;
    uint32_t size = 0;
    int fd = OpenSized(temp, &size);
    if (fd >= 0) {
        FileSource source(fd, size);
        ok = CheckSetup(out, &source, &checked, false) && checked.records.size() == entries.size() &&
             checked.payloadOffset == payloadOffset && checked.dataBytes == dataBytes && size == total &&
             checked.checksums == checksums;
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
    if (checksums)
        printf("%s: checksum block of %llu bytes before the payload\n", out.c_str(), (unsigned long long)blockSize);
    else
        printf("%s: no checksum block: it needs %llu bytes before the payload, the image leaves %llu "
               "(--pad-to makes room)\n",
               out.c_str(), (unsigned long long)blockSize, (unsigned long long)(payloadOffset - imageSize));
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
