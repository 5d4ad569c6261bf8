#include "device_support.h"

#include <algorithm>
#include <cstdlib>

using namespace testing_support;

namespace device_support {

namespace {

void ListFiles(const std::string &dir, const std::string &prefix, std::vector<std::string> *files)
{
    ForEachEntry(dir, [&](const std::string &name, bool isDir) {
        if (isDir)
            ListFiles(dir + "\\" + name, prefix + "\\" + name, files);
        else
            files->push_back(prefix + "\\" + name);
    });
}

bool CopyTree(const std::string &from, const std::string &to)
{
    CreateDirectoryA(to.c_str(), NULL);
    bool ok = true;
    bool read = ForEachEntry(from, [&](const std::string &name, bool isDir) {
        std::string source = from + "\\" + name, target = to + "\\" + name;
        ok = (isDir ? CopyTree(source, target) : CopyFileA(source.c_str(), target.c_str(), FALSE) != 0) && ok;
    });
    return read && ok;
}

}  // namespace

EmulatedDevice::EmulatedDevice(const std::string &settings)
{
    if (!settings.empty())
        WriteText(SettingsPath(), settings);
}

std::string EmulatedDevice::Store(const std::string &devicePath) const { return dir_ / "store" + devicePath; }

std::string EmulatedDevice::Setting(const char *section, const char *key) const
{
    char sz[1024];
    GetPrivateProfileStringA(section, key, "", sz, sizeof sz, SettingsPath().c_str());
    return sz;
}

void EmulatedDevice::Put(const char *section, const char *key, const char *value) const
{
    WritePrivateProfileStringA(section, key, value, SettingsPath().c_str());
}

std::vector<std::string> EmulatedDevice::Log() const
{
    std::vector<std::string> lines;
    std::string path = dir_ / "device.log";
    if (!FileExists(path))
        return lines;
    std::string text = ReadText(path);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find("\r\n", pos);
        if (eol == std::string::npos)
            eol = text.size();
        lines.push_back(text.substr(pos, eol - pos));
        pos = eol + 2;
    }
    return lines;
}

std::vector<std::string> EmulatedDevice::Files() const
{
    std::vector<std::string> files;
    ListFiles(dir_ / "store", "", &files);
    std::sort(files.begin(), files.end());
    return files;
}

std::string DeviceSettings(const std::string &processor, unsigned long freeSpace, const std::string &extra)
{
    return "[Device]\r\nAttached=1\r\nProcessor=" + processor + "\r\nFreeSpace=" + std::to_string(freeSpace) +
           "\r\n" + extra;
}

bool CopyPayload(const std::string &dir) { return CopyTree(SourceFile("dist/payload"), dir); }

std::string EncodeArg(const std::string &text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (c == ' ' || c == '"' || c == '%' || c < 0x20 || c >= 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out.empty() ? "%" : out;   // a lone '%' stands for the empty text
}

std::string DecodeArg(const std::string &text)
{
    if (text == "%")
        return "";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += char(strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace device_support
