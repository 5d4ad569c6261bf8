// The window-free half of the user interface: the command-button list, its
// strict hit test and hover tracking, dialog placement, the release-notes
// parameters and the room left for the install suffix.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/placement.h"
#include "res/resource.h"
#include "settings/desktop_dir.h"
#include "shell/button_list.h"
#include "shell/release_notes.h"

namespace {

class Buttons : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset()
    {
        FreeCommandButtons();
        g_xNextButton = 260;
        g_yNextButton = 75;
        g_idNextButton = IDM_INSTALL;
    }
    static void AddFour()
    {
        const char *captions[] = {"  &Install the 'qARNEL' beta ", "  View the Release &Notes  ",
                                  "  &Visit Our Web Site  ", "  E&xit Setup  "};
        for (const char *caption : captions)
            ASSERT_TRUE(AppendCommandButton(caption));
    }
    // Moves the pointer; returns the ids of the buttons whose flag changed.
    static std::vector<int> Move(uint16_t x, uint16_t y)
    {
        std::vector<int> changed;
        TrackButtonHover(
            x, y,
            [](const CommandButton *pButton, void *pContext) {
                static_cast<std::vector<int> *>(pContext)->push_back(pButton->idCommand);
            },
            &changed);
        return changed;
    }
    static std::vector<const CommandButton *> List()
    {
        std::vector<const CommandButton *> list;
        for (const CommandButton *p = g_pButtonHead; p; p = p->pNext)
            list.push_back(p);
        return list;
    }
};

TEST_F(Buttons, FourButtonsStackDownwardWithConsecutiveIdsAndOwnCaptions)
{
    char caption[] = "  E&xit Setup  ";
    AddFour();
    auto list = List();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(g_pButtonTail, list[3]);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list[i]->idCommand, IDM_INSTALL + i);
        EXPECT_EQ(list[i]->rc.left, 260);
        EXPECT_EQ(list[i]->rc.top, 75 + 60 * i);
        EXPECT_EQ(list[i]->rc.right, 560);
        EXPECT_EQ(list[i]->rc.bottom, 105 + 60 * i);
        EXPECT_EQ(list[i]->fHover, 0);
    }
    EXPECT_EQ(g_yNextButton, 315);
    EXPECT_EQ(g_idNextButton, IDM_EXIT + 1u);
    EXPECT_EQ(g_xNextButton, 260);
    EXPECT_STREQ(list[0]->pszText, "  &Install the 'qARNEL' beta ");
    // The record holds a copy, not the caller's buffer.
    EXPECT_NE(list[3]->pszText, caption);
    EXPECT_STREQ(list[3]->pszText, caption);
    EXPECT_STREQ(AppendCommandButton("") ? g_pButtonTail->pszText : "?", "");
}

TEST_F(Buttons, HitTestCountsOnlyThePixelsInsideTheTopAndLeftOutline)
{
    AddFour();
    const BUTTONRECT &install = g_pButtonHead->rc;
    for (auto pt : {std::make_pair(261, 76), std::make_pair(559, 104), std::make_pair(400, 90)})
        EXPECT_TRUE(IsInsideButton(install, pt.first, pt.second)) << pt.first << "," << pt.second;
    for (auto pt : {std::make_pair(260, 90), std::make_pair(560, 90), std::make_pair(400, 75),
                    std::make_pair(400, 105), std::make_pair(-400, -90)})
        EXPECT_FALSE(IsInsideButton(install, pt.first, pt.second)) << pt.first << "," << pt.second;

    for (const CommandButton *p : List()) {
        SCOPED_TRACE(p->idCommand);
        EXPECT_TRUE(IsInsideButton(p->rc, p->rc.left + 1, p->rc.top + 1));
        EXPECT_TRUE(IsInsideButton(p->rc, p->rc.right - 1, p->rc.bottom - 1));
        EXPECT_FALSE(IsInsideButton(p->rc, p->rc.left, p->rc.top + 1));
        EXPECT_FALSE(IsInsideButton(p->rc, p->rc.left + 1, p->rc.top));
        EXPECT_FALSE(IsInsideButton(p->rc, p->rc.right, p->rc.bottom - 1));
        EXPECT_FALSE(IsInsideButton(p->rc, p->rc.right - 1, p->rc.bottom));
    }
}

TEST_F(Buttons, HoverChangesOnlyWhenThePointerCrossesAnEdge)
{
    AddFour();
    EXPECT_EQ(HoveredButton(), nullptr);
    EXPECT_EQ(Move(400, 90), std::vector<int>{IDM_INSTALL});
    EXPECT_EQ(HoveredButton(), g_pButtonHead);
    // Within the same button, then within the gap below it: one change only.
    EXPECT_TRUE(Move(300, 100).empty());
    EXPECT_EQ(Move(400, 120), std::vector<int>{IDM_INSTALL});
    EXPECT_TRUE(Move(450, 130).empty());
    EXPECT_EQ(HoveredButton(), nullptr);

    // Straight from one button onto another: both change, in list order.
    EXPECT_EQ(Move(400, 150), std::vector<int>{IDM_RELEASENOTES});
    EXPECT_EQ(Move(400, 270), (std::vector<int>{IDM_RELEASENOTES, IDM_EXIT}));
    EXPECT_EQ(HoveredButton()->idCommand, IDM_EXIT);
    EXPECT_EQ(Move(400, 90), (std::vector<int>{IDM_INSTALL, IDM_EXIT}));

    // Coordinates are unsigned 16-bit: a pointer left of the window (x -1) is far right.
    EXPECT_EQ(Move(0xFFFF, 90), std::vector<int>{IDM_INSTALL});
    EXPECT_EQ(HoveredButton(), nullptr);
}

