#include "base/text_stream.h"

TextStream::TextStream(PFN_WRITE_TEXT pfnWrite, void *pvContext)
    : m_pfnWrite(pfnWrite), m_pvContext(pvContext), m_cchBuffered(0), m_fFailed(false)
{
}

void TextStream::Put(const char *psz)
{
    for (; *psz != '\0'; ++psz) {
        if (*psz == '\n')
            PutChar('\r');
        PutChar(*psz);
    }
}

void TextStream::PutChar(char ch)
{
    if (m_cchBuffered == CCH_BUFFER)
        Flush();
    m_rgchBuffer[m_cchBuffered++] = ch;
}

bool TextStream::Flush()
{
    if (m_cchBuffered != 0 && !m_fFailed)
        m_fFailed = !m_pfnWrite(m_pvContext, m_rgchBuffer, m_cchBuffered);
    m_cchBuffered = 0;
    return !m_fFailed;
}
