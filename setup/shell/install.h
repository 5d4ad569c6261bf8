/*
 * The Install command: the stages of an installation in their fixed order,
 * stopping at the first one that fails or is cancelled. A stage that fails
 * has already told the user why.
 */
#ifndef SETUP_SHELL_INSTALL_H
#define SETUP_SHELL_INSTALL_H

#include <windows.h>

enum InstallOutcome {
    INSTALL_STOPPED,            /* a stage failed or was cancelled */
    INSTALL_FINISHED,           /* went through; no release notes wanted */
    INSTALL_FINISHED_NOTES,     /* went through; open the release notes */
};

InstallOutcome RunInstallSequence();

/*
 * Non-zero until both device libraries have been loaded by name; from then
 * on the check is skipped for the rest of the run.
 */
extern BOOL g_fLibrariesChecked;

/* The device libraries as loaded by the check, in check order; never released. */
extern HMODULE g_ahmodDeviceLibraries[2];

/*
 * Loads "ppcload", then "rapi". For the first that does not load, tells the
 * user which library is missing and returns FALSE; the other is not tried.
 */
BOOL CheckDeviceLibraries();

#endif
