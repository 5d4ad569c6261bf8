// The Install command driven through the robot as a user would: the dialogs
// answered, the message boxes that follow collected, and what an install
// leaves on the desktop and on the emulated device checked (install_test.cpp,
// robustness_test.cpp).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_walk.h"
#include "robot.h"
#include "test_support.h"
#include "ui_support.h"

namespace install_support {

using namespace testing_support;

inline const char kCompletedText[] =
    "The qARNEL beta has successfully been installed on your Handheld PC.\r\rWould you like to view the release "
    "notes now?";
inline const char kAppDir[] = "Program Files\\qARNEL Beta";

using dialog_walk::Books;

struct Step {   // one message box as the user met it
    std::string caption, text;
};

class Install : public ui::SetupApp {
protected:
    void Device(const std::string &cpu, unsigned long freeSpace, const std::string &extra = "")
    {
        WriteText(device_ / "device.ini", "[Device]\r\nAttached=1\r\nProcessor=" + cpu + "\r\nFreeSpace=" +
                                               std::to_string(freeSpace) + "\r\n" + extra);
    }
    std::string Store(const std::string &devicePath) const { return device_.path() + "\\store" + devicePath; }
    std::string DeviceLog() const { return FileExists(device_ / "device.log") ? ReadText(device_ / "device.log") : ""; }

    // Runs the dialogs with Alt+I; false when one of them did not show up.
    bool RunDialogs(const Books &books)
    {
        dialog_walk::Answers answers;
        answers.books = books;
        return robot::TypeKeys(main_, 'I', true) && dialog_walk::Walk(app_.pid(), answers).Through();
    }

    // Answers the message boxes that follow until the main window is alone
    // again: Yes or No to the closing question, OK to everything else.
    std::vector<Step> Answer(bool notes)
    {
        std::vector<Step> steps;
        robot::WaitUntil(
            [&] {
                robot::MessageBox box;
                if (robot::WaitForMessageBox(app_.pid(), &box, 50)) {
                    EXPECT_EQ(box.owner, main_) << box.text;
                    steps.push_back({box.caption, box.text});
                    robot::Press(box.hwnd, box.caption == "Setup Completed" ? (notes ? IDYES : IDNO) : IDOK);
                    robot::WaitGone(box.hwnd, 5000);
                }
                // Drained: the command is over, or waits in a box of its own.
                return OtherWindows().empty() && robot::Drain(main_, 30000) && OtherWindows().empty() &&
                       IsWindowEnabled(main_);
            },
            60000);
        return steps;
    }

    void ExpectInstalled(const std::string &cpu, const Books &books)
    {
        // The payload on the desktop, byte for byte, and the copies beside it.
        for (const DistRecord &r : DistManifest()) {
            std::string target = desktopDir_ + (r.dir == "." ? "" : "\\" + r.dir) + "\\" + r.name;
            EXPECT_EQ(ReadBytes(target), ReadBytes(SourceFile("dist/" + r.source))) << target;
        }
        EXPECT_EQ(ReadBytes(desktopDir_ + "\\setup.exe"), ReadBytes(BuildFile("setup.exe")));
        EXPECT_EQ(ReadBytes(desktopDir_ + "\\readme.doc"), ReadBytes(SourceFile("dist/readme.doc")));
        std::vector<unsigned char> record = ReadBytes(desktopDir_ + "\\UserInfo.dat");
        ASSERT_EQ(record.size(), 2564u);
        EXPECT_STREQ(reinterpret_cast<const char *>(&record[4]), "Ann Lee");
        std::string form = ReadText(desktopDir_ + "\\register.txt");
        EXPECT_NE(form.find("\r\nAnn Lee\r\nLee Ltd\r\n"), std::string::npos) << form;
        EXPECT_NE(form.find("\r\nFax:     555-0100\r\n"), std::string::npos) << form;

        // The script for the chosen books: six lines of its own, and for each
        // chosen book its folder and a line for each file the manifest lists.
        const bool chosen[3] = {books.film, books.news, books.custom};
        const std::vector<DistRecord> manifest = DistManifest();
        std::string script = ReadText(desktopDir_ + "\\qArnel.ld");
        size_t lines = 0, expectedLines = 6;
        for (char c : script)
            lines += c == '\n';
        for (int i = 0; i < 3; ++i)
            expectedLines += chosen[i] ? 1 + BookRecords(manifest, kDistBooks[i]).size() : 0;
        EXPECT_EQ(lines, expectedLines) << script;

        // The device: the processor's build as the application, the help, the
        // chosen books only, two shortcuts, and the start.
        std::string build = cpu == "SH3" ? "qARNEL.exe.sh3" : "qARNEL.exe.mips";
        EXPECT_EQ(ReadBytes(Store(std::string("\\") + kAppDir + "\\qARNEL.exe")),
                  ReadBytes(SourceFile("dist/payload/" + build)));
        EXPECT_EQ(ReadBytes(Store("\\Windows\\qARNEL.htc")), ReadBytes(SourceFile("dist/payload/qARNEL.htc")));
        std::string booksDir = Store(std::string("\\") + kAppDir + "\\Books\\");
        for (int i = 0; i < 3; ++i)
            for (const DistRecord &r : BookRecords(manifest, kDistBooks[i]))
                EXPECT_EQ(FileExists(booksDir + kDistBooks[i].deviceDir + "\\" + r.name), chosen[i]) << r.name;
        EXPECT_TRUE(DirExists(booksDir));
        EXPECT_TRUE(FileExists(Store("\\Windows\\Programs\\qARNEL Beta.lnk")));
        EXPECT_TRUE(FileExists(Store("\\Windows\\Desktop\\qARNEL Beta.lnk")));
        EXPECT_NE(DeviceLog().find("PegCreateProcess \"\\Program Files\\qARNEL Beta\\qARNEL.exe\" = 1 started"),
                  std::string::npos)
            << DeviceLog();
    }
};

}  // namespace install_support
