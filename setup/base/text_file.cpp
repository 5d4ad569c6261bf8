#include "base/text_file.h"

TextFile::TextFile() : m_hFile(INVALID_HANDLE_VALUE), m_stream(WriteToFile, this) {}

TextFile::~TextFile()
{
    Close();
}

BOOL TextFile::Create(const char *pszPath)
{
    Close();
    m_hFile = CreateFileA(pszPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    return m_hFile != INVALID_HANDLE_VALUE;
}

BOOL TextFile::Close()
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return FALSE;
    BOOL fWritten = m_stream.Flush();
    CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
    return fWritten;
}

bool TextFile::WriteToFile(void *pvFile, const char *pch, size_t cch)
{
    TextFile *pFile = static_cast<TextFile *>(pvFile);
    DWORD cbWritten = 0;
    return WriteFile(pFile->m_hFile, pch, static_cast<DWORD>(cch), &cbWritten, NULL) && cbWritten == cch;
}
