#include "base/message.h"

#include "base/process.h"

int ShowStringMessage(HWND hwndOwner, UINT idText, UINT idCaption, UINT uType)
{
    char szText[CCH_MESSAGE_TEXT];
    LoadStringA(g_hInst, idText, szText, sizeof szText);
    return ShowMessageText(hwndOwner, szText, idCaption, uType);
}

int ShowMessageText(HWND hwndOwner, const char *pszText, UINT idCaption, UINT uType)
{
    char szCaption[CCH_MESSAGE_CAPTION];
    LoadStringA(g_hInst, idCaption, szCaption, sizeof szCaption);
    return MessageBoxA(hwndOwner, pszText, szCaption, uType);
}
