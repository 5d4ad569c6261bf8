// The emulated handheld PC shared by ppcload.dll and rapi.dll: a device
// folder on the desktop's disk holding the settings file, the object store
// and the log. See docs/device-emulator.md.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "file_exists.h"

namespace hpc {

// The DLL this code is linked into; set by its DllMain.
extern HMODULE g_hModule;

// The free space of a new device, and of one whose settings do not say: 4 MB.
const unsigned long kDefaultFreeSpace = 4194304;

// The device folder: %HPC_DEVICE% when set, else "device" beside the DLL.
std::string DeviceDir();
std::string SettingsPath();
std::string StoreRoot();

std::string GetSetting(const char *section, const char *key, const char *def);
void PutSetting(const char *section, const char *key, const char *value);   // value null: key removed
// A number setting; def when the key is missing or not a number.
unsigned long GetNumber(const char *section, const char *key, unsigned long def);
// True when the key is present with a number (a fault that is armed).
bool GetOptionalNumber(const char *section, const char *key, unsigned long *value);

// Creates the device folder with default settings when it does not exist,
// and the store's system folders. False when the folder cannot be made.
bool PrepareDevice();
bool Attached();

// A device path (from the store's root, "\Windows\...") as a desktop path
// below the store. False for anything that would leave the store or is not
// a valid device name: "..", ".", empty parts, drive letters, wildcards.
bool StorePath(const std::string &devicePath, std::string *desktopPath);

// The fault armed for one library function, when [Faults] FaultIn names it:
// logs "<function>: fault: <kind>" and raises the FaultKind exception as the
// function is entered. Kinds: AccessViolation (the default), CppThrow (what a
// C++ throw of another compiler's runtime raises: 0xE06D7363,
// non-continuable), Software (a continuable 0xE0000001), Nested (a fault
// caught by a guard of the loader's own, then an access violation outside
// it). Returns when no fault is armed for the function.
void FaultIfArmed(const char *function);
// An access violation: writes through a null pointer.
void WriteThroughNull();

// Appends one line to the device log.
void Log(const std::string &line);
std::string Quote(const std::string &text);

// Size of a desktop file, 0 when missing.
unsigned long FileSize(const std::string &path);

}  // namespace hpc
