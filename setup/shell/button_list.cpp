#include "shell/button_list.h"

#include <cstdlib>
#include <cstring>

#include "res/resource.h"

CommandButton *g_pButtonHead;
CommandButton *g_pButtonTail;
int32_t g_xNextButton = FIRST_BUTTON_LEFT;
int32_t g_yNextButton = FIRST_BUTTON_TOP;
uint32_t g_idNextButton = IDM_INSTALL;

bool AppendCommandButton(const char *pszText)
{
    BUTTONRECT rc = {g_xNextButton, g_yNextButton, g_xNextButton + BUTTON_WIDTH, g_yNextButton + BUTTON_HEIGHT};
    uint16_t idCommand = static_cast<uint16_t>(g_idNextButton);
    ++g_idNextButton;
    g_yNextButton += BUTTON_STEP;

    size_t cbText = strlen(pszText) + 1;
    CommandButton *pButton = static_cast<CommandButton *>(malloc(sizeof(CommandButton)));
    char *pszCopy = static_cast<char *>(malloc(cbText));
    if (pButton == nullptr || pszCopy == nullptr) {
        free(pButton);
        free(pszCopy);
        return false;
    }
    memcpy(pszCopy, pszText, cbText);
    pButton->pszText = pszCopy;
    pButton->rc = rc;
    pButton->fHover = 0;
    pButton->idCommand = idCommand;
    pButton->pNext = nullptr;

    if (g_pButtonHead == nullptr)
        g_pButtonHead = pButton;
    else
        g_pButtonTail->pNext = pButton;
    g_pButtonTail = pButton;
    return true;
}

void FreeCommandButtons()
{
    CommandButton *pButton = g_pButtonHead;
    g_pButtonHead = nullptr;
    g_pButtonTail = nullptr;
    while (pButton != nullptr) {
        CommandButton *pNext = pButton->pNext;
        free(pButton->pszText);
        free(pButton);
        pButton = pNext;
    }
}

bool IsInsideButton(const BUTTONRECT &rc, int32_t x, int32_t y)
{
    return rc.top < y && y < rc.bottom && rc.left < x && x < rc.right;
}

void TrackButtonHover(uint16_t x, uint16_t y, void (*pfnChanged)(const CommandButton *pButton, void *pContext),
                      void *pContext)
{
    for (CommandButton *pButton = g_pButtonHead; pButton != nullptr; pButton = pButton->pNext) {
        int32_t fWas = pButton->fHover;
        pButton->fHover = IsInsideButton(pButton->rc, x, y) ? 1 : 0;
        if (pButton->fHover != fWas)
            pfnChanged(pButton, pContext);
    }
}

const CommandButton *HoveredButton()
{
    for (const CommandButton *pButton = g_pButtonHead; pButton != nullptr; pButton = pButton->pNext) {
        if (pButton->fHover)
            return pButton;
    }
    return nullptr;
}
