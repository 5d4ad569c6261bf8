// The manifest: the payload's files in install order (dist/manifest.txt, the
// benchmark's synthetic one). This is its one reader in C++, used by
// setuppack (and, through `setuppack manifest`, by the scripts and CMake), the
// tests and the benchmark; setup.exe never reads a manifest.
//
// One record per line, three fields separated by one TAB: the source file
// (relative to the manifest's folder, forward slashes), the directory in the
// payload (backslashes, "." for the root) and the file name stored in the
// record. A line ends at "\n", and one "\r" before it is dropped. Empty lines
// and lines starting with '#' are skipped.
//
// A record is refused, as setuppack pack refuses it, when the setup program
// could not extract it: a name or directory of 1024 bytes or more, a path that
// would leave the desktop directory, a target path too long below the built-in
// desktop directory, or the same target as an earlier record (names compare
// without case). A manifest that names no files is refused too.
#pragma once

#include <string>
#include <vector>

struct ManifestRecord {
    int line;             // the manifest's line, from 1
    std::string source;   // relative to the manifest's folder, forward slashes
    std::string dir;      // directory in the payload, backslashes, "." for the root
    std::string name;     // the file name stored in the payload record
};

// Reads the manifest at path into *records, in its order. Each problem is one
// message in *errors ("PATH:LINE: ..." for a line); true when there is none.
bool ReadManifest(const std::string &path, std::vector<ManifestRecord> *records, std::vector<std::string> *errors);

// The same for a manifest's text; path names it in the messages.
bool ParseManifest(const std::string &text, const std::string &path, std::vector<ManifestRecord> *records,
                   std::vector<std::string> *errors);

// A name in lower case, as targets compare: without case, as the desktop's
// and the device's file systems compare them.
std::string LowerCase(std::string s);

// The folder the sources are relative to: path up to its last '/' or '\',
// that included ("" when it has none).
std::string ManifestFolder(const std::string &path);
