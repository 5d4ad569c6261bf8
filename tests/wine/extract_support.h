// What the tests of the extraction stage share: a setup file built from
// records, the tree a run leaves, and one run of extract_driver.exe (the
// extraction stage in a program of its own, see extract_driver.cpp) with its
// message box answered.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "extract/payload.h"
#include "vector_sink.h"
#include "robot.h"
#include "test_support.h"

namespace extract_support {

// A small file system of its own (tmpfs) mounted on a directory for the
// life of the object, to be filled up.
class ScopedTmpfs {
public:
    ScopedTmpfs(const std::string &dir, const std::string &size) : unixDir_(testing_support::UnixPath(dir))
    {
        mounted_ = !unixDir_.empty() &&
                   testing_support::RunUnixShell("mount -t tmpfs -o size=" + size + " setup-test '" + unixDir_ + "' 2>/dev/null") == 0;
    }
    ~ScopedTmpfs()
    {
        if (mounted_)
            testing_support::RunUnixShell("umount '" + unixDir_ + "' || umount -l '" + unixDir_ + "'");
    }
    bool mounted() const { return mounted_; }

private:
    std::string unixDir_;
    bool mounted_ = false;
};

struct Outcome {
    DWORD exitCode = 999;   // 999: still running after the wait (then killed)
    bool boxShown = false;
    robot::MessageBox box;
    std::string ownerTitle;
    std::string report;   // "result=N\ncwd=PATH\n", written by the driver
};

// Runs the setup at exe (the driver with a payload) from the folder cwd with
// that desktop directory; presses OK on the message it shows, if any. The
// driver writes its report to cwd\report.txt.
inline Outcome RunExtraction(const std::string &exe, const std::string &cwd, const std::string &desk,
                             std::vector<std::pair<std::string, std::string>> env = {}, DWORD ms = 30000)
{
    std::string report = cwd + "\\report.txt";
    robot::Process::Options options;
    options.cwd = cwd;
    options.env = std::move(env);
    options.env.push_back({"SETUP_TEST_DESKTOP_DIR", desk});
    options.env.push_back({"SETUP_TEST_REPORT", report});
    DeleteFileA(report.c_str());
    robot::Process process(exe, options);
    Outcome out;
    EXPECT_TRUE(process.started());
    robot::WaitUntil(
        [&] {
            if (!process.Running())
                return true;
            for (HWND hwnd : robot::TopLevelWindows(process.pid()))
                if (robot::IsMessageBox(hwnd))
                    return true;
            return false;
        },
        ms);
    if (process.Running() && robot::WaitForMessageBox(process.pid(), &out.box, 5000)) {
        out.boxShown = true;
        out.ownerTitle = out.box.owner ? robot::Text(out.box.owner) : "";
        robot::Press(out.box.hwnd, IDOK);
    }
    process.Wait(ms, &out.exitCode);
    if (testing_support::FileExists(report))
        out.report = testing_support::ReadText(report);
    return out;
}

}  // namespace extract_support
