// A program linked as setup.exe is, that calls a function Windows 95 lacks
// (GetFileAttributesExA, Windows 98 and NT 4.0 on): its link must fail and
// name the list the function is missing from. Never run.
#include <windows.h>

extern "C" void probe()
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    ExitProcess(GetFileAttributesExA("C:\\", GetFileExInfoStandard, &data));
}
