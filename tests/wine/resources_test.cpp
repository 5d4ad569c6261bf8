// The resources as the built program carries them: every text, the licence,
// the dialog templates, the accelerators, the pictures and the icon, and
// nothing else.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"
#include "ui_support.h"
#include "base/message.h"
#include "res/resource.h"

using namespace testing_support;
using ui::Program;

namespace {

// Loads a string as the program does: into a buffer of the given size.
std::string Load(UINT id, int cchBuffer)
{
    std::vector<char> buf(cchBuffer + 16, '#');
    int cch = LoadStringA(Program(), id, buf.data(), cchBuffer);
    EXPECT_EQ(buf[cchBuffer], '#') << "string " << id << " wrote past its buffer";
    return std::string(buf.data(), cch > 0 ? cch : 0);
}

struct FixedText {
    UINT id;
    int cchBuffer;
    const char *text;
};

const FixedText kFixedTexts[] = {
    {IDS_BTN_INSTALL, 256, "  &Install the 'qARNEL' beta "},
    {IDS_BTN_RELEASENOTES, 256, "  View the Release &Notes  "},
    {IDS_BTN_WEBSITE, 256, "  &Visit Our Web Site  "},
    {IDS_BTN_EXIT, 256, "  E&xit Setup  "},
    {IDS_TITLE, CCH_MESSAGE_TEXT, "TARVELO Setup  -  qARNEL(tm) beta"},
    {IDS_ERR_NODLL, CCH_MESSAGE_TEXT,
     "Error - setup could not find %s.dll on your system.\r\rThis file should have been installed when HPC "
     "Explorer was installed on your system\r\rThis setup program can not run correctly until this file is "
     "present on your system."},
    {IDS_INSTALLED, CCH_MESSAGE_TEXT,
     "The qARNEL beta has successfully been installed on your Handheld PC.\r\rWould you like to view the "
     "release notes now?"},
    {IDS_SETUP_ERROR, CCH_MESSAGE_CAPTION, "Setup Error"},
    {IDS_SETUP_COMPLETED, CCH_MESSAGE_CAPTION, "Setup Completed"},
    {IDS_NOBROWSER_CAPTION, CCH_MESSAGE_CAPTION, "Unable to find web browser"},
    {IDS_ALREADY_INSTALLED, CCH_MESSAGE_TEXT,
     "It appears that qARNEL is already installed on your Handheld PC.  It is recommended that you remove "
     "qARNEL from your Handheld PC before installing a newer version.  No data or configuration information "
     "should be lost.  Press OK when you are ready to proceed with installing the current version of "
     "qARNEL\n\nYou can remove the version of 'qARNEL' that is already on your Handheld PC by using "
     "'Start'->'Settings'->'Remove Programs'"},
    {IDS_SUGGESTION, CCH_MESSAGE_CAPTION, "Setup Suggestion:"},
    {IDS_ERR_CPUTYPE, CCH_MESSAGE_TEXT, "AppInstall does not recognize what type of processor your Handheld PC uses."},
    {IDS_ERR_NOCONNECT, CCH_MESSAGE_TEXT,
     "Unable to establish communications with your Handheld PC.  Make sure it is attached to your desktop "
     "computer."},
    {IDS_ERR_NOSPACE, CCH_MESSAGE_TEXT,
     "There is not enough space on your Handheld PC to install the qARNEL options that you have selected."},
    {IDS_ERR_INCOMPLETE, CCH_MESSAGE_TEXT, "Setup did not complete successfully."},
    {IDS_PRODUCT_NUMBER, 50, "10971"},
    {IDS_DEFAULT_NAME, 256, "Please enter your name here."},
    {IDS_BROWSE_TITLE, 512, "Select the folder that you wish to have TARVELO\\qARNEL installed under:"},
};

const UINT kLicencePieces[] = {8, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30};

TEST(Strings, FixedTextsLoadByteForByteIntoTheirBuffers)
{
    ASSERT_NE(Program(), nullptr) << "cannot open setup.exe as data";
    for (const FixedText &t : kFixedTexts)
        EXPECT_EQ(Load(t.id, t.cchBuffer), t.text) << "string " << t.id;
}

TEST(Strings, WebAddressAndNoBrowserMessageNameTheSameSite)
{
    std::string address = Load(IDS_WEB_ADDRESS, 512);
    ASSERT_EQ(address.compare(0, 7, "http://"), 0) << address;
    size_t slash = address.find('/', 7);
    ASSERT_NE(slash, std::string::npos) << "no path in " << address;
    EXPECT_GT(slash, 7u + 3) << "no host in " << address;
    EXPECT_EQ(address.find_first_of(" \r\n\t"), std::string::npos);

    std::string message = Load(IDS_NOBROWSER, CCH_MESSAGE_TEXT);
    EXPECT_EQ(message,
              "There does not appear to be a web browser installed on your computer.  If you have access to the "
              "world wide web please visit us at:\r\r\t" + address);
    EXPECT_LT(message.size(), CCH_MESSAGE_TEXT - 1u);
}

TEST(Strings, FooterIsTwoIndentedLinesWithoutAmpersand)
{
    std::string footer = Load(IDS_FOOTER, CCH_MESSAGE_TEXT);
    size_t crlf = footer.find("\r\n");
    ASSERT_NE(crlf, std::string::npos);
    std::string first = footer.substr(0, crlf), second = footer.substr(crlf + 2);
    EXPECT_EQ(first.compare(0, 2, "  "), 0);
    EXPECT_EQ(second.compare(0, 2, "  "), 0);
    EXPECT_NE(first.find("1997"), std::string::npos);
    EXPECT_NE(second.find("ights reserved"), std::string::npos);
    EXPECT_EQ(second.find_first_of("\r\n"), std::string::npos) << "one line break only, none at the end";
    EXPECT_EQ(footer.find('&'), std::string::npos);
}

// The licence table: each piece begins with its heading and the line breaks
// right after it (then no further one), ends with its own CR LF pairs, and
// names the maker (TARVELO) or the application (qARNEL) only where it says.
TEST(Strings, LicenceAssemblesTo6143CharactersFromSixteenPieces)
{
    struct Shape {
        const char *begins;
        int pairsAtEnd;
        bool namesMaker, namesApplication;
    };
    const Shape shapes[16] = {
        {"IMPORTANT-READ CAREFULLY:\r\n\r\n", 2, true, true},
        {"SOFTWARE LICENSE\r\n\r\n", 2},
        {"1.  GRANT OF LICENSE.", 2},
        {"2.  DESCRIPTION OF OTHER RIGHTS AND LIMITATIONS.\r\n", 1},
        {"* Termination.", 2},
        {"3.  COPYRIGHT.\r\n", 2, true},
        {"4.  LIMITED WARRANTY.\r\n* Limited Warranty.", 1},
        {"* Customer Remedies.", 2},
        {"* No Other Warranties.", 1},
        {"* No Liability for Consequential Damages.", 1},
        {"* Attorney's Fees.", 2},
        {"U.S. GOVERNMENT RESTRICTED RIGHTS.\r\n", 1},
        {"The SOFTWARE and documentation are provided with RESTRICTED RIGHTS.", 2, true},
        {"If you acquired this EULA in the United States", 2},
        {"If you acquired this EULA in Canada", 2},
        {"If this EULA was acquired outside the United States", 0},
    };
    auto upper = [](std::string text) {
        for (char &c : text)
            c = char(toupper(static_cast<unsigned char>(c)));
        return text;
    };
    std::string licence;
    for (int i = 0; i < 16; ++i) {
        std::string piece = Load(kLicencePieces[i], 4096);
        SCOPED_TRACE("string " + std::to_string(kLicencePieces[i]));
        EXPECT_LT(piece.size(), 4095u);
        const size_t cchBegins = strlen(shapes[i].begins);
        EXPECT_EQ(piece.compare(0, cchBegins, shapes[i].begins), 0) << piece.substr(0, 60);
        EXPECT_NE(piece.c_str()[cchBegins], '\r') << "more line breaks after the heading than given";
        std::string end(shapes[i].pairsAtEnd * 2, ' ');
        for (int k = 0; k < shapes[i].pairsAtEnd; ++k)
            end.replace(2 * k, 2, "\r\n");
        ASSERT_GE(piece.size(), end.size() + 1);
        EXPECT_EQ(piece.substr(piece.size() - end.size()), end);
        EXPECT_NE(piece[piece.size() - end.size() - 1], '\n') << "more line breaks at the end than given";
        // Printable ASCII; line breaks are CR LF pairs only, at most two in a row.
        for (size_t k = 0; k < piece.size(); ++k) {
            const unsigned char c = piece[k];
            EXPECT_TRUE((c >= ' ' && c <= '~') || c == '\r' || c == '\n') << "character " << int(c) << " at " << k;
            if (c == '\r')
                EXPECT_EQ(piece[k + 1], '\n') << "lone CR at " << k;
            if (c == '\n')
                EXPECT_EQ(piece[k - 1], '\r') << "lone LF at " << k;
        }
        EXPECT_EQ(piece.find("\r\n\r\n\r\n"), std::string::npos);
        EXPECT_EQ(upper(piece).find("TARVELO") != std::string::npos, shapes[i].namesMaker);
        EXPECT_EQ(upper(piece).find("QARNEL") != std::string::npos, shapes[i].namesApplication);
        licence += piece;
    }
    EXPECT_EQ(licence.size(), 6143u);
    EXPECT_EQ(licence.compare(0, 25, "IMPORTANT-READ CAREFULLY:"), 0);
    EXPECT_NE(licence.back(), '\n');

    // The preamble names the maker in full, the restricted-rights clause ends
    // with its postal address, and the agreement with one paragraph that asks
    // for questions to Manufacturer.
    EXPECT_NE(Load(IDS_LICENSE_HEAD, 4096).find("TARVELO Corporation"), std::string::npos);
    EXPECT_EQ(Load(26, 4096), "U.S. GOVERNMENT RESTRICTED RIGHTS.\r\n") << "the heading alone";
    std::string clause = Load(27, 4096);
    const std::string address = "TARVELO Corporation, One Tarvelo Way, Bellhaven, WA 98000.\r\n\r\n";
    ASSERT_GE(clause.size(), address.size());
    EXPECT_EQ(clause.substr(clause.size() - address.size()), address);
    std::string last = Load(IDS_LICENSE_LAST, 4096);
    size_t paragraph = last.find("\r\n\r\n");
    ASSERT_NE(paragraph, std::string::npos);
    std::string closing = last.substr(paragraph + 4);
    EXPECT_EQ(closing.find("\r\n"), std::string::npos) << "one closing paragraph";
    EXPECT_NE(closing.find("Manufacturer"), std::string::npos) << closing;
    EXPECT_NE(closing.find("question"), std::string::npos) << closing;
}

// Every string id of the table, and no other.
TEST(Strings, TheTableHoldsExactlyTheListedIds)
{
    std::set<UINT> expected;
    for (const FixedText &t : kFixedTexts)
        expected.insert(t.id);
    for (UINT id : kLicencePieces)
        expected.insert(id);
    expected.insert({IDS_FOOTER, IDS_NOBROWSER, IDS_WEB_ADDRESS});
    ASSERT_EQ(expected.size(), 38u);

    std::set<UINT> present;
    for (UINT id = 0; id < 256; ++id) {
        char buf[8];
        if (LoadStringA(Program(), id, buf, sizeof buf) > 0)
            present.insert(id);
    }
    EXPECT_EQ(present, expected);
}

// --- The whole set ---------------------------------------------------------

struct Inventory {
    std::map<std::string, std::set<std::string>> names;   // type -> names
    std::set<WORD> languages;
};

std::string ResName(LPCSTR name)
{
    return IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : std::string(name);
}

BOOL CALLBACK OnLanguage(HMODULE, LPCSTR, LPCSTR, WORD lang, LONG_PTR param)
{
    reinterpret_cast<Inventory *>(param)->languages.insert(lang);
    return TRUE;
}

BOOL CALLBACK OnName(HMODULE h, LPCSTR type, LPSTR name, LONG_PTR param)
{
    reinterpret_cast<Inventory *>(param)->names[ResName(type)].insert(ResName(name));
    EnumResourceLanguagesA(h, type, name, OnLanguage, param);
    return TRUE;
}

BOOL CALLBACK OnType(HMODULE h, LPSTR type, LONG_PTR param)
{
    EnumResourceNamesA(h, type, OnName, param);
    return TRUE;
}

TEST(ResourceSet, HoldsExactlyTheListedResourcesAllInUsEnglish)
{
    Inventory inv;
    EnumResourceTypesA(Program(), OnType, reinterpret_cast<LONG_PTR>(&inv));
    EXPECT_EQ(inv.languages, std::set<WORD>{0x0409});
    EXPECT_EQ(inv.names["#2"], (std::set<std::string>{"#101", "#125"}));   // bitmaps
    EXPECT_EQ(inv.names["#9"], std::set<std::string>{"#103"});              // accelerators
    EXPECT_EQ(inv.names["#14"], std::set<std::string>{"#104"});             // icon group
    EXPECT_EQ(inv.names["#3"].size(), 1u);                                  // its one image
    EXPECT_EQ(inv.names["#5"], (std::set<std::string>{"#106", "#116", "#118"}));
    EXPECT_EQ(inv.names["#6"], (std::set<std::string>{"#1", "#2", "#3", "#4"}));   // string blocks
    EXPECT_EQ(inv.names.size(), 6u) << "a resource type that does not belong (a manifest, a version?)";
}

// --- Dialog templates ----------------------------------------------------------

struct Reader {
    const BYTE *p;
    WORD Word() { WORD w; memcpy(&w, p, 2); p += 2; return w; }
    DWORD Dword() { DWORD d; memcpy(&d, p, 4); p += 4; return d; }
    short Short() { return static_cast<short>(Word()); }
    std::string Text()   // NUL-terminated UTF-16 of ASCII characters
    {
        std::string s;
        for (WORD c; (c = Word()) != 0;)
            s += c < 128 ? char(c) : '?';
        return s;
    }
    std::string SzOrOrd()   // "#n" for an ordinal
    {
        WORD first;
        memcpy(&first, p, 2);
        if (first == 0xFFFF) {
            p += 2;
            return "#" + std::to_string(Word());
        }
        return Text();
    }
    void AlignDword(const BYTE *base) { p += (4 - (p - base) % 4) % 4; }
};

struct Control {
    int id;
    const char *cls;   // ordinal of the predefined class
    DWORD style;
    const char *text;
    int x, y, cx, cy;
};

const DWORD kChild = WS_CHILD | WS_VISIBLE;
const DWORD kDefPush = kChild | BS_DEFPUSHBUTTON | WS_TABSTOP;
const DWORD kPush = kChild | BS_PUSHBUTTON | WS_TABSTOP;
const DWORD kCheck = kChild | BS_AUTOCHECKBOX | WS_TABSTOP;
const DWORD kGroup = kChild | BS_GROUPBOX;
const DWORD kLabel = kChild | SS_LEFT | WS_GROUP;
const DWORD kPicture = kChild | SS_BITMAP;
const DWORD kLine = kChild | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;
const DWORD kAddress = kChild | ES_MULTILINE | ES_AUTOHSCROLL | ES_WANTRETURN | WS_BORDER | WS_TABSTOP;
const DWORD kPane = kChild | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_BORDER | WS_VSCROLL | WS_TABSTOP;
const char *const BUTTON = "#128";
const char *const EDIT = "#129";
const char *const STATIC = "#130";

void CheckDialog(int idDialog, const char *title, short cx, short cy, const std::vector<Control> &controls)
{
    SCOPED_TRACE("dialog " + std::to_string(idDialog));
    HRSRC hr = FindResourceA(Program(), MAKEINTRESOURCEA(idDialog), MAKEINTRESOURCEA(5));
    ASSERT_NE(hr, nullptr);
    const BYTE *base = static_cast<const BYTE *>(LockResource(LoadResource(Program(), hr)));
    DWORD first;
    memcpy(&first, base, 4);
    ASSERT_NE(first, 0xFFFF0001u) << "an extended template";
    Reader r{base};
    EXPECT_EQ(r.Dword(), DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(r.Dword(), 0u) << "extended style";
    WORD cdit = r.Word();
    EXPECT_EQ(cdit, controls.size());
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), cx);
    EXPECT_EQ(r.Short(), cy);
    EXPECT_EQ(r.SzOrOrd(), "") << "menu";
    EXPECT_EQ(r.SzOrOrd(), "") << "window class";
    EXPECT_EQ(r.Text(), title);
    EXPECT_EQ(r.Word(), 8) << "point size";
    EXPECT_EQ(r.Text(), "MS Sans Serif");
    for (size_t i = 0; i < cdit && i < controls.size(); ++i) {
        const Control &c = controls[i];
        SCOPED_TRACE("control " + std::to_string(i + 1));
        r.AlignDword(base);
        EXPECT_EQ(r.Dword(), c.style);
        EXPECT_EQ(r.Dword(), 0u) << "extended style";
        EXPECT_EQ(r.Short(), c.x);
        EXPECT_EQ(r.Short(), c.y);
        EXPECT_EQ(r.Short(), c.cx);
        EXPECT_EQ(r.Short(), c.cy);
        EXPECT_EQ(r.Word(), WORD(c.id));
        EXPECT_EQ(r.SzOrOrd(), c.cls);
        EXPECT_EQ(r.SzOrOrd(), c.text);
        EXPECT_EQ(r.Word(), 0) << "creation data";
    }
}

