// The main window driven from outside as the user would: start-up and exit,
// the painted scene read back from the screen, the hover highlight and the
// press, the accelerators, and the release-notes and web-page commands.
#include <gtest/gtest.h>

#include <string>

#include "ui_support.h"

using namespace testing_support;
using namespace ui;

namespace {

class MainWindow : public SetupApp {
protected:
    // The client area once everything posted so far has been handled and
    // the drawing has reached the screen (two equal captures in a row).
    robot::Bitmap Capture()
    {
        EXPECT_TRUE(robot::Drain(main_));
        robot::Bitmap bmp;
        robot::WaitUntil([&] {
            robot::Bitmap again = robot::CaptureClient(main_);
            bool same = !bmp.empty() && DiffCount(again, bmp) == 0;
            bmp = again;
            return same;
        });
        return bmp;
    }
    static int DiffCount(const robot::Bitmap &a, const robot::Bitmap &b)
    {
        if (a.width() != b.width() || a.height() != b.height())
            return -1;
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                n += a.At(x, y) != b.At(x, y);
        return n;
    }
    static int Yellow(const robot::Bitmap &bmp, int button) { return bmp.CountColour(ButtonRect(button), kYellow); }
    static int YellowAnywhere(const robot::Bitmap &bmp)
    {
        return bmp.CountColour(RECT{0, 0, bmp.width(), bmp.height()}, kYellow);
    }
    void Hover(POINT pt) { robot::MouseMove(main_, pt.x, pt.y); }
};

bool Inside(const RECT &rc, int x, int y) { return x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom; }

// Colours between dark blue (0, 0, 160) and white, or dark blue and yellow.
bool IsBlueWhiteBlend(COLORREF c) { return GetRValue(c) == GetGValue(c) && GetBValue(c) >= 160 && GetBValue(c) >= GetRValue(c); }
bool IsBlueYellowBlend(COLORREF c) { return GetRValue(c) == GetGValue(c) && GetBValue(c) <= 160; }

// ---- Start-up and exit ----

TEST_F(MainWindow, StartsTitledCentredAndShownWhateverTheShowMode)
{
    int cxScreen = GetSystemMetrics(SM_CXSCREEN), cyScreen = GetSystemMetrics(SM_CYSCREEN);
    for (int show : {SW_HIDE, SW_SHOWMINIMIZED, SW_SHOWNORMAL}) {
        SCOPED_TRACE(show);
        Start(BuildFile("setup.exe"), show);
        EXPECT_TRUE(IsWindowVisible(main_));
        EXPECT_FALSE(IsIconic(main_));
        EXPECT_EQ(robot::Text(main_), "TARVELO Setup  -  qARNEL(tm) beta");
        RECT rc = robot::WindowRect(main_);
        EXPECT_EQ(rc.left, cxScreen / 2 - 290);
        EXPECT_EQ(rc.top, cyScreen / 2 - 230);
        EXPECT_EQ(rc.right - rc.left, MAIN_WIDTH);
        EXPECT_EQ(rc.bottom - rc.top, MAIN_HEIGHT);

        // Title bar and border only: no system menu, no size box, no minimise or maximise box.
        LONG style = GetWindowLongA(main_, GWL_STYLE);
        EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
        EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_POPUP | WS_CHILD), 0);
        EXPECT_EQ(GetWindowLongA(main_, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);
        // The client area is what that frame leaves of the window's size.
        RECT frame = {0, 0, 0, 0};
        AdjustWindowRectEx(&frame, style, FALSE, GetWindowLongA(main_, GWL_EXSTYLE));
        RECT client;
        GetClientRect(main_, &client);
        EXPECT_EQ(client.right, MAIN_WIDTH - (frame.right - frame.left));
        EXPECT_EQ(client.bottom, MAIN_HEIGHT - (frame.bottom - frame.top));
        EXPECT_GE(client.right, 560) << "the buttons must fit";
        app_.Kill();
    }
}

TEST_F(MainWindow, AltXEndsWithExitCodeZeroAlsoWhenTheKeyIsHeld)
{
    Start();
    ASSERT_TRUE(robot::TypeKeys(main_, 'X', true));
    EXPECT_EQ(ExitCode(), 0u);

    // Held: the repeated key-downs give more exit commands, so more destroy
    // messages, before the loop ends.
    Start();
    ASSERT_TRUE(robot::TypeKeys(main_, 'X', true, false, false, 5));
    EXPECT_EQ(ExitCode(), 0u);
}

