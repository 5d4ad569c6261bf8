// Loaded by the system into a process that the robot watches: a message hook
// that signals the named event "robot-drain-<n>" when the thread fetches the
// robot's marker message with wParam n. Messages of a queue are fetched in
// the order they were posted, so the event says that everything posted
// before the marker has been fetched and, but for a modal loop that the last
// of them opened, handled.
//
// It also counts the paints the thread fetches, and on the census marker
// counts what the process holds into the mapping "robot-census-<n>" and
// signals "robot-census-<n>-done" (robot::Watcher).
#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "robot.h"

namespace {

UINT64 g_paints;

BOOL CALLBACK CountWindow(HWND hwnd, LPARAM lParam)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId())
        ++*reinterpret_cast<UINT64 *>(lParam);
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM lParam)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId()) {
        ++*reinterpret_cast<UINT64 *>(lParam);
        EnumChildWindows(hwnd, CountWindow, lParam);   // every descendant
    }
    return TRUE;
}

void TakeCensus(robot::Census *c)
{
    *c = robot::Census();
    // GDI handles: a handle with a zero high word names its table slot.
    for (UINT_PTR i = 1; i < 0x10000; ++i) {
        DWORD type = GetObjectType(reinterpret_cast<HGDIOBJ>(i));
        if (type != 0) {
            ++c->gdiObjects;
            ++c->gdiByType[type & 15];
        }
    }

    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&c->windows));
    for (HWND h = FindWindowExA(HWND_MESSAGE, NULL, NULL, NULL); h; h = FindWindowExA(HWND_MESSAGE, h, NULL, NULL))
        CountTopLevel(h, reinterpret_cast<LPARAM>(&c->windows));
    // The other USER objects live in this process's part of the USER handle
    // table (slots 0x20, 0x22, ...; a zero high word names the slot).
    for (UINT_PTR i = 0x20; i < 0x10000; i += 2) {
        HANDLE h = reinterpret_cast<HANDLE>(i);
        ICONINFO ii;
        if (IsMenu(static_cast<HMENU>(h))) {
            ++c->menus;
        } else if (GetIconInfo(static_cast<HICON>(h), &ii)) {
            ++c->icons;
            if (ii.hbmMask)
                DeleteObject(ii.hbmMask);
            if (ii.hbmColor)
                DeleteObject(ii.hbmColor);
        } else if (CopyAcceleratorTableA(static_cast<HACCEL>(h), NULL, 0) > 0) {
            ++c->accelerators;
        }
    }

    MEMORY_BASIC_INFORMATION mbi;
    for (const char *p = nullptr; VirtualQuery(p, &mbi, sizeof mbi) == sizeof mbi;) {
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE)
            c->privateCommit += mbi.RegionSize;
        const char *next = static_cast<const char *>(mbi.BaseAddress) + mbi.RegionSize;
        if (next <= p)
            break;
        p = next;
    }
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof pmc;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&pmc), sizeof pmc)) {
        c->pagefileUsage = pmc.PagefileUsage;
        c->privateUsage = pmc.PrivateUsage;
    }
    SetLastError(0);
    c->guiGdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    c->guiUser = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    c->guiError = GetLastError();
    c->paints = g_paints;
}

void SignalEvent(const char *name)
{
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
    if (event) {
        SetEvent(event);
        CloseHandle(event);
    }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK RobotGetMessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    static UINT drain = RegisterWindowMessageA("robot-drain-marker");
    static UINT census = RegisterWindowMessageA("robot-census-marker");
    const MSG *msg = reinterpret_cast<const MSG *>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        char name[64];
        unsigned long long n = static_cast<unsigned long long>(msg->wParam);
        if (msg->message == WM_PAINT) {
            ++g_paints;
        } else if (msg->message == drain) {
            snprintf(name, sizeof name, "robot-drain-%llu", n);
            SignalEvent(name);
        } else if (msg->message == census) {
            snprintf(name, sizeof name, "robot-census-%llu", n);
            HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
            void *view = mapping ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(robot::Census)) : NULL;
            if (view) {
                TakeCensus(static_cast<robot::Census *>(view));
                UnmapViewOfFile(view);
            }
            if (mapping)
                CloseHandle(mapping);
            snprintf(name, sizeof name, "robot-census-%llu-done", n);
            SignalEvent(name);
        }
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}