TEST(Dialogs, OptionsTemplate)
{
    CheckDialog(IDD_OPTIONS, "Setup Options", 336, 134,
                {
                    {IDOK, BUTTON, kDefPush, "OK", 223, 112, 50, 14},
                    {IDCANCEL, BUTTON, kPush, "Cancel", 279, 112, 50, 14},
                    {IDC_NEWSBOOK, BUTTON, kCheck, "qARNEL book of TARVELO NEWS (36k)", 49, 34, 181, 11},
                    {IDC_CUSTOMBOOK, BUTTON, kCheck, "qARNEL book about CREATING YOUR OWN QARNEL BOOKS (8k)", 49,
                     46, 268, 15},
                    {IDC_FILMBOOK, BUTTON, kCheck, "qARNEL book of FILM REVIEWS (134k)", 49, 19, 195, 14},
                    {-1, BUTTON, kGroup, "Select Components to Include:", 7, 7, 322, 65},
                    {-1, BUTTON, kGroup, "Current desktop install directory:", 7, 77, 322, 25},
                    {IDC_DESKTOPDIR, STATIC, kLabel, "Static", 13, 88, 247, 10},
                    {IDC_BROWSE, BUTTON, kPush, "&Browse", 267, 85, 55, 14},
                });
}

TEST(Dialogs, LicenceTemplate)
{
    CheckDialog(IDD_LICENSE, "Software License Agreement", 317, 192,
                {
                    {IDC_YES, BUTTON, kPush, "&Yes", 209, 171, 50, 14},
                    {IDC_NO, BUTTON, kPush, "&No", 260, 171, 50, 14},
                    {IDC_LICENSE_TEXT, EDIT, kPane, "", 7, 19, 303, 131},
                    {-1, STATIC, kLabel, "Please read the following license agreement:", 7, 7, 255, 12},
                    {-1, STATIC, kLabel, "Do you accept all of the terms of the preceding license agreement?", 7,
                     157, 303, 11},
                });
}

