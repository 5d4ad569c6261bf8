#include "settings/books.h"

#include "res/resource.h"

// The install settings' flags: TRUE while the book is chosen, as all are at first.
int g_fFilmBook = 1;
int g_fNewsBook = 1;
int g_fCustomBook = 1;

// The names as the load script spells them; some differ in case from the
// payload's ("books\Film", "LOGO.2bp"), which the desktop's file system ignores.
static const char *const c_rgszFilmFiles[] = {
    "film01.htm", "film02.htm", "film03.htm", "film05.htm", "film06.htm", "film08.htm",
    "film14.htm", "film16.htm", "film18.htm", "film20.htm", "film22.htm", "film25.htm",
    "film31.htm", "film32.htm", "film35.htm", "index.txt",  "toc.txt",    nullptr,
};
static const char *const c_rgszNewsFiles[] = {
    "nPR970930a.htm", "nPR970930b.htm", "nPR970930c.htm", "nPR970930d.htm",
    "nPR970930e.htm", "LOGO.2bp",       "index.txt",      "toc.txt",        nullptr,
};
static const char *const c_rgszCustomFiles[] = {
    "Adding Graphics.html", "Beta Notes.html",        "HTML Documents.html", "Index.html",
    "Overview.html",        "Table of Contents.html", "index.txt",           "toc.txt",    nullptr,
};

const Book c_rgBooks[CBOOKS] = {
    {&g_fFilmBook, IDC_FILMBOOK, "books\\Film", "Film", c_rgszFilmFiles, 134246},
    {&g_fNewsBook, IDC_NEWSBOOK, "books\\tarvelo", "TARVELO", c_rgszNewsFiles, 37000},
    {&g_fCustomBook, IDC_CUSTOMBOOK, "books\\Custom", "CustomBooks", c_rgszCustomFiles, 9000},
};
