// The sample distribution's three books as the native and Wine tests meet
// them. Which files a book has is the manifest's to say (dist/manifest.txt,
// read by the manifest reader, tools/manifest.h), and the load script's text
// is the program's own (setup/device/load_script.cpp); only which payload
// directory is which book, and its folder on the device, are said here.
#pragma once

#include <string>
#include <vector>

#include "device/load_script.h"
#include "manifest.h"

struct DistBook {
    const char *dir;         // the payload directory, as the manifest spells it
    const char *deviceDir;   // below \Program Files\qARNEL Beta\Books on the device
};

// Film, news, custom: the order of the options dialog, of the install
// settings' flags and of the load script.
inline const DistBook kDistBooks[3] = {
    {"books\\film", "Film"},
    {"books\\tarvelo", "TARVELO"},
    {"books\\Custom", "CustomBooks"},
};

// Whether the choice takes kDistBooks[iBook].
inline bool BookChosen(BookChoice choice, int iBook)
{
    return iBook == 0 ? choice.fFilm : iBook == 1 ? choice.fNews : choice.fCustom;
}

// Desktop and device names compare without case (LowerCase, manifest.h): the
// load script says "books\Film" and "LOGO.2bp" where the manifest says
// "books\film" and "LOGO.2BP".
inline bool SameName(const std::string &a, const std::string &b) { return LowerCase(a) == LowerCase(b); }

// The manifest's records of a book, in the manifest's order.
inline std::vector<ManifestRecord> BookRecords(const std::vector<ManifestRecord> &manifest, const DistBook &book)
{
    std::vector<ManifestRecord> records;
    for (const ManifestRecord &r : manifest)
        if (SameName(r.dir, book.dir))
            records.push_back(r);
    return records;
}
