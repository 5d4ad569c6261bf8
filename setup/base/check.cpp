#include "base/check.h"
#include "base/process.h"
#include "base/text.h"

void SetupCheckFailed(const char *pszExpression, int nLine)
{
    char szReport[1024];
    FormatText(szReport, sizeof szReport,
               "Assertion failed: %s, file ..\\setup, line %d\n", pszExpression, nLine);

    // Started from a console or with its output captured: say it there too.
    HANDLE hErr = GetStdHandle(STD_ERROR_HANDLE);
    if (hErr != NULL && hErr != INVALID_HANDLE_VALUE) {
        DWORD cbWritten;
        WriteFile(hErr, szReport, lstrlenA(szReport), &cbWritten, NULL);
    }

    char szText[1024];
    FormatText(szText, sizeof szText,
               "Assertion failed!\n\nFile: ..\\setup\nLine: %d\n\nExpression: %s\n\n"
               "The setup file is damaged. Please obtain a new copy of the setup program.",
               nLine, pszExpression);
    MessageBoxA(g_hwndMain, szText, "Setup", MB_OK | MB_ICONHAND | MB_TASKMODAL);
    ExitProcess(SETUP_CHECK_EXIT_CODE);
}