TEST(Dialogs, UserInformationTemplate)
{
    CheckDialog(IDD_USERINFO, "User Information", 322, 210,
                {
                    {IDC_NAME, EDIT, kLine, "", 40, 51, 128, 14},
                    {IDC_COMPANY, EDIT, kLine, "", 40, 70, 128, 14},
                    {IDC_ADDRESS, EDIT, kAddress, "", 40, 88, 128, 28},
                    {IDC_CITY, EDIT, kLine, "", 40, 120, 128, 14},
                    {IDC_STATE, EDIT, kLine, "", 40, 137, 40, 14},
                    {IDC_POSTALCODE, EDIT, kLine, "", 128, 136, 40, 14},
                    {IDC_COUNTRY, EDIT, kLine, "", 40, 153, 128, 14},
                    {IDC_PHONE, EDIT, kLine, "", 238, 52, 78, 14},
                    {IDC_FAX, EDIT, kLine, "", 238, 69, 78, 14},
                    {IDOK, BUTTON, kDefPush, "&OK", 215, 189, 50, 14},
                    {IDCANCEL, BUTTON, kPush, "Cancel", 265, 189, 50, 14},
                    {-1, STATIC, kPicture, "#125", 7, 7, 40, 35},
                    {-1, STATIC, kLabel, "Please enter the following information.  ", 53, 11, 262, 26},
                    {-1, STATIC, kLabel, "Name:", 7, 55, 22, 8},
                    {-1, STATIC, kLabel, "Company:", 8, 73, 32, 8},
                    {-1, STATIC, kLabel, "Address:", 8, 98, 28, 8},
                    {-1, STATIC, kLabel, "Postal Code:", 84, 139, 41, 8},
                    {-1, STATIC, kLabel, "State:", 8, 140, 20, 8},
                    {-1, STATIC, kLabel, "City:", 8, 123, 14, 8},
                    {-1, STATIC, kLabel, "Country:", 8, 156, 27, 8},
                    {-1, BUTTON, kGroup, "", 7, 177, 308, 5},
                    {-1, STATIC, kLabel, "Phone:", 200, 55, 22, 8},
                    {-1, STATIC, kLabel, "Fax:", 200, 72, 22, 8},
                });
}

