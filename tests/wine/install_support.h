// The Install command driven through the robot as a user would: the dialogs
// answered, the message boxes that follow collected, and what an install
// leaves on the desktop and on the emulated device checked (install_test.cpp,
// robustness_test.cpp).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
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

struct Step {   // one message box as the user met it
    std::string caption, text;
};

// A payload file as the built setup carries it (edition 0), or as a second
// setup whose every file differs carries it (edition 1): a line of its own,
// then the first half of the first edition's bytes, so that most files are
// shorter than the ones they replace.
inline std::vector<unsigned char> PayloadFile(const DistRecord &r, int edition = 0)
{
    std::vector<unsigned char> bytes = ReadBytes(SourceFile("dist/" + r.source));
    if (edition == 0)
        return bytes;
    std::string head = "second setup: " + r.name + "\r\n";
    std::vector<unsigned char> second(head.begin(), head.end());
    second.insert(second.end(), bytes.begin(), bytes.begin() + bytes.size() / 2);
    return second;
}

inline std::string Field(const dialog_walk::Answers &person, int id)
{
    for (const auto &field : person.fields)
        if (field.first == id)
            return field.second;
    return "";
}

class Install : public ui::SetupApp {
protected:
    ~Install() override { app_.Kill(); }   // before its folder goes

    // Starts the program (by default the build's setup.exe) as SetupApp does.
    // With Windows 95's file answers to play (win95Files_, from
    // SETUP_WIN95_FILES, as in win32.install_test.win95) it runs from a folder
    // of its own: a copy of it byte for byte, its release notes, and the
    // test build of ppcload.dll that plays them (support/win95_files.cpp),
    // which the system finds there first. Each answer played is logged to
    // Win95Log().
    void Start(const std::string &exe = BuildFile("setup.exe"), int show = SW_SHOWNORMAL,
               std::vector<std::pair<std::string, std::string>> env = {})
    {
        program_ = exe;
        if (!win95Files_.empty()) {
            app_.Kill();
            copy_.reset(new TempDir);
            program_ = *copy_ / "setup.exe";
            std::string dir = exe.substr(0, exe.find_last_of('\\') + 1);
            ASSERT_TRUE(CopyFileA(exe.c_str(), program_.c_str(), TRUE)) << exe;
            ASSERT_EQ(ReadBytes(program_), ReadBytes(exe));
            CopyFileA((dir + "readme.doc").c_str(), (*copy_ / "readme.doc").c_str(), TRUE);
            ASSERT_TRUE(CopyFileA(BuildFile("win95\\ppcload.dll").c_str(), (*copy_ / "ppcload.dll").c_str(), TRUE))
                << "the test build of ppcload.dll";
            env.push_back({"SETUP_WIN95_FILES", win95Files_});
            env.push_back({"SETUP_WIN95_FILES_LOG", Win95Log()});
        }
        ui::SetupApp::Start(program_, show, std::move(env));
    }
    // The folder of the running program, with its release notes.
    std::string ProgramDir() const { return program_.substr(0, program_.find_last_of('\\')); }
    std::string Win95Log() const { return logDir_ / "win95-files.txt"; }

    void Device(const std::string &cpu, unsigned long freeSpace, const std::string &extra = "")
    {
        WriteText(device_ / "device.ini", "[Device]\r\nAttached=1\r\nProcessor=" + cpu + "\r\nFreeSpace=" +
                                               std::to_string(freeSpace) + "\r\n" + extra);
    }
    std::string Store(const std::string &devicePath) const { return device_.path() + "\\store" + devicePath; }
    std::string DeviceLog() const { return FileExists(device_ / "device.log") ? ReadText(device_ / "device.log") : ""; }

    // Runs the dialogs with Alt+I, the person's answers and those books;
    // false when one of them did not show up.
    bool RunDialogs(BookSet books, dialog_walk::Answers answers = dialog_walk::Answers())
    {
        answers.books = books;
        return robot::TypeKeys(main_, 'I', true) && dialog_walk::Walk(app_.pid(), answers).Through();
    }

    // Answers the message boxes that follow until the main window is alone
    // again: Yes or No to the closing question, OK to everything else.
    std::vector<Step> Answer(bool notes)
    {
        std::vector<Step> steps;
        robot::AnswerMessageBoxes(app_.pid(), main_, [&](const robot::MessageBox &box) {
            EXPECT_EQ(box.owner, main_) << box.text;
            steps.push_back({box.caption, box.text});
            return box.caption == "Setup Completed" ? (notes ? IDYES : IDNO) : IDOK;
        });
        return steps;
    }

