// Whether a desktop path names a file, or a folder: the emulated device's
// store is a folder on the desktop's disk. The Wine tests ask the same of
// what the setup and the device leave there.
#pragma once

#include <windows.h>

#include <string>

namespace hpc {

inline bool FileExists(const std::string &path)
{
    DWORD attr = GetFileAttributesA(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool DirExists(const std::string &path)
{
    DWORD attr = GetFileAttributesA(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace hpc
