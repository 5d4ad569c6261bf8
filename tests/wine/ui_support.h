// What the tests of the user interface share: a running setup.exe with its
// main window, its install settings pointed at a private directory, and the
// texts and rectangles the window is drawn from.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "robot.h"
#include "test_support.h"

#include "res/resource.h"   // after <windows.h>
#include "shell/window_layout.h"

namespace ui {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);
const COLORREF kDarkBlue = RGB(0, 0, 160);
const COLORREF kYellow = RGB(255, 255, 0);

// The four command buttons, top to bottom, in client pixels.
inline RECT ButtonRect(int i)
{
    const int top = FIRST_BUTTON_TOP + BUTTON_STEP * i;
    return RECT{FIRST_BUTTON_LEFT, top, FIRST_BUTTON_LEFT + BUTTON_WIDTH, top + BUTTON_HEIGHT};
}
inline POINT ButtonCentre(int i)
{
    return POINT{FIRST_BUTTON_LEFT + BUTTON_WIDTH / 2, FIRST_BUTTON_TOP + BUTTON_STEP * i + BUTTON_HEIGHT / 2};
}

// The program's own resources, read from setup.exe.
inline HMODULE Program()
{
    static HMODULE h =
        LoadLibraryExA(testing_support::BuildFile("setup.exe").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    return h;
}
inline std::string String(UINT id)
{
    char sz[4096];
    int n = LoadStringA(Program(), id, sz, sizeof sz);
    return std::string(sz, n > 0 ? n : 0);
}

// setup.exe started with the desktop services' registry value pointing into
// a fresh directory, so the desktop directory is <dir>\HPC Applications\tarvelo\qARNEL
// and does not exist yet.
class SetupApp : public ::testing::Test {
protected:
    static constexpr const char *kServicesKey = "Software\\Microsoft\\Pegasus";

    void SetUp() override
    {
        installedDir_.SetString(services_.path());
        desktopDir_ = services_.path() + "\\HPC Applications\\tarvelo\\qARNEL";
        // A handheld PC that is not attached: an install that gets past the
        // dialogs extracts, then stops at the device step with its message.
        testing_support::WriteText(device_ / "device.ini", "[Device]\r\nAttached=0\r\n");
    }

    // Starts the program (by default the build's setup.exe) and finds its window.
    void Start(const std::string &exe = testing_support::BuildFile("setup.exe"), int show = SW_SHOWNORMAL,
               std::vector<std::pair<std::string, std::string>> env = {})
    {
        // The pointer away from the window, so that it highlights nothing.
        SetCursorPos(0, 0);
        robot::Process::Options options;
        options.show = show;
        // The device libraries stay in the build tree, wherever the program is.
        char szPath[32768] = "";
        GetEnvironmentVariableA("PATH", szPath, sizeof szPath);
        options.env = {{"HPC_DEVICE", device_.path()}, {"PATH", testing_support::BuildDir() + ";" + szPath}};
        for (auto &kv : env)
            options.env.push_back(std::move(kv));
        app_ = robot::Process(exe, options);
        ASSERT_TRUE(app_.started()) << exe;
        main_ = robot::WaitForWindow(app_.pid(), "tvlSetup", nullptr);
        ASSERT_NE(main_, (HWND)NULL) << "no main window";
        ASSERT_TRUE(robot::Drain(main_));
    }

    // Waits for the end of the program; its exit code, or 999 when it did not end.
    DWORD ExitCode(DWORD ms = 10000)
    {
        DWORD code = 999;
        if (!app_.Wait(ms, &code))
            return 999;
        return code;
    }

    // A modal window of the program other than those given, or NULL after ms.
    HWND WaitForNewDialog(std::vector<HWND> known, DWORD ms = 10000)
    {
        HWND found = NULL;
        robot::WaitUntil(
            [&] {
                for (HWND h : robot::TopLevelWindows(app_.pid())) {
                    if (h != main_ && robot::ClassOf(h) == "#32770"
                        && std::find(known.begin(), known.end(), h) == known.end()) {
                        found = h;
                        return true;
                    }
                }
                return false;
            },
            ms);
        return found;
    }

    // Answers what the rest of an install shows after the options dialog (the
    // device step's message, the closing question: OK or No) until only the
    // main window is left. False when that does not happen.
    bool DismissRestOfInstall(DWORD ms = 20000)
    {
        return robot::AnswerMessageBoxes(
            app_.pid(), main_,
            [](const robot::MessageBox &box) {
                for (auto &b : box.buttons)
                    if (b.first == IDNO)
                        return IDNO;
                return IDOK;
            },
            ms);
    }

    // The program's visible top-level windows other than the main window.
    std::vector<HWND> OtherWindows()
    {
        std::vector<HWND> others;
        for (HWND h : robot::TopLevelWindows(app_.pid()))
            if (h != main_)
                others.push_back(h);
        return others;
    }

    testing_support::TempDir services_;
    testing_support::TempDir device_;
    testing_support::ScopedRegValue installedDir_{HKEY_LOCAL_MACHINE, kServicesKey, "InstalledDir"};
    std::string desktopDir_;
    robot::Process app_;
    HWND main_ = NULL;
};

}  // namespace ui