// --- Accelerators, pictures, icon ------------------------------------------------

const BYTE *Raw(LPCSTR type, int id, DWORD *pcb)
{
    HRSRC hr = FindResourceA(Program(), MAKEINTRESOURCEA(id), type);
    if (!hr)
        return nullptr;
    *pcb = SizeofResource(Program(), hr);
    return static_cast<const BYTE *>(LockResource(LoadResource(Program(), hr)));
}

TEST(Accelerators, FourAltKeysForTheFourCommandsTheLastEndingTheTable)
{
    DWORD cb = 0;
    const BYTE *p = Raw(MAKEINTRESOURCEA(9), IDR_ACCEL, &cb);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(cb, 4u * 8);
    const WORD keys[4] = {'I', 'N', 'V', 'X'};
    const WORD commands[4] = {IDM_INSTALL, IDM_RELEASENOTES, IDM_WEBSITE, IDM_EXIT};
    for (int i = 0; i < 4; ++i) {
        WORD entry[4];
        memcpy(entry, p + 8 * i, 8);
        EXPECT_EQ(entry[0], (FVIRTKEY | FALT | FNOINVERT) | (i == 3 ? 0x80 : 0)) << "entry " << i;
        EXPECT_EQ(entry[1], keys[i]);
        EXPECT_EQ(entry[2], commands[i]);
    }
}

