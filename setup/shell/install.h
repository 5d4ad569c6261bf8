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

#endif
