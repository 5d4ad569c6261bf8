// The Windows side of scripts/bench, run under Wine. One measurement per run,
// printed as key=value lines; scripts/bench repeats and interleaves them.
//
//   bench_runner copy MANIFEST DEST
//       copies the manifest's files, file by file with CopyFileA, to
//       DEST\directory\name (each directory created once, when first met);
//       the time covers the directories and the copies, not the manifest.
//   bench_runner floor MANIFEST SETUP DEST
//       the extraction's own work in a plain loop, the floor it cannot go
//       below: copies SETUP and the readme.doc beside it into DEST with
//       CopyFileA, as the program does, then for each file of the manifest
//       in turn creates DEST\directory\name, allocates a block of the file's
//       size, reads the file's record data into it from SETUP, where the
//       program reads it (the offsets found with the payload reader before
//       the clock starts), checks its CRC-32 against the record's (taken
//       before the clock starts too), writes it, frees the block and closes
//       the file. Directories as for copy; the time covers all of it.
//   bench_runner floor-reuse MANIFEST SETUP DEST
//       the floor with one block of the largest file's size, allocated when
//       the clock starts and used for every file: what the floor spends on
//       the first touch of each fresh block is the difference.
//   bench_runner extract SETUP DESKTOPDIR REPORT
//       starts SETUP (bench_extract.exe with a payload), waits for it to end
//       and prints its report.
//   bench_runner memory SETUP DESKTOPDIR REPORT
//       the same, and samples the process's memory from outside every
//       millisecond until it ends (a run of its own: the sampling takes
//       processor time from the extraction).
//   bench_runner startup EXE CLASS
//       starts EXE shown normally and times process start to the first time
//       its thread waits for input (WaitForInputIdle): by then the program
//       has created, shown and painted its window (UpdateWindow) and
//       handled what it posted itself. When a visible window of CLASS is not
//       yet up with nothing left to paint then, the time is that of the first
//       moment it is (looked for every millisecond). Ends the program.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "extract/crc32.h"
#include "extract/payload.h"
#include "manifest.h"

