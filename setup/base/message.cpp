#include "base/message.h"

#include "base/process.h"

void LoadProgramString(UINT id, char *pszText, int cchText)
{
    pszText[0] = '\0';
    LoadStringA(g_hInst, id, pszText, cchText);
}

int ShowStringMessage(HWND hwndOwner, UINT idText, UINT idCaption, UINT uType)
{
    char szText[CCH_MESSAGE_TEXT];
    LoadProgramString(idText, szText, sizeof szText);
    return ShowMessageText(hwndOwner, szText, idCaption, uType);
}

int ShowMessageText(HWND hwndOwner, const char *pszText, UINT idCaption, UINT uType)
{
    char szCaption[CCH_MESSAGE_CAPTION];
    LoadProgramString(idCaption, szCaption, sizeof szCaption);
    return MessageBoxA(hwndOwner, pszText, szCaption, uType);
}
