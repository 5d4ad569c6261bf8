// The program's books (c_rgBooks, setup/settings/books.h) as the native and
// Wine tests choose them, and the sample distribution they meet them in.
// Which files a book has there is the manifest's to say (dist/manifest.txt,
// read by the manifest reader, tools/manifest.h); its row says which payload
// directory is the book's.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "manifest.h"
#include "settings/books.h"

// A choice of books: bit i takes c_rgBooks[i].
using BookSet = unsigned;
const BookSet kAllBooks = (1u << CBOOKS) - 1;

inline bool Takes(BookSet books, int iBook) { return (books >> iBook & 1) != 0; }

// The row of the book whose check box is idCheckBox (IDC_FILMBOOK, ...), or -1.
inline int BookRow(int idCheckBox)
{
    for (int i = 0; i < CBOOKS; ++i)
        if (c_rgBooks[i].idCheckBox == idCheckBox)
            return i;
    return -1;
}
inline BookSet Only(int idCheckBox) { return BookRow(idCheckBox) < 0 ? 0 : 1u << BookRow(idCheckBox); }

// Sets the install settings' flags to the choice, in this process.
inline void ChooseBooks(BookSet books)
{
    for (int i = 0; i < CBOOKS; ++i)
        *c_rgBooks[i].pfChosen = Takes(books, i);
}

// The sample distribution's records as the manifest reader reads them from
// path (dist/manifest.txt); a problem fails the test.
inline std::vector<ManifestRecord> ReadDistManifest(const std::string &path)
{
    std::vector<ManifestRecord> records;
    std::vector<std::string> errors;
    ReadManifest(path, &records, &errors);
    for (const std::string &error : errors)
        ADD_FAILURE() << error;
    return records;
}

// Desktop and device names compare without case (LowerCase, manifest.h): the
// load script says "books\Film" and "LOGO.2bp" where the manifest says
// "books\film" and "LOGO.2BP".
inline bool SameName(const std::string &a, const std::string &b) { return LowerCase(a) == LowerCase(b); }

// The manifest's records of a book, in the manifest's order.
inline std::vector<ManifestRecord> BookRecords(const std::vector<ManifestRecord> &manifest, const Book &book)
{
    std::vector<ManifestRecord> records;
    for (const ManifestRecord &r : manifest)
        if (SameName(r.dir, book.pszPayloadDir))
            records.push_back(r);
    return records;
}
