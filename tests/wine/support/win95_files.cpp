// Windows 95's answers to the file calls of the program that loads this
// code, for the tests under Wine, which answers every file call as Windows NT
// does (docs/wine.md). It is linked into a test build of the emulated
// device's ppcload.dll (tests/wine/CMakeLists.txt): setup.exe imports that
// library, so the system loads it, and this runs, before the program's entry
// point. It rewrites the program's import entries in memory for the calls
// it plays; the program's file is not touched.
//
// SETUP_WIN95_FILES says what is played, blank-separated:
//   MoveFileExA=missing  GetProcAddress finds no MoveFileExA (error 127)
//   MoveFileExA=120      MoveFileExA is there, moves nothing and fails with 120
//   MoveFileA=5          MoveFileA onto a name that exists fails without
//   MoveFileA=183          moving anything, with that error
//   hold=NAME            the first file that MoveFileA is to give the name NAME
//                        is held open by another program just then (as a
//                        virus scanner holds a file just written): that
//                        rename fails as the system answers it
// Without it, nothing is played. SETUP_WIN95_FILES_LOG names a file that
// gets a line for each call to MoveFileA, each lookup of MoveFileExA and each
// answer played.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace {

typedef FARPROC(WINAPI *GetProcAddressProc)(HMODULE, LPCSTR);
typedef BOOL(WINAPI *MoveFileProc)(LPCSTR, LPCSTR);

struct Play {
    std::string moveFileEx;    // "missing", "120" or empty
    DWORD moveFileError = 0;   // MoveFileA's answer for a name that exists; 0: not played
    std::string hold;
    bool held = false;
    std::string log;
};
Play g_play;

// Function pointers of one type to another, through void * as GetProcAddress's answers go.
template <class To, class From> To Cast(From f) { return reinterpret_cast<To>(reinterpret_cast<void *>(f)); }

GetProcAddressProc g_realGetProcAddress;
MoveFileProc g_realMoveFileA;

std::string EnvOr(const char *name, const std::string &fallback)
{
    char value[1024];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : fallback;
}

void Log(const std::string &line)
{
    if (g_play.log.empty())
        return;
    DWORD error = GetLastError();
    if (FILE *f = fopen(g_play.log.c_str(), "ab")) {
        fprintf(f, "%s\n", line.c_str());
        fclose(f);
    }
    SetLastError(error);
}

const char *NameOf(const char *path)
{
    const char *slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

BOOL WINAPI PlayedMoveFileExA(LPCSTR from, LPCSTR to, DWORD)
{
    Log(std::string("MoveFileExA ") + NameOf(from) + " -> " + NameOf(to) + " = 120 (played)");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

FARPROC WINAPI PlayedGetProcAddress(HMODULE module, LPCSTR name)
{
    if (HIWORD(reinterpret_cast<ULONG_PTR>(name)) != 0 && strcmp(name, "MoveFileExA") == 0
        && module == GetModuleHandleA("kernel32.dll")) {
        if (g_play.moveFileEx == "missing") {
            Log("GetProcAddress MoveFileExA = NULL (played)");
            SetLastError(ERROR_PROC_NOT_FOUND);
            return NULL;
        }
        if (g_play.moveFileEx == "120") {
            Log("GetProcAddress MoveFileExA = the stub that fails with 120 (played)");
            return Cast<FARPROC>(PlayedMoveFileExA);
        }
    }
    return g_realGetProcAddress(module, name);
}

BOOL WINAPI PlayedMoveFileA(LPCSTR from, LPCSTR to)
{
    std::string call = std::string("MoveFileA ") + NameOf(from) + " -> " + NameOf(to);
    if (g_play.moveFileError != 0 && GetFileAttributesA(to) != INVALID_FILE_ATTRIBUTES) {
        Log(call + " = " + std::to_string(g_play.moveFileError) + " (played: the name exists)");
        SetLastError(g_play.moveFileError);
        return FALSE;
    }
    HANDLE held = INVALID_HANDLE_VALUE;
    if (!g_play.hold.empty() && !g_play.held && lstrcmpiA(NameOf(to), g_play.hold.c_str()) == 0) {
        g_play.held = true;
        // No delete sharing: the file cannot be renamed while this is open.
        held = CreateFileA(from, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
        call += held != INVALID_HANDLE_VALUE ? " (played: held open)" : " (could not hold it)";
    }
    BOOL moved = g_realMoveFileA(from, to);
    DWORD error = GetLastError();
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    Log(call + (moved ? " = moved" : " = " + std::to_string(error)));
    SetLastError(error);
    return moved;
}

// Points the module's import entries that hold original at replacement.
void Rewrite(HMODULE module, void *original, void *replacement)
{
    BYTE *base = reinterpret_cast<BYTE *>(module);
    auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + reinterpret_cast<IMAGE_DOS_HEADER *>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0 || original == NULL)
        return;
    for (auto *desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress); desc->Name; ++desc) {
        for (auto *thunk = reinterpret_cast<IMAGE_THUNK_DATA *>(base + desc->FirstThunk); thunk->u1.Function;
             ++thunk) {
            if (thunk->u1.Function != reinterpret_cast<ULONG_PTR>(original))
                continue;
            DWORD protect = 0;
            VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, PAGE_READWRITE, &protect);
            thunk->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, protect, &protect);
        }
    }
}

// Runs when the library is loaded, before the program's entry point.
struct Player {
    Player()
    {
        std::istringstream in(EnvOr("SETUP_WIN95_FILES", ""));
        for (std::string item; in >> item;) {
            size_t eq = item.find('=');
            std::string key = item.substr(0, eq), value = eq == std::string::npos ? "" : item.substr(eq + 1);
            if (key == "MoveFileExA")
                g_play.moveFileEx = value;
            else if (key == "MoveFileA")
                g_play.moveFileError = DWORD(strtoul(value.c_str(), NULL, 10));
            else if (key == "hold")
                g_play.hold = value;
        }
        if (g_play.moveFileEx.empty() && g_play.moveFileError == 0 && g_play.hold.empty())
            return;
        g_play.log = EnvOr("SETUP_WIN95_FILES_LOG", "");
        HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
        g_realGetProcAddress = Cast<GetProcAddressProc>(GetProcAddress(kernel32, "GetProcAddress"));
        g_realMoveFileA = Cast<MoveFileProc>(GetProcAddress(kernel32, "MoveFileA"));
        HMODULE program = GetModuleHandleA(NULL);
        Rewrite(program, Cast<void *>(g_realGetProcAddress), Cast<void *>(PlayedGetProcAddress));
        Rewrite(program, Cast<void *>(g_realMoveFileA), Cast<void *>(PlayedMoveFileA));
        // A program that imports MoveFileExA itself gets Windows 95's stub.
        if (!g_play.moveFileEx.empty())
            Rewrite(program, Cast<void *>(GetProcAddress(kernel32, "MoveFileExA")), Cast<void *>(PlayedMoveFileExA));
        Log("played: " + EnvOr("SETUP_WIN95_FILES", ""));
    }
};
Player g_player;

}  // namespace
