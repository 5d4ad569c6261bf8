/*
 * The device install step: the load script and the install onto the
 * attached handheld PC through the device loader (loader.h).
 */
#ifndef SETUP_DEVICE_DEVICE_H
#define SETUP_DEVICE_DEVICE_H

#include <windows.h>

#include "device/load_script.h"

/* Writes "qArnel.ld" for the chosen books into the current directory. */
void WriteLoadScript();

/*
 * Creates or empties pszPath (text mode, as fopen's "w+") and writes the
 * script for the chosen books into it. FALSE when the file cannot be created
 * or written.
 */
BOOL WriteLoadScriptFile(const char *pszPath);

/*
 * Runs after the extraction (the desktop directory is the current
 * directory): opens a loader connection, writes the load script, checks the
 * processor and the free space, loads the application and its books onto the
 * device and starts it there. TRUE when the load succeeded and the start was
 * requested; FALSE after a failure that has been shown to the user.
 */
BOOL InstallToDevice();

#endif