namespace {

double Now()
{
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return double(t.QuadPart) / double(f.QuadPart);
}

int Fail(const std::string &what)
{
    fprintf(stderr, "bench_runner: %s (error %lu)\n", what.c_str(), GetLastError());
    return 1;
}

// A setup read with the program's reader of its own file: through the window.
class SetupSource : public WindowedSource {
public:
    explicit SetupSource(HANDLE hFile) : hFile_(hFile) {}
    bool SeekFromEnd(uint32_t cbBack) override { return cbBack <= Size() && SeekTo(Size() - cbBack); }
    uint32_t Size() override { return GetFileSize(hFile_, NULL); }

protected:
    uint32_t ReadAt(uint32_t dwOffset, void *pv, uint32_t cb) override
    {
        DWORD got = 0;
        if (SetFilePointer(hFile_, LONG(dwOffset), NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
            !ReadFile(hFile_, pv, cb, &got, NULL))
            return 0;
        return got;
    }

private:
    HANDLE hFile_;
};

struct RecordData {
    uint32_t offset, size, crc;
};

void CreateTree(const std::string &path)
{
    for (size_t i = 1; i < path.size(); ++i)
        if (path[i] == '\\')
            CreateDirectoryA(path.substr(0, i).c_str(), NULL);
    CreateDirectoryA(path.c_str(), NULL);
}

// The floor's work for one file, step for step as the program extracts a
// record: target, block, read, check, write, free, close. With a block
// (floor-reuse) the file goes through it instead of a fresh one.
bool AllocateReadWrite(HANDLE hData, const RecordData &record, const std::string &target, void *pvBlock)
{
    HANDLE hOut = CreateFileA(target.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hOut == INVALID_HANDLE_VALUE)
        return false;
    const DWORD cb = record.size;
    void *pv = pvBlock ? pvBlock : malloc(cb != 0 ? cb : 1);
    DWORD dwRead = 0, dwWritten = 0;
    bool ok = pv && SetFilePointer(hData, LONG(record.offset), NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
              ReadFile(hData, pv, cb, &dwRead, NULL) && dwRead == cb && Crc32Update(0, pv, cb) == record.crc &&
              WriteFile(hOut, pv, cb, &dwWritten, NULL) && dwWritten == cb;
    if (!pvBlock)
        free(pv);
    return CloseHandle(hOut) && ok;
}

// bench_runner copy; with SETUP, bench_runner floor (floor-reuse with reuse).
int Copy(const std::string &manifest, const std::string &dest, const std::string &setup = "", bool reuse = false)
{
    std::vector<ManifestRecord> records;
    std::vector<std::string> errors;
    if (!ReadManifest(manifest, &records, &errors))
        return Fail(errors.empty() ? "cannot read " + manifest : errors.front());
    std::string folder = ManifestFolder(manifest);
    struct Entry {
        std::string source, dir, target;
    };
    std::vector<Entry> entries;
    for (const ManifestRecord &r : records) {
        Entry e{folder + r.source, r.dir == "." ? dest : dest + "\\" + r.dir, ""};
        for (char &c : e.source)
            if (c == '/')
                c = '\\';
        e.target = e.dir + "\\" + r.name;
        entries.push_back(e);
    }

    bool isFloor = !setup.empty();
    std::vector<RecordData> data;
    HANDLE hData = INVALID_HANDLE_VALUE;
    if (isFloor) {
        hData = CreateFileA(setup.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            NULL);
        if (hData == INVALID_HANDLE_VALUE)
            return Fail("cannot open " + setup);
        // Where each record's data lies and its CRC-32, from the program's
        // reader, which checks each record's data against it on the way.
        SetupSource source(hData);
        PayloadWalker walk(&source, "C:\\floor");
        while (walk.Next() == PAYLOAD_RECORD) {
            const PayloadRecordInfo &info = walk.Record();
            RecordData r = {info.dwDataOffset, info.cbData, 0};
            if (!walk.SourceMatchesChecksum() || !walk.StoredChecksum(info.iRecord, &r.crc))
                break;
            data.push_back(r);
        }
        if (walk.Scan().result != PAYLOAD_COMPLETE || data.size() != entries.size())
            return Fail("the payload of " + setup + " is not the manifest's, with its checksum block");
    }

    double t0 = Now();
    std::set<std::string> made;
    unsigned long long bytes = 0;
    void *pvBlock = NULL;
    if (reuse) {
        uint32_t largest = 1;
        for (const RecordData &r : data)
            largest = std::max(largest, r.size);
        pvBlock = malloc(largest);
        if (!pvBlock)
            return Fail("cannot allocate the block");
    }
    if (isFloor) {
        std::string setupDir = setup.substr(0, setup.find_last_of('\\') + 1);
        CreateTree(dest);
        if (!CopyFileA(setup.c_str(), (dest + "\\setup.exe").c_str(), FALSE) ||
            !CopyFileA((setupDir + "readme.doc").c_str(), (dest + "\\readme.doc").c_str(), FALSE))
            return Fail("CopyFileA " + setup + " or its readme.doc -> " + dest);
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry &e = entries[i];
        if (made.insert(e.dir).second)
            CreateTree(e.dir);
        bool ok = isFloor ? AllocateReadWrite(hData, data[i], e.target, pvBlock)
                          : CopyFileA(e.source.c_str(), e.target.c_str(), FALSE) != 0;
        if (!ok)
            return Fail((isFloor ? "allocate, read, write " : "CopyFileA ") + e.source + " -> " + e.target);
    }
    free(pvBlock);
    double t1 = Now();
    if (isFloor)
        CloseHandle(hData);
    for (const Entry &e : entries) {
        WIN32_FILE_ATTRIBUTE_DATA fad;
        if (GetFileAttributesExA(e.target.c_str(), GetFileExInfoStandard, &fad))
            bytes += (unsigned long long)fad.nFileSizeHigh << 32 | fad.nFileSizeLow;
    }
    printf("files=%zu\nbytes=%llu\nseconds=%.6f\n", entries.size(), bytes, t1 - t0);
    return 0;
}

int Extract(const std::string &setup, const std::string &desktop, const std::string &report, bool sample)
{
    SetEnvironmentVariableA("SETUP_BENCH_DESKTOP_DIR", desktop.c_str());
    SetEnvironmentVariableA("SETUP_BENCH_REPORT", report.c_str());
    DeleteFileA(report.c_str());
    std::string cmd = "\"" + setup + "\"";
    std::vector<char> buf(cmd.begin(), cmd.end());
    buf.push_back('\0');
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string dir = setup.substr(0, setup.find_last_of('\\'));
    if (!CreateProcessA(setup.c_str(), buf.data(), NULL, NULL, FALSE, 0, NULL, dir.c_str(), &si, &pi))
        return Fail("cannot start " + setup);
    CloseHandle(pi.hThread);
    if (!sample)
        WaitForSingleObject(pi.hProcess, INFINITE);
    // Private bytes (under Wine: the process's anonymous resident memory)
    // and the working set, sampled until the process has ended.
    SIZE_T peakPrivate = 0, peakWorkingSet = 0;
    unsigned samples = 0;
    while (sample) {
        PROCESS_MEMORY_COUNTERS_EX pmc = {};
        pmc.cb = sizeof pmc;
        if (GetProcessMemoryInfo(pi.hProcess, (PROCESS_MEMORY_COUNTERS *)&pmc, sizeof pmc)) {
            ++samples;
            SIZE_T priv = pmc.PrivateUsage > pmc.PagefileUsage ? pmc.PrivateUsage : pmc.PagefileUsage;
            if (priv > peakPrivate)
                peakPrivate = priv;
            if (pmc.PeakWorkingSetSize > peakWorkingSet)
                peakWorkingSet = pmc.PeakWorkingSetSize;
        }
        if (WaitForSingleObject(pi.hProcess, 1) != WAIT_TIMEOUT)
            break;
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    printf("exit=%lu\n", code);
    if (sample)
        printf("samples=%u\nprivate_peak_sampled=%llu\nworking_set_peak=%llu\n", samples,
               (unsigned long long)peakPrivate, (unsigned long long)peakWorkingSet);
    FILE *f = fopen(report.c_str(), "rb");
    if (!f)
        return Fail("no report from " + setup);
    char line[256];
    while (fgets(line, sizeof line, f))
        fputs(line, stdout);
    fclose(f);
    return code == 0 ? 0 : 1;
}

struct Find {
    DWORD pid;
    const char *cls;
    HWND found;
};

BOOL CALLBACK FindWindowOf(HWND hwnd, LPARAM lParam)
{
    Find *find = reinterpret_cast<Find *>(lParam);
    DWORD pid = 0;
    char cls[256];
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == find->pid && IsWindowVisible(hwnd) && GetClassNameA(hwnd, cls, sizeof cls) &&
        strcmp(cls, find->cls) == 0) {
        find->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// The visible window of CLASS that pid shows, with nothing left to paint.
bool Painted(DWORD pid, const std::string &cls)
{
    Find find = {pid, cls.c_str(), NULL};
    EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&find));
    return find.found && !GetUpdateRect(find.found, NULL, FALSE);
}

int Startup(const std::string &exe, const std::string &cls)
{
    std::string cmd = "\"" + exe + "\"";
    std::vector<char> buf(cmd.begin(), cmd.end());
    buf.push_back('\0');
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi = {};
    std::string dir = exe.substr(0, exe.find_last_of('\\'));
    double t0 = Now();
    if (!CreateProcessA(exe.c_str(), buf.data(), NULL, NULL, FALSE, 0, NULL, dir.c_str(), &si, &pi))
        return Fail("cannot start " + exe);
    DWORD idle = WaitForInputIdle(pi.hProcess, 20000);
    double t1 = Now();
    // Wine sets a process's idle event whenever its thread looks for a
    // message and finds none, also inside calls made before the window is
    // painted: the end is then the first moment the window is up and painted,
    // looked for every millisecond.
    bool painted = Painted(pi.dwProcessId, cls);
    double tIdle = t1;
    while (!painted && t1 - t0 < 20.0 && WaitForSingleObject(pi.hProcess, 1) == WAIT_TIMEOUT) {
        painted = Painted(pi.dwProcessId, cls);
        t1 = Now();
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(pi.hProcess, &code);
    TerminateProcess(pi.hProcess, 0);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    printf("idle=%lu\nidle_ms=%.3f\n", idle, (tIdle - t0) * 1000.0);
    if (!painted)
        return Fail("no painted " + cls + " window of " + exe + (code == STILL_ACTIVE ? " within 20 s" : " before it ended"));
    printf("ms=%.3f\n", (t1 - t0) * 1000.0);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() == 3 && a[0] == "copy")
        return Copy(a[1], a[2]);
    if (a.size() == 4 && (a[0] == "floor" || a[0] == "floor-reuse"))
        return Copy(a[1], a[3], a[2], a[0] == "floor-reuse");
    if (a.size() == 4 && (a[0] == "extract" || a[0] == "memory"))
        return Extract(a[1], a[2], a[3], a[0] == "memory");
    if (a.size() == 3 && a[0] == "startup")
        return Startup(a[1], a[2]);
    fputs("usage: bench_runner copy MANIFEST DEST | floor[-reuse] MANIFEST SETUP DEST\n"
          "       | extract SETUP DESKTOPDIR REPORT | memory SETUP DESKTOPDIR REPORT | startup EXE CLASS\n",
          stderr);
    return 2;
}
