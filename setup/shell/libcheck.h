/*
 * The first stage of an install: are the device libraries there? setup.exe
 * imports them and so does not start without them; the check tells the user
 * which one is missing where a program that starts without them runs it.
 */
#ifndef SETUP_SHELL_LIBCHECK_H
#define SETUP_SHELL_LIBCHECK_H

#include <windows.h>

/*
 * Non-zero until both device libraries have been loaded by name; from then
 * on the check is skipped for the rest of the run. (Named as it always was:
 * it holds whether a check is still to be done.)
 */
extern BOOL g_fLibrariesChecked;

/* The device libraries as loaded by the check, in check order; never released. */
extern HMODULE g_rghmodDeviceLibraries[2];

/*
 * Loads "ppcload", then "rapi". For the first that does not load, tells the
 * user which library is missing and returns FALSE; the other is not tried.
 */
BOOL CheckDeviceLibraries();

#endif
