/*
 * The command buttons of the main window: plain records in a singly linked
 * list that the window lays out, hit-tests and paints itself (it has no child
 * controls). This half needs no window: the list, its layout and the hover
 * flags. The window's half is in window.cpp (captions from the string
 * table), window_paint.cpp (painting) and window_mouse.cpp (hover, press).
 */
#ifndef SETUP_SHELL_BUTTON_LIST_H
#define SETUP_SHELL_BUTTON_LIST_H

#include <cstdint>

#include "shell/window_layout.h"

/* Client rectangle of a button; the right and bottom edges lie just outside it. */
struct BUTTONRECT {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct CommandButton {
    char *pszText;            /* caption, a heap copy owned by the record */
    BUTTONRECT rc;
    int32_t fHover;           /* 1 while the pointer was last seen strictly inside rc */
    uint16_t idCommand;       /* posted as the command when the button is pressed */
    CommandButton *pNext;
};

extern CommandButton *g_pButtonHead;
extern CommandButton *g_pButtonTail;
extern int32_t g_xNextButton;     /* FIRST_BUTTON_LEFT, never changes */
extern int32_t g_yNextButton;     /* FIRST_BUTTON_TOP, then BUTTON_STEP more for every button */
extern uint32_t g_idNextButton;   /* IDM_INSTALL, then one more for every button */

/*
 * Appends a button with a copy of pszText at the next place and with the next
 * command id. The place and the id are used up even when the record or its
 * caption cannot be allocated; the button is then left out (false).
 */
bool AppendCommandButton(const char *pszText);

/* Frees every record and its caption and leaves the list empty, so a second
   call, or a paint or mouse message that comes later, finds nothing. */
void FreeCommandButtons();

/* The strict hit test: true only inside the outline's left and top edges. */
bool IsInsideButton(const BUTTONRECT &rc, int32_t x, int32_t y);

/*
 * Sets every button's fHover for the pointer at (x, y), a mouse message's
 * coordinates taken as unsigned 16-bit values, and calls pfnChanged for each
 * button whose flag changed, in list order.
 */
void TrackButtonHover(uint16_t x, uint16_t y, void (*pfnChanged)(const CommandButton *pButton, void *pContext),
                      void *pContext);

/* The first highlighted button, or null. */
const CommandButton *HoveredButton();

#endif
