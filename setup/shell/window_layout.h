/*
 * Where things are in the main window, in pixels: its size, the splash, the
 * footer and the command buttons. The window, its paint code, the button
 * list and the tests all take them from here. Plain C++, no <windows.h>.
 */
#ifndef SETUP_SHELL_WINDOW_LAYOUT_H
#define SETUP_SHELL_WINDOW_LAYOUT_H

/* The main window's outer size; the window has no sizing frame. */
#define MAIN_WIDTH  580
#define MAIN_HEIGHT 460

/* The splash picture's top left corner in the client area. */
#define SPLASH_LEFT 10
#define SPLASH_TOP  12

/* The footer text: from here down to MAIN_HEIGHT, the window's full width. */
#define FOOTER_TOP 395

/* The first command button's top left corner; each next one is BUTTON_STEP lower. */
#define FIRST_BUTTON_LEFT 260
#define FIRST_BUTTON_TOP  75
#define BUTTON_WIDTH      300
#define BUTTON_HEIGHT     30
#define BUTTON_STEP       60

#endif