TEST_F(Buttons, FreedListIsEmptyAndSurvivesLaterMessagesAndASecondFree)
{
    AddFour();
    Move(400, 150);
    FreeCommandButtons();
    EXPECT_EQ(g_pButtonHead, nullptr);
    EXPECT_EQ(g_pButtonTail, nullptr);
    // What a paint, a mouse move, a press and a second destroy would reach.
    EXPECT_TRUE(List().empty());
    EXPECT_TRUE(Move(400, 90).empty());
    EXPECT_EQ(HoveredButton(), nullptr);
    FreeCommandButtons();
    EXPECT_EQ(g_pButtonHead, nullptr);
}

TEST(Placement, CentresOverTheOwnerWithTheOddPixelOnTheRight)
{
    // Main window 580 wide at 222 on a 1024 screen; dialog 479 wide: W - w = 101.
    EXPECT_EQ(CenteredOrigin(479, 222, 580, 1024), 222 + 50);
    EXPECT_EQ(CenteredOrigin(300, 154, 460, 768), 154 + 80);
    // Negative differences halve toward zero: -5 gives -2.
    EXPECT_EQ(CenteredOrigin(585, 222, 580, 1024), 220);
    EXPECT_EQ(CenteredOrigin(680, 222, 580, 1024), 172);
}

TEST(Placement, PushesBackOntoTheScreen)
{
    // Too far left or up: 0.
    EXPECT_EQ(CenteredOrigin(400, -300, 580, 1024), 0);
    // Too far right or down: the far edge on the screen's edge.
    EXPECT_EQ(CenteredOrigin(400, 800, 580, 1024), 624);
    EXPECT_EQ(CenteredOrigin(300, 600, 460, 768), 468);
    // Sticking out a little but the centred dialog still fits: stays centred.
    EXPECT_EQ(CenteredOrigin(400, -50, 580, 1024), 40);
    EXPECT_EQ(CenteredOrigin(400, 500, 580, 1024), 590);
    // Exactly touching either edge is on the screen.
    EXPECT_EQ(CenteredOrigin(400, -90, 580, 1024), 0);
    EXPECT_EQ(CenteredOrigin(400, 534, 580, 1024), 624);
}

TEST(Placement, DialogLargerThanTheScreen)
{
    // Centred x negative: 0, the right part off the screen.
    EXPECT_EQ(CenteredOrigin(1200, 222, 580, 1024), 0);
    // Centred x zero or more: right edge on the screen's edge, x negative.
    EXPECT_EQ(CenteredOrigin(1200, 400, 580, 1024), -176);
    EXPECT_EQ(CenteredOrigin(1200, 310, 580, 1024), -176);
    EXPECT_EQ(CenteredOrigin(900, 300, 460, 768), -132);
}

TEST(ReleaseNotes, QuotedReadmePathBesideTheSetup)
{
    char sz[CCH_RELEASE_NOTES];
    ASSERT_TRUE(ReleaseNotesParameters("C:\\DIST\\SETUP.EXE", sz, sizeof sz));
    EXPECT_STREQ(sz, "\"C:\\DIST\\readme.doc\"");
    ASSERT_TRUE(ReleaseNotesParameters("\\\\server\\share\\a b\\setup.exe", sz, sizeof sz));
    EXPECT_STREQ(sz, "\"\\\\server\\share\\a b\\readme.doc\"");
    ASSERT_TRUE(ReleaseNotesParameters("C:\\setup.exe", sz, sizeof sz));
    EXPECT_STREQ(sz, "\"C:\\readme.doc\"");
    EXPECT_FALSE(ReleaseNotesParameters("setup.exe", sz, sizeof sz));
}

TEST(ReleaseNotes, LongDirectoryFitsToTheLastByteAndNoFurther)
{
    // quote + directory + readme.doc" + NUL = 512 at the most.
    std::string dir = "C:\\" + std::string(495, 'd') + "\\";
    ASSERT_EQ(1 + dir.size() + 11 + 1, 512u);
    std::vector<char> buf(CCH_RELEASE_NOTES + 8, '#');
    ASSERT_TRUE(ReleaseNotesParameters((dir + "setup.exe").c_str(), buf.data(), CCH_RELEASE_NOTES));
    EXPECT_EQ(std::string(buf.data()), "\"" + dir + "readme.doc\"");
    std::string longer = "C:\\" + std::string(496, 'd') + "\\setup.exe";
    EXPECT_FALSE(ReleaseNotesParameters(longer.c_str(), buf.data(), CCH_RELEASE_NOTES));
    EXPECT_EQ(std::string(buf.data() + CCH_RELEASE_NOTES, 8), "########");
}

TEST(InstallSuffix, FitsBehindFoldersOfUpTo244Characters)
{
    EXPECT_EQ(strlen(c_szPickedFolderSuffix), 15u);
    EXPECT_STREQ(c_szPickedFolderSuffix, "\\tarvelo\\qARNEL");
    EXPECT_TRUE(PickedFolderSuffixFits("C:\\"));
    EXPECT_TRUE(PickedFolderSuffixFits(("C:\\" + std::string(241, 'f')).c_str()));
    EXPECT_FALSE(PickedFolderSuffixFits(("C:\\" + std::string(242, 'f')).c_str()));
}

}  // namespace
