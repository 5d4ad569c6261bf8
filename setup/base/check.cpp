#include "base/check.h"
#include "base/message.h"
#include "base/process.h"
#include "base/text.h"

void SetupCheckFailed(const char *pszExpression, int nLine)
{
    char szReport[CCH_MESSAGE_TEXT];
    FormatText(szReport, sizeof szReport,
               "Assertion failed: %s, file ..\\setup, line %d\n", pszExpression, nLine);

    // Started from a console or with its output captured: say it there too.
    HANDLE hErr = GetStdHandle(STD_ERROR_HANDLE);
    if (hErr != NULL && hErr != INVALID_HANDLE_VALUE) {
        DWORD cbWritten;
        WriteFile(hErr, szReport, lstrlenA(szReport), &cbWritten, NULL);
    }

    char szText[CCH_MESSAGE_TEXT];
    FormatText(szText, sizeof szText,
               "Assertion failed!\n\nFile: ..\\setup\nLine: %d\n\nExpression: %s\n\n"
               "The setup file is damaged. Please obtain a new copy of the setup program.",
               nLine, pszExpression);
    MessageBoxA(g_hwndMain, szText, "Setup", MB_OK | MB_ICONHAND | MB_TASKMODAL);
    ExitProcess(SETUP_CHECK_EXIT_CODE);
}