void CheckBitmap(int id, LONG width, LONG height, DWORD colours)
{
    DWORD cb = 0;
    const BYTE *p = Raw(MAKEINTRESOURCEA(2), id, &cb);
    ASSERT_NE(p, nullptr);
    BITMAPINFOHEADER bih;
    memcpy(&bih, p, sizeof bih);
    EXPECT_EQ(bih.biSize, 40u);
    EXPECT_EQ(bih.biWidth, width);
    EXPECT_EQ(bih.biHeight, height);
    EXPECT_EQ(bih.biBitCount, 8);
    EXPECT_EQ(bih.biCompression, DWORD(BI_RGB));
    EXPECT_EQ(bih.biClrUsed, colours);
    DWORD stride = (width + 3) & ~3;
    EXPECT_EQ(cb, 40 + 4 * colours + stride * height);
}

TEST(Pictures, SplashAndUserPictureHaveTheirSizesAndDepths)
{
    CheckBitmap(IDB_SPLASH, 380, 368, 255);
    CheckBitmap(IDB_USERPICTURE, 48, 45, 256);
    HBITMAP hbm = LoadBitmapA(Program(), MAKEINTRESOURCEA(IDB_SPLASH));
    ASSERT_NE(hbm, nullptr);
    BITMAP bm;
    GetObjectA(hbm, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 380);
    EXPECT_EQ(bm.bmHeight, 368);
    DeleteObject(hbm);
}

