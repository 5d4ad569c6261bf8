#include "base/process.h"

HINSTANCE g_hInst;
HWND g_hwndMain;