TEST_F(MainWindow, MessagesAfterTheDestroyHandlingFindNothingToTouch)
{
    Start();
    // Highlight a button first, so the freed records would have been in use.
    Hover(ButtonCentre(1));
    ASSERT_TRUE(robot::Drain(main_));
    PostMessageA(main_, WM_DESTROY, 0, 0);
    Hover(ButtonCentre(2));
    robot::MouseDown(main_, ButtonCentre(2).x, ButtonCentre(2).y);
    PostMessageA(main_, WM_PAINT, 0, 0);
    InvalidateRect(main_, NULL, TRUE);
    PostMessageA(main_, WM_DESTROY, 0, 0);
    robot::Command(main_, IDM_EXIT);
    robot::Command(main_, IDM_EXIT);
    EXPECT_EQ(ExitCode(), 0u);
}

// ---- Painting ----

// The splash bitmap as the program carries it, in 24-bit colour.
std::vector<COLORREF> SplashPixels(int *width, int *height)
{
    HBITMAP bmp = static_cast<HBITMAP>(
        LoadImageA(Program(), MAKEINTRESOURCEA(IDB_SPLASH), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    std::vector<COLORREF> pixels;
    if (!bmp)
        return pixels;
    BITMAP info;
    GetObjectA(bmp, sizeof info, &info);
    *width = info.bmWidth;
    *height = info.bmHeight;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = info.bmWidth;
    bi.bmiHeader.biHeight = -info.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<DWORD> raw(size_t(info.bmWidth) * info.bmHeight);
    HDC dc = GetDC(NULL);
    GetDIBits(dc, bmp, 0, info.bmHeight, raw.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(NULL, dc);
    DeleteObject(bmp);
    for (DWORD p : raw)
        pixels.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    return pixels;
}

TEST_F(MainWindow, PaintsSplashOnWhiteWithFourOutlinedButtonsAndTheFooter)
{
    Start();
    robot::Bitmap bmp = Capture();
    ASSERT_FALSE(bmp.empty());
    int cx = 0, cy = 0;
    std::vector<COLORREF> splash = SplashPixels(&cx, &cy);
    ASSERT_EQ(cx, 380);
    ASSERT_EQ(cy, 368);
    const RECT splashRect = {SPLASH_LEFT, SPLASH_TOP, SPLASH_LEFT + cx, SPLASH_TOP + cy};
    const RECT footer = {0, FOOTER_TOP, MAIN_WIDTH, MAIN_HEIGHT};

    int splashWrong = 0, backgroundWrong = 0;
    for (int y = 0; y < bmp.height(); ++y) {
        for (int x = 0; x < bmp.width(); ++x) {
            bool onButton = false;
            for (int i = 0; i < 4; ++i)
                onButton |= Inside(ButtonRect(i), x, y);
            if (onButton)
                continue;
            if (Inside(splashRect, x, y))
                splashWrong += bmp.At(x, y) != splash[size_t(y - SPLASH_TOP) * cx + (x - SPLASH_LEFT)];
            else if (!Inside(footer, x, y))
                backgroundWrong += bmp.At(x, y) != kWhite;
        }
    }
    EXPECT_EQ(splashWrong, 0) << "the splash's own pixels at its corner";
    EXPECT_EQ(backgroundWrong, 0) << "white everywhere else";

    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        RECT rc = ButtonRect(i);
        // One black pixel of outline all round, intact on all four sides: the
        // caption's opaque cells fit inside it with Arial's metrics.
        int outlineWrong = 0;
        for (int x = rc.left; x < rc.right; ++x)
            outlineWrong += (bmp.At(x, rc.top) != kBlack) + (bmp.At(x, rc.bottom - 1) != kBlack);
        for (int y = rc.top; y < rc.bottom; ++y)
            outlineWrong += (bmp.At(rc.left, y) != kBlack) + (bmp.At(rc.right - 1, y) != kBlack);
        EXPECT_EQ(outlineWrong, 0) << "outline pixels that are not black";
        // Dark blue inside with a white caption: every pixel is one of the
        // two or, at the letters' smoothed edges, a blend of them.
        RECT inside = {rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
        int blue = bmp.CountColour(inside, kDarkBlue), white = bmp.CountColour(inside, kWhite);
        int area = (inside.right - inside.left) * (inside.bottom - inside.top);
        EXPECT_GT(blue, area / 2);
        EXPECT_GT(white, 100) << "caption";
        EXPECT_EQ(bmp.Count(inside, [](COLORREF c) { return !IsBlueWhiteBlend(c); }), 0);
    }
    EXPECT_EQ(YellowAnywhere(bmp), 0) << "nothing is highlighted before the pointer moves";

    // The footer: grey text on white, two lines from the top of its rectangle, left-aligned.
    auto grey = [](COLORREF c) { return GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c) && GetRValue(c) < 255; };
    EXPECT_EQ(bmp.Count(footer, [&](COLORREF c) { return c != kWhite && !grey(c); }), 0);
    EXPECT_GT(bmp.CountColour(footer, RGB(160, 160, 160)), 0) << "the footer's grey";
    EXPECT_EQ(bmp.Count(footer, [](COLORREF c) { return GetRValue(c) < 160; }), 0) << "nothing darker than grey";
    EXPECT_GT(bmp.Count(RECT{0, FOOTER_TOP, MAIN_WIDTH, 403}, grey), 0) << "first line at the top";
    EXPECT_GT(bmp.Count(RECT{0, 404, MAIN_WIDTH, 413}, grey), 0) << "second line below it";
    EXPECT_EQ(bmp.Count(RECT{0, 416, MAIN_WIDTH, MAIN_HEIGHT}, grey), 0) << "two lines only";
    EXPECT_GT(bmp.Count(RECT{0, FOOTER_TOP, 20, 413}, grey), 0) << "left-aligned";
}

// ---- Hover and press ----

TEST_F(MainWindow, HoverTurnsTheCaptionOfExactlyThatButtonYellow)
{
    Start();
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        Hover(ButtonCentre(i));
        robot::Bitmap bmp = Capture();
        for (int j = 0; j < 4; ++j) {
            RECT rc = ButtonRect(j);
            RECT inside = {rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1};
            if (j == i) {
                EXPECT_GT(Yellow(bmp, j), 50);
                EXPECT_EQ(bmp.Count(inside, [](COLORREF c) { return !IsBlueYellowBlend(c); }), 0);
            } else {
                EXPECT_EQ(Yellow(bmp, j), 0) << j;
                EXPECT_EQ(bmp.Count(inside, [](COLORREF c) { return !IsBlueWhiteBlend(c); }), 0) << j;
            }
        }
        EXPECT_EQ(YellowAnywhere(bmp), Yellow(bmp, i));
    }

    // The strict edges: the left and top outline do not count, the right and bottom do.
    Hover(POINT{260, 90});
    EXPECT_EQ(YellowAnywhere(Capture()), 0);
    Hover(POINT{261, 76});
    EXPECT_GT(Yellow(Capture(), 0), 0);
    Hover(POINT{400, 75});
    EXPECT_EQ(YellowAnywhere(Capture()), 0);
    Hover(POINT{559, 104});
    EXPECT_GT(Yellow(Capture(), 0), 0);
    Hover(POINT{400, 105});
    EXPECT_EQ(YellowAnywhere(Capture()), 0);
}

// How many pixels of a button the caption covers in one picture and not in
// the other, or the other way round.
int ShapeDifference(const robot::Bitmap &a, const robot::Bitmap &b, int button)
{
    RECT rc = ButtonRect(button);
    int n = 0;
    for (int y = rc.top + 1; y < rc.bottom - 1; ++y)
        for (int x = rc.left + 1; x < rc.right - 1; ++x)
            n += (a.At(x, y) != kDarkBlue) != (b.At(x, y) != kDarkBlue);
    return n;
}

TEST_F(MainWindow, MovingStraightFromOneButtonOntoAnotherRepaintsBoth)
{
    Start();
    robot::Bitmap normal = Capture();
    Hover(ButtonCentre(1));
    robot::Bitmap before = Capture();
    ASSERT_GT(Yellow(before, 1), 0);
    // Not only yellow but slanted: the letters cover other pixels.
    EXPECT_GT(ShapeDifference(normal, before, 1), 200) << "italic when highlighted";
    EXPECT_EQ(ShapeDifference(normal, before, 2), 0);
    Hover(ButtonCentre(2));
    robot::Bitmap after = Capture();
    EXPECT_EQ(Yellow(after, 1), 0);
    EXPECT_GT(after.CountColour(ButtonRect(1), kWhite), 100) << "white again";
    EXPECT_EQ(ShapeDifference(normal, after, 1), 0) << "upright again";
    EXPECT_GT(Yellow(after, 2), 0);

    // Moving within a button changes nothing.
    Hover(POINT{ButtonCentre(2).x + 100, ButtonCentre(2).y + 5});
    EXPECT_EQ(DiffCount(Capture(), after), 0);
}

TEST_F(MainWindow, PressIssuesTheHighlightedButtonsCommandOnlyAndOnce)
{
    Start();
    // Nothing highlighted: a press anywhere issues nothing.
    robot::MouseDown(main_, ButtonCentre(0).x, ButtonCentre(0).y);
    Hover(POINT{400, 120});
    robot::MouseDown(main_, 400, 120);
    ASSERT_TRUE(robot::Drain(main_));
    EXPECT_TRUE(OtherWindows().empty());
    EXPECT_TRUE(app_.Running());

    // Install highlighted: one licence dialog; after No, no second one.
    Hover(ButtonCentre(0));
    robot::MouseDown(main_, ButtonCentre(0).x, ButtonCentre(0).y);
    HWND licence = robot::WaitForDialog(app_.pid(), "Software License Agreement");
    ASSERT_NE(licence, (HWND)NULL);
    robot::Press(licence, IDC_NO);
    ASSERT_TRUE(robot::WaitGone(licence));
    ASSERT_TRUE(robot::Drain(main_));
    EXPECT_TRUE(OtherWindows().empty());

    // The highlight decides, not where the press is: Exit highlighted, press in a corner.
    Hover(ButtonCentre(3));
    robot::MouseDown(main_, 5, 5);
    EXPECT_EQ(ExitCode(), 0u);

    // And a plain press on the Exit button.
    Start();
    Hover(ButtonCentre(3));
    robot::MouseDown(main_, ButtonCentre(3).x, ButtonCentre(3).y);
    EXPECT_EQ(ExitCode(), 0u);
}

// ---- Accelerators, release notes and web page ----

// The stand-in programs record how they were started into one log.
class Commands : public MainWindow {
protected:
    void SetUp() override
    {
        MainWindow::SetUp();
        wordpad_.SetString(BuildFile("recorder.exe"));
        browser_.SetString("\"" + BuildFile("recorder.exe") + "\" \"%1\"");
    }
    void StartRecorded(const std::string &exe = BuildFile("setup.exe"))
    {
        Start(exe, SW_SHOWNORMAL, {{"SETUP_RECORDER_LOG", log_}});
    }
    // The next line the stand-ins wrote, or "" after a while.
    std::string NextLaunch()
    {
        std::string line;
        robot::WaitUntil(
            [&] {
                std::string all = Log();
                size_t end = all.find('\n', seen_);
                if (end == std::string::npos)
                    return false;
                line = all.substr(seen_, end - seen_);
                seen_ = end + 1;
                return true;
            },
            5000);
        return line;
    }
    static bool EndsWith(const std::string &s, const std::string &end)
    {
        return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
    }

    std::string Log() { return FileExists(log_) ? ReadText(log_) : std::string(); }

    TempDir logDir_;
    std::string log_ = logDir_ / "launches.txt";
    size_t seen_ = 0;
    ScopedRegValue wordpad_{HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\wordpad.exe", ""};
    ScopedRegValue browser_{HKEY_LOCAL_MACHINE, "Software\\Classes\\http\\shell\\open\\command", ""};
};

TEST_F(Commands, ReleaseNotesOpenTheReadmeBesideTheSetupInWordpadMaximised)
{
    RemoveTree("C:\\DIST");
    ASSERT_TRUE(CreateDirectoryA("C:\\DIST", NULL));
    ASSERT_TRUE(CopyFileA(BuildFile("setup.exe").c_str(), "C:\\DIST\\SETUP.EXE", FALSE));
    StartRecorded("C:\\DIST\\SETUP.EXE");

    ASSERT_TRUE(robot::TypeKeys(main_, 'N', true));
    std::string launch = NextLaunch();
    EXPECT_EQ(launch.substr(0, 7), "show=3|") << launch;
    EXPECT_TRUE(EndsWith(launch, " \"C:\\DIST\\readme.doc\"")) << launch;

    Hover(ButtonCentre(1));
    robot::MouseDown(main_, ButtonCentre(1).x, ButtonCentre(1).y);
    EXPECT_TRUE(EndsWith(NextLaunch(), " \"C:\\DIST\\readme.doc\""));
    EXPECT_TRUE(app_.Running());
    app_.Kill();
    RemoveTree("C:\\DIST");
}

TEST_F(Commands, WebPageGoesToTheRegisteredBrowser)
{
    StartRecorded();
    ASSERT_TRUE(robot::TypeKeys(main_, 'V', true));
    std::string launch = NextLaunch();
    EXPECT_TRUE(EndsWith(launch, "\"" + String(IDS_WEB_ADDRESS) + "\"")) << launch;
    ASSERT_TRUE(robot::Drain(main_));
    EXPECT_TRUE(OtherWindows().empty()) << "no message when the browser starts";
}

TEST_F(Commands, WebPageWithoutABrowserTellsTheAddressAndKeepsRunning)
{
    browser_.SetString("\"C:\\no-such-dir\\browser.exe\" \"%1\"");
    StartRecorded();
    robot::Command(main_, IDM_WEBSITE);
    // The system reports the failed launch its own way first.
    robot::MessageBox box;
    ASSERT_TRUE(robot::WaitForMessageBox(app_.pid(), &box));
    if (box.caption != String(IDS_NOBROWSER_CAPTION)) {
        robot::Press(box.hwnd, IDOK);
        ASSERT_TRUE(robot::WaitGone(box.hwnd));
        ASSERT_TRUE(robot::WaitForMessageBox(app_.pid(), &box, 10000, String(IDS_NOBROWSER_CAPTION).c_str()));
    }
    EXPECT_EQ(box.caption, "Unable to find web browser");
    EXPECT_EQ(box.text, String(IDS_NOBROWSER));
    EXPECT_EQ(box.owner, main_);
    ASSERT_EQ(box.buttons.size(), 1u);
    EXPECT_EQ(box.buttons[0].first, IDOK);
    robot::Press(box.hwnd, IDOK);
    ASSERT_TRUE(robot::WaitGone(box.hwnd));

    EXPECT_TRUE(app_.Running());
    ASSERT_TRUE(robot::TypeKeys(main_, 'X', true));
    EXPECT_EQ(ExitCode(), 0u);
    EXPECT_EQ(Log(), "") << "nothing was started";
}

TEST_F(Commands, AcceleratorsNeedAltAloneAndOnlyTheMainLoopHasThem)
{
    StartRecorded();
    // Without Alt, or with Ctrl or Shift as well: nothing.
    ASSERT_TRUE(robot::TypeKeys(main_, 'X', false));
    ASSERT_TRUE(robot::TypeKeys(main_, 'X', true, true));
    ASSERT_TRUE(robot::TypeKeys(main_, 'X', true, false, true));
    ASSERT_TRUE(robot::TypeKeys(main_, 'N', true, true));
    ASSERT_TRUE(robot::Drain(main_));
    EXPECT_TRUE(app_.Running());
    EXPECT_EQ(Log(), "");

    // Alt+I opens the licence dialog; inside it Alt+X does nothing.
    ASSERT_TRUE(robot::TypeKeys(main_, 'I', true));
    HWND licence = robot::WaitForDialog(app_.pid(), "Software License Agreement");
    ASSERT_NE(licence, (HWND)NULL);
    ASSERT_TRUE(robot::TypeKeys(licence, 'X', true));
    ASSERT_TRUE(robot::Drain(licence));
    EXPECT_TRUE(IsWindowVisible(licence));
    EXPECT_TRUE(app_.Running());
    robot::Press(licence, IDC_NO);
    ASSERT_TRUE(robot::WaitGone(licence));
    ASSERT_TRUE(robot::TypeKeys(main_, 'X', true));
    EXPECT_EQ(ExitCode(), 0u);
}

}  // namespace
