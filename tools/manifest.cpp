#include "manifest.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "extract/payload.h"
#include "extract/payload_path.h"
#include "settings/desktop_dir.h"

namespace {

std::vector<std::string> SplitTabs(const std::string &s)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = s.find('\t', start);
        fields.push_back(s.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

}  // namespace

bool ParseManifest(const std::string &text, const std::string &path, std::vector<ManifestRecord> *records,
                   std::vector<std::string> *errors)
{
    std::map<std::string, int> targets;   // reduced and in lower case (names compare without case): line
    const size_t errorsBefore = errors->size();
    size_t pos = 0;
    for (int line = 1; pos < text.size(); ++line) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string s = text.substr(pos, end - pos);
        pos = end + 1;
        if (!s.empty() && s.back() == '\r')
            s.pop_back();
        if (s.empty() || s[0] == '#')
            continue;
        const std::string where = path + ":" + std::to_string(line) + ": ";
        std::vector<std::string> fields = SplitTabs(s);
        if (fields.size() != 3 || fields[0].empty() || fields[1].empty()) {
            errors->push_back(where + "expected three TAB-separated fields: source, directory, name");
            continue;
        }
        ManifestRecord r{line, fields[0], fields[1], fields[2]};
        if (r.name.size() >= PAYLOAD_CCH_TEXT || r.dir.size() >= PAYLOAD_CCH_TEXT) {
            errors->push_back(where + "a name or directory of 1024 bytes or more cannot be extracted");
            continue;
        }
        if (r.name.find('\0') != std::string::npos || r.dir.find('\0') != std::string::npos ||
            CheckPayloadPath(r.dir.c_str(), r.name.c_str()) != 0) {
            errors->push_back(where + "\"" + r.dir + "\\" + r.name +
                              "\" would leave the desktop directory or is no file name");
            continue;
        }
        char target[PAYLOAD_CCH_TEXT];
        if (!BuildTargetPath(target, sizeof target, c_szBuiltInDesktopDir, r.dir.c_str(), r.name.c_str())) {
            errors->push_back(where + "the target path below \"" + c_szBuiltInDesktopDir +
                              "\" is longer than 1023 characters");
            continue;
        }
        auto known = targets.emplace(LowerCase(target), line);
        if (!known.second)
            errors->push_back(where + "\"" + r.dir + "\\" + r.name + "\" is already in the payload (line " +
                              std::to_string(known.first->second) + ")");
        records->push_back(r);
    }
    if (errors->size() == errorsBefore && records->empty())
        errors->push_back(path + ": names no files");
    return errors->size() == errorsBefore;
}

bool ReadManifest(const std::string &path, std::vector<ManifestRecord> *records, std::vector<std::string> *errors)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) {
        errors->push_back("cannot open " + path + ": " + strerror(errno));
        return false;
    }
    std::string text;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    bool ok = !ferror(f);
    fclose(f);
    if (!ok) {
        errors->push_back("cannot read " + path);
        return false;
    }
    return ParseManifest(text, path, records, errors);
}

std::string LowerCase(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

std::string ManifestFolder(const std::string &path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}
