/*
 * The device loader services of the desktop services for handheld PCs:
 * "ppcload.dll" (the loader) and "rapi.dll" (the remote process API). The
 * program imports them directly, through import libraries made from
 * ppcload.def and rapi.def, by their undecorated names.
 *
 * Calling order within one device install step: Load_Init first, Load_Exit
 * last and always; the others only after a Load_Init that returned 0, and
 * PegCreateProcess only after a successful Load.
 */
#ifndef SETUP_DEVICE_LOADER_H
#define SETUP_DEVICE_LOADER_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* 0: a connection to an attached device is open; anything else: no device. */
int WINAPI Load_Init(void);
/* 1: an application of that name is installed on the device. */
int WINAPI Load_AlreadyInstalled(LPCSTR app);
/* Non-zero: buf16 (16 bytes) holds the processor's name, e.g. "SH3". */
BOOL WINAPI Load_PegCpuType(LPSTR buf16);
/* The device's free storage in bytes. */
DWORD WINAPI Load_PegFreeSpace(void);
/* 0: every command of the load script named by cmdline was carried out. */
int WINAPI Load(HWND owner, LPCSTR cmdline);
/* Closes the connection (also after a failed Load_Init). */
void WINAPI Load_Exit(void);

/* rapi.dll: starts a program on the device. */
BOOL WINAPI PegCreateProcess(LPCWSTR app, LPCWSTR cmdline, LPSECURITY_ATTRIBUTES pa,
                             LPSECURITY_ATTRIBUTES ta, BOOL inherit, DWORD flags, LPVOID env,
                             LPWSTR curdir, LPSTARTUPINFOW si, LPPROCESS_INFORMATION pi);

#ifdef __cplusplus
}
#endif

#endif
