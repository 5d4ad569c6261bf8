// A program linked with the system's whole import libraries that imports a
// function Windows 95 lacks and a W function: what check_image.py must
// refuse in an image. Never run.
#include <windows.h>

extern "C" void probe()
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    GetFileAttributesExA("C:\\", GetFileExInfoStandard, &data);
    ExitProcess(MessageBoxW(NULL, L"probe", L"probe", MB_OK));
}
