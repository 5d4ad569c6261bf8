/*
 * Texts of the string table of the program's module (g_hInst), and message
 * boxes whose caption, and mostly their text, come from it.
 */
#ifndef SETUP_BASE_MESSAGE_H
#define SETUP_BASE_MESSAGE_H

#include <windows.h>

/* The buffers a message's text (also one formatted here, the title, the footer)
   and caption are loaded into: the longest text has 427 characters
   (IDS_ALREADY_INSTALLED), the longest caption 26. */
#define CCH_MESSAGE_TEXT 1024
#define CCH_MESSAGE_CAPTION 128

/* Loads string id into pszText (cut to fit); empty when there is no such string. */
void LoadProgramString(UINT id, char *pszText, int cchText);

/* Shows the strings idText and idCaption in a message box of type uType
   owned by hwndOwner; the box's answer. */
int ShowStringMessage(HWND hwndOwner, UINT idText, UINT idCaption, UINT uType);

/* The same with a text of the caller's. */
int ShowMessageText(HWND hwndOwner, const char *pszText, UINT idCaption, UINT uType);

#endif
