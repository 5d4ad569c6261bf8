// Helpers for the tests of the device half: a device folder for the
// emulated handheld PC (docs/device-emulator.md) and a desktop directory
// laid out as the extraction leaves it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace device_support {

// A device folder below the temp folder, removed afterwards.
class EmulatedDevice {
public:
    // settings: the text of device.ini ("" for none: the loader makes a default one).
    explicit EmulatedDevice(const std::string &settings);
    const std::string &dir() const { return dir_.path(); }
    std::string SettingsPath() const { return dir_ / "device.ini"; }
    // A device path ("\Windows\...") as a desktop path in the object store.
    std::string Store(const std::string &devicePath) const;
    std::string Setting(const char *section, const char *key) const;
    void Put(const char *section, const char *key, const char *value) const;
    std::vector<std::string> Log() const;
    // Device paths of every file in the store, sorted, as the store spells them.
    std::vector<std::string> Files() const;

private:
    testing_support::TempDir dir_;
};

// device.ini text for an attached device; extra lines go into [Device] then follow.
std::string DeviceSettings(const std::string &processor, unsigned long freeSpace, const std::string &extra = "");

// Copies the payload files of dist/payload into dir, directories and names
// as the payload records have them. False when a copy failed.
bool CopyPayload(const std::string &dir);

// Percent-encodes blanks, double quotes and '%' (for command-line arguments).
std::string EncodeArg(const std::string &text);
std::string DecodeArg(const std::string &text);

}  // namespace device_support
