#include "shell/setup.h"

HINSTANCE g_hInst;
HWND g_hwndMain;
