/*
 * Buffered text-mode output, as the program's text files (the registration
 * form, the load script) have always been written: every "\n" put is stored
 * as CR LF. The bytes go to a writer function, a buffer at a time. After a
 * write fails nothing more is written, and Flush reports the failure.
 */
#ifndef SETUP_BASE_TEXT_STREAM_H
#define SETUP_BASE_TEXT_STREAM_H

#include <cstddef>

// Writes cch bytes; false when they could not all be written.
typedef bool (*PFN_WRITE_TEXT)(void *pvContext, const char *pch, size_t cch);

class TextStream {
public:
    TextStream(PFN_WRITE_TEXT pfnWrite, void *pvContext);
    TextStream(const TextStream &) = delete;
    TextStream &operator=(const TextStream &) = delete;

    void Put(const char *psz);
    // Writes what is buffered; false when this or any earlier write failed.
    bool Flush();

private:
    enum { CCH_BUFFER = 512 };

    void PutChar(char ch);

    PFN_WRITE_TEXT m_pfnWrite;
    void *m_pvContext;
    size_t m_cchBuffered;
    bool m_fFailed;
    char m_rgchBuffer[CCH_BUFFER];
};

#endif