    // The desktop path of a payload record's file.
    std::string Target(const DistRecord &r) const
    {
        return desktopDir_ + (r.dir == "." ? "" : "\\" + r.dir) + "\\" + r.name;
    }

    // What the running program's install left, its payload of that edition
    // (PayloadFile) and the person as the user-information dialog got it.
    void ExpectInstalled(const std::string &cpu, BookSet books, int edition = 0,
                         const dialog_walk::Answers &person = dialog_walk::Answers())
    {
        // The payload on the desktop, byte for byte, and the copies beside it.
        for (const DistRecord &r : DistManifest())
            EXPECT_EQ(ReadBytes(Target(r)), PayloadFile(r, edition)) << Target(r);
        EXPECT_EQ(ReadBytes(desktopDir_ + "\\setup.exe"), ReadBytes(program_));
        EXPECT_EQ(ReadBytes(desktopDir_ + "\\readme.doc"), ReadBytes(SourceFile("dist/readme.doc")));
        std::vector<unsigned char> record = ReadBytes(desktopDir_ + "\\UserInfo.dat");
        ASSERT_EQ(record.size(), 2564u);
        EXPECT_STREQ(reinterpret_cast<const char *>(&record[4]), Field(person, IDC_NAME).c_str());
        std::string form = ReadText(desktopDir_ + "\\register.txt");
        EXPECT_NE(form.find("\r\n" + Field(person, IDC_NAME) + "\r\n" + Field(person, IDC_COMPANY) + "\r\n"),
                  std::string::npos)
            << form;
        EXPECT_NE(form.find("\r\nFax:     " + Field(person, IDC_FAX) + "\r\n"), std::string::npos) << form;

        // The script for the chosen books: six lines of its own, and for each
        // chosen book its folder and a line for each file the manifest lists.
        const std::vector<DistRecord> manifest = DistManifest();
        std::string script = ReadText(desktopDir_ + "\\qArnel.ld");
        size_t lines = 0, expectedLines = 6;
        for (char c : script)
            lines += c == '\n';
        for (int i = 0; i < CBOOKS; ++i)
            expectedLines += Takes(books, i) ? 1 + BookRecords(manifest, c_rgBooks[i]).size() : 0;
        EXPECT_EQ(lines, expectedLines) << script;

        // The device: the processor's build as the application, the help, the
        // chosen books only, two shortcuts, and the start.
        std::string build = cpu == "SH3" ? "qARNEL.exe.sh3" : "qARNEL.exe.mips";
        for (const DistRecord &r : manifest) {
            if (r.name == build)
                EXPECT_EQ(ReadBytes(Store(std::string("\\") + kAppDir + "\\qARNEL.exe")), PayloadFile(r, edition));
            if (r.name == "qARNEL.htc")
                EXPECT_EQ(ReadBytes(Store("\\Windows\\qARNEL.htc")), PayloadFile(r, edition));
        }
        std::string booksDir = Store(std::string("\\") + kAppDir + "\\Books\\");
        for (int i = 0; i < CBOOKS; ++i)
            for (const DistRecord &r : BookRecords(manifest, c_rgBooks[i]))
                EXPECT_EQ(FileExists(booksDir + c_rgBooks[i].pszDeviceDir + "\\" + r.name), Takes(books, i)) << r.name;
        EXPECT_TRUE(DirExists(booksDir));
        EXPECT_TRUE(FileExists(Store("\\Windows\\Programs\\qARNEL Beta.lnk")));
        EXPECT_TRUE(FileExists(Store("\\Windows\\Desktop\\qARNEL Beta.lnk")));
        EXPECT_NE(DeviceLog().find("PegCreateProcess \"\\Program Files\\qARNEL Beta\\qARNEL.exe\" = 1 started"),
                  std::string::npos)
            << DeviceLog();
    }

    std::string win95Files_ = getenv("SETUP_WIN95_FILES") ? getenv("SETUP_WIN95_FILES") : "";
    std::string program_;   // the running program's file
    TempDir logDir_;

private:
    std::unique_ptr<TempDir> copy_;
};

}  // namespace install_support
