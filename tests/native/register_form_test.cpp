// The registration form's text as it is formatted before the text-mode
// stream turns every "\n" into CR LF.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "example_user.h"
#include "extract/register_form.h"

namespace {

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t pos = 0, nl;
    while ((nl = text.find('\n', pos)) != std::string::npos) {
        lines.push_back(text.substr(pos, nl - pos));
        pos = nl + 1;
    }
    EXPECT_EQ(pos, text.size()) << "the form ends with a line break";
    return lines;
}

std::string Form(const USERINFO &info, const char *product = "10971")
{
    char sz[CCH_REGISTRATION_FORM];
    EXPECT_TRUE(FormatRegistrationForm(sz, sizeof sz, product, &info));
    return sz;
}

TEST(RegistrationForm, ExampleRecordGivesTheTwentyFourLines)
{
    EXPECT_EQ(Lines(Form(ExampleUserInfo())), ExampleFormLines());
}

TEST(RegistrationForm, EmptyFieldsKeepTheShapeAndAddressesKeepTheirLineBreaks)
{
    std::vector<std::string> lines = Lines(Form(USERINFO{}));
    ASSERT_EQ(lines.size(), 24u);
    EXPECT_EQ(lines[17], ",   ");

    USERINFO info = USERINFO{};
    strcpy(info.szAddress, "1 Main St\r\nSuite 2");
    strcpy(info.szKeyNumber, "K-77");
    std::string form = Form(info);
    EXPECT_NE(form.find("\n1 Main St\r\nSuite 2\n"), std::string::npos);
    EXPECT_NE(form.find("\nKey Number: K-77\n\n\n"), std::string::npos);
    EXPECT_EQ(Lines(form).size(), 25u);
}

TEST(RegistrationForm, FullFieldsFitAndUnterminatedOnesStopInsideTheirBytes)
{
    USERINFO info;
    memset(&info, 'x', sizeof info);   // no terminator anywhere
    info.dwLeading = 0;
    std::string form = Form(info, "1234567890123456789012345678901234567890123456789");
    EXPECT_EQ(Lines(form).size(), 24u);
    EXPECT_NE(form.find("\n" + std::string(255, 'x') + "\n"), std::string::npos);
    EXPECT_EQ(form.find(std::string(256, 'x')), std::string::npos);
}

TEST(RegistrationForm, VersionIsNarrowedByTheLowByte)
{
    char sz[10];
    NarrowText(sz, sizeof sz, c_wszVersionBuild);
    EXPECT_STREQ(sz, "BBBB-beta");
    const char16_t wide[] = {0x0141, 0x2042, 0x00E9, 0};
    NarrowText(sz, sizeof sz, wide);
    EXPECT_EQ(std::string(sz), "AB\xE9");
    char small[4];
    NarrowText(small, sizeof small, c_wszVersionBuild);
    EXPECT_STREQ(small, "BBB");
}

}  // namespace
