// Stand-in for a program that the setup starts (wordpad.exe, a web browser):
// appends one line to the file named by SETUP_RECORDER_LOG with the show
// state it was started with and its whole command line, then ends. Started
// with "--version" it records the Windows version it sees instead
// ("version=PLATFORM MAJOR.MINOR").
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR pszCmdLine, int)
{
    char path[MAX_PATH];
    if (!GetEnvironmentVariableA("SETUP_RECORDER_LOG", path, sizeof path))
        return 2;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    GetStartupInfoA(&si);
    int show = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;
    FILE *f = fopen(path, "ab");
    if (!f)
        return 3;
    OSVERSIONINFOA vi = {};
    vi.dwOSVersionInfoSize = sizeof vi;
    if (strcmp(pszCmdLine, "--version") == 0 && GetVersionExA(&vi))
        fprintf(f, "version=%lu %lu.%lu\n", vi.dwPlatformId, vi.dwMajorVersion, vi.dwMinorVersion);
    else
        fprintf(f, "show=%d|%s\n", show, GetCommandLineA());
    fclose(f);
    return 0;
}
