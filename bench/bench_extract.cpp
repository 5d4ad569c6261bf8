// The program's extraction stage under a stopwatch, for scripts/bench: packed
// with a payload and named setup.exe, it extracts that payload exactly as an
// Install does (ExtractPayload) and reports how long the call took and how
// the process's memory stood before and after it.
//
//   SETUP_BENCH_DESKTOP_DIR   the desktop directory
//   SETUP_BENCH_REPORT        the file that receives the report (key=value lines)
//
// Exit code: 0 after a whole extraction, 1 after a reported failure.
#include <windows.h>

#include <cstdio>

#include "base/process.h"
#include "extract/extract.h"
#include "settings/settings.h"

namespace {

// ntdll's VM_COUNTERS: under Wine the kernel's own figures for the process
// (VmPeak, VmSize, VmHWM, VmRSS, RssAnon + VmSwap).
struct VmCounters {
    SIZE_T PeakVirtualSize, VirtualSize;
    ULONG PageFaultCount;
    SIZE_T PeakWorkingSetSize, WorkingSetSize;
    SIZE_T QuotaPeakPagedPoolUsage, QuotaPagedPoolUsage, QuotaPeakNonPagedPoolUsage, QuotaNonPagedPoolUsage;
    SIZE_T PagefileUsage, PeakPagefileUsage;
};
typedef LONG(WINAPI *NTQUERYINFORMATIONPROCESS)(HANDLE, int, void *, ULONG, ULONG *);

VmCounters Counters()
{
    VmCounters vm = {};
    static NTQUERYINFORMATIONPROCESS pfn = (NTQUERYINFORMATIONPROCESS)(void *)GetProcAddress(
        GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess");
    if (pfn)
        pfn(GetCurrentProcess(), 3 /* ProcessVmCounters */, &vm, sizeof vm, NULL);
    return vm;
}

double Now()
{
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return double(t.QuadPart) / double(f.QuadPart);
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    g_hInst = hInstance;
    g_hwndMain = CreateWindowA("STATIC", "Extraction bench", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, NULL, NULL,
                               hInstance, NULL);
    GetEnvironmentVariableA("SETUP_BENCH_DESKTOP_DIR", g_szDesktopDir, sizeof g_szDesktopDir);

    VmCounters before = Counters();
    double t0 = Now();
    BOOL fOk = ExtractPayload(g_hwndMain);
    double t1 = Now();
    VmCounters after = Counters();

    char szPath[MAX_PATH];
    if (GetEnvironmentVariableA("SETUP_BENCH_REPORT", szPath, sizeof szPath)) {
        FILE *f = fopen(szPath, "wb");
        if (f) {
            fprintf(f, "result=%d\nseconds=%.6f\n", fOk ? 1 : 0, t1 - t0);
            fprintf(f, "virtual_before=%llu\nvirtual_peak_after=%llu\n", (unsigned long long)before.VirtualSize,
                    (unsigned long long)after.PeakVirtualSize);
            fprintf(f, "private_before=%llu\nprivate_after=%llu\n", (unsigned long long)before.PagefileUsage,
                    (unsigned long long)after.PagefileUsage);
            fclose(f);
        }
    }
    return fOk ? 0 : 1;
}