TEST(Pictures, IconIsOne32By32ImageOf16Colours)
{
    DWORD cb = 0;
    const BYTE *p = Raw(MAKEINTRESOURCEA(14), IDI_SETUP, &cb);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(cb, 6u + 14);
    WORD header[3];
    memcpy(header, p, 6);
    EXPECT_EQ(header[1], 1) << "icon type";
    EXPECT_EQ(header[2], 1) << "one image";
    const BYTE *e = p + 6;
    EXPECT_EQ(e[0], 32);
    EXPECT_EQ(e[1], 32);
    EXPECT_EQ(e[2], 16);
    WORD planes, bits, imageId;
    memcpy(&planes, e + 4, 2);
    memcpy(&bits, e + 6, 2);
    memcpy(&imageId, e + 12, 2);
    EXPECT_EQ(bits, 4);

    const BYTE *img = Raw(MAKEINTRESOURCEA(3), imageId, &cb);
    ASSERT_NE(img, nullptr);
    BITMAPINFOHEADER bih;
    memcpy(&bih, img, sizeof bih);
    EXPECT_EQ(bih.biWidth, 32);
    EXPECT_EQ(bih.biHeight, 64);
    EXPECT_EQ(bih.biBitCount, 4);
    EXPECT_EQ(cb, 40u + 16 * 4 + 32 * 16 + 32 * 4);

    HICON hSmall = static_cast<HICON>(LoadImageA(Program(), MAKEINTRESOURCEA(IDI_SETUP), IMAGE_ICON, 16, 16, 0));
    EXPECT_NE(hSmall, nullptr) << "the small icon is scaled from the 32 by 32 image";
    DestroyIcon(hSmall);
}

}  // namespace
