// The program's entry point: what a C runtime's start-up does for a GUI
// program, and no more. The program has no command-line options, no threads
// and no thread-local data.
#include <windows.h>

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR pszCmdLine, int nShowCmd);

namespace {

// The command line after the program's name (quoted or not) and the blanks
// that follow it.
LPSTR CommandTail()
{
    LPSTR psz = GetCommandLineA();
    if (*psz == '"') {
        ++psz;
        while (*psz != '\0' && *psz != '"')
            ++psz;
        if (*psz == '"')
            ++psz;
    } else {
        while (*psz != '\0' && *psz != ' ' && *psz != '\t')
            ++psz;
    }
    while (*psz == ' ' || *psz == '\t')
        ++psz;
    return psz;
}

// Static constructors, as the linker lists them: a count or -1, the
// functions, a null. They run last to first.
extern "C" void (*__CTOR_LIST__[])();

void RunConstructors()
{
    size_t cCtors = reinterpret_cast<size_t>(__CTOR_LIST__[0]);
    if (cCtors == static_cast<size_t>(-1)) {
        cCtors = 0;
        while (__CTOR_LIST__[cCtors + 1] != NULL)
            ++cCtors;
    }
    for (size_t i = cCtors; i != 0; --i)
        __CTOR_LIST__[i]();
}

int StartupShowCommand()
{
    STARTUPINFOA si;
    si.cb = sizeof si;
    GetStartupInfoA(&si);
    return (si.dwFlags & STARTF_USESHOWWINDOW) != 0 ? si.wShowWindow : SW_SHOWDEFAULT;
}

}  // namespace

extern "C" void WinMainCRTStartup()
{
    RunConstructors();
    ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(NULL), NULL, CommandTail(), StartupShowCommand())));
}
