#include "base/process.h"

HINSTANCE g_hInst;
HWND g_hwndMain;

BOOL GetProgramPath(char *pszPath, DWORD cchPath)
{
    DWORD cch = GetModuleFileNameA(NULL, pszPath, cchPath);
    return cch != 0 && cch < cchPath;
}
