/*
 * A text file written through a TextStream: created, or emptied when it
 * exists, as the C library's fopen(path, "w+") does, and closed by its
 * owner's end at the latest.
 */
#ifndef SETUP_BASE_TEXT_FILE_H
#define SETUP_BASE_TEXT_FILE_H

#include <windows.h>

#include "base/text_stream.h"

class TextFile {
public:
    TextFile();
    ~TextFile();
    TextFile(const TextFile &) = delete;
    TextFile &operator=(const TextFile &) = delete;

    // FALSE, with the system's error, when the file cannot be created.
    BOOL Create(const char *pszPath);
    TextStream *Stream() { return &m_stream; }
    // Writes what is buffered and closes the file; FALSE when a write failed.
    BOOL Close();

private:
    static bool WriteToFile(void *pvFile, const char *pch, size_t cch);

    HANDLE m_hFile;
    TextStream m_stream;
};

#endif
