#include "extract/payload.h"

#include <cstring>

#include "extract/payload_path.h"

/* The largest offset a signed 32-bit seek from the start can reach. */
static const uint32_t c_dwMaxSeek = 0x7FFFFFFF;

bool MemorySource::SeekTo(uint32_t dwOffset)
{
    if (dwOffset > c_dwMaxSeek)
        return false;
    m_dwPos = dwOffset;
    return true;
}

bool MemorySource::SeekFromEnd(uint32_t cbBack)
{
    if (cbBack > m_cb)
        return false;
    m_dwPos = m_cb - cbBack;
    return true;
}

uint32_t MemorySource::Read(void *pv, uint32_t cb)
{
    if (m_dwPos >= m_cb)
        return 0;
    uint32_t cbRead = m_cb - m_dwPos < cb ? m_cb - m_dwPos : cb;
    memcpy(pv, m_pb + m_dwPos, cbRead);
    m_dwPos += cbRead;
    return cbRead;
}

uint32_t ReadPayloadCount(ByteSource *pSource, uint32_t *pdw)
{
    unsigned char ab[4];
    uint32_t cbRead = pSource->Read(ab, sizeof ab);
    if (cbRead == sizeof ab)
        *pdw = uint32_t(ab[0]) | uint32_t(ab[1]) << 8 | uint32_t(ab[2]) << 16 | uint32_t(ab[3]) << 24;
    return cbRead;
}

uint32_t ReadPayloadText(ByteSource *pSource, char *psz, uint32_t cb)
{
    uint32_t cbRead = pSource->Read(psz, cb);
    psz[cbRead <= cb ? cbRead : cb] = '\0';
    return cbRead;
}

bool PayloadChainInsideFile(ByteSource *pSource, uint32_t dwOffset, PayloadChain *pChain)
{
    PayloadChain chain = {0, dwOffset, dwOffset, false};
    bool fWhole = false;
    uint32_t cbFile = pSource->Size();
    if (cbFile >= PAYLOAD_CB_TAIL) {
        // 64-bit positions: counts near 4 GB must not wrap around.
        const uint64_t qwTrailer = cbFile - PAYLOAD_CB_TRAILER;
        uint64_t qwPos = dwOffset;
        for (;;) {
            chain.dwBadRecord = uint32_t(qwPos);
            if (chain.fEnded && qwPos == qwTrailer) {
                fWhole = true;
                break;
            }
            bool fFits = true;
            for (int iCount = 0; iCount < 3 && fFits; ++iCount) {
                uint32_t cb = 0;
                fFits = qwPos + 4 <= qwTrailer && pSource->SeekTo(uint32_t(qwPos))
                        && ReadPayloadCount(pSource, &cb) == 4;
                qwPos += 4 + uint64_t(cb);
            }
            uint8_t cMore = 0;
            fFits = fFits && qwPos + 1 <= qwTrailer && pSource->SeekTo(uint32_t(qwPos))
                    && pSource->Read(&cMore, 1) == 1;
            if (!fFits)
                break;
            ++qwPos;
            ++chain.cRecords;
            if (!chain.fEnded) {
                chain.dwEnd = uint32_t(qwPos);
                chain.fEnded = cMore != 1;
            }
        }
    }
    if (pChain != nullptr)
        *pChain = chain;
    return pSource->SeekTo(dwOffset) && fWhole;
}

static bool WriteCount(ByteSink *pSink, uint32_t dw)
{
    const unsigned char ab[4] = {uint8_t(dw), uint8_t(dw >> 8), uint8_t(dw >> 16), uint8_t(dw >> 24)};
    return pSink->Write(ab, sizeof ab);
}

static bool WriteText(ByteSink *pSink, const char *psz)
{
    uint32_t cb = uint32_t(strlen(psz));
    return WriteCount(pSink, cb) && (cb == 0 || pSink->Write(psz, cb));
}

bool WritePayloadRecordHead(ByteSink *pSink, const char *pszName, const char *pszDir, uint32_t cbData)
{
    return WriteText(pSink, pszName) && WriteText(pSink, pszDir) && WriteCount(pSink, cbData);
}

bool WritePayloadRecord(ByteSink *pSink, const char *pszName, const char *pszDir,
                        const void *pvData, uint32_t cbData, uint8_t cMore)
{
    return WritePayloadRecordHead(pSink, pszName, pszDir, cbData)
           && (cbData == 0 || pSink->Write(pvData, cbData)) && pSink->Write(&cMore, 1);
}

bool WritePayloadTrailer(ByteSink *pSink, uint32_t dwOffset) { return WriteCount(pSink, dwOffset); }

static PayloadResult EndScan(PayloadScan *pScan, PayloadResult result)
{
    pScan->result = result;
    if (result == PAYLOAD_COMPLETE || result == PAYLOAD_DAMAGED)
        pScan->nStep = 0;
    return result;
}

static PayloadResult RefuseRecord(PayloadScan *pScan, uint32_t dwError)
{
    pScan->dwError = dwError;
    return EndScan(pScan, PAYLOAD_REFUSED);
}

/* Reads a record's name or directory as the program does; false when damaged. */
static bool ScanText(ByteSource *pSource, char *psz, uint32_t *pcb, PayloadScan *pScan, PayloadResult *pResult)
{
    if (ReadPayloadCount(pSource, pcb) != 4) {
        *pResult = EndScan(pScan, PAYLOAD_DAMAGED);
        return false;
    }
    if (*pcb >= PAYLOAD_CCH_TEXT) {
        *pResult = RefuseRecord(pScan, PAYLOAD_ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    if (ReadPayloadText(pSource, psz, *pcb) != *pcb) {
        *pResult = EndScan(pScan, PAYLOAD_DAMAGED);
        return false;
    }
    return true;
}

PayloadResult ScanPayload(ByteSource *pSource, const char *pszRoot, PayloadScan *pScan,
                          PayloadRecordFn pfnRecord, void *pvContext)
{
    memset(pScan, 0, sizeof *pScan);
    pScan->nStep = 3;
    if (!pSource->SeekFromEnd(PAYLOAD_CB_TAIL))
        return EndScan(pScan, PAYLOAD_NO_TAIL);

    pScan->nStep = 4;
    uint8_t bMark = 0xFF;
    if (pSource->Read(&bMark, 1) != 1)
        return EndScan(pScan, PAYLOAD_DAMAGED);
    if (bMark != 0)
        return EndScan(pScan, PAYLOAD_NO_MARK);

    pScan->nStep = 5;
    if (ReadPayloadCount(pSource, &pScan->dwOffset) != 4)
        return EndScan(pScan, PAYLOAD_DAMAGED);
    if (!pSource->SeekTo(pScan->dwOffset))
        return EndScan(pScan, PAYLOAD_BAD_OFFSET);
    if (!PayloadChainInsideFile(pSource, pScan->dwOffset, &pScan->chain))
        return EndScan(pScan, PAYLOAD_DAMAGED);

    // Every read below lies inside the file, as the pre-walk has just shown.
    PayloadRecordInfo info;
    uint32_t dwPos = pScan->dwOffset;
    for (pScan->nStep = 6;; pScan->nStep += 2) {
        PayloadResult result;
        uint32_t cbName, cbDir;
        info.iRecord = pScan->cRecords;
        info.dwOffset = dwPos;
        if (!ScanText(pSource, info.szName, &cbName, pScan, &result)
            || !ScanText(pSource, info.szDir, &cbDir, pScan, &result))
            return result;

        uint32_t dwError = CheckPayloadPath(info.szDir, info.szName);
        info.szTarget[0] = '\0';
        if (dwError == 0 && pszRoot != nullptr
            && !BuildTargetPath(info.szTarget, sizeof info.szTarget, pszRoot, info.szDir, info.szName))
            dwError = PAYLOAD_ERROR_FILENAME_EXCED_RANGE;
        if (dwError != 0)
            return RefuseRecord(pScan, dwError);

        if (ReadPayloadCount(pSource, &info.cbData) != 4)
            return EndScan(pScan, PAYLOAD_DAMAGED);
        info.dwDataOffset = dwPos + 12 + cbName + cbDir;
        ++pScan->cRecords;
        if (pfnRecord != nullptr && !pfnRecord(pvContext, &info, pSource))
            return EndScan(pScan, PAYLOAD_COMPLETE);

        uint8_t cMore = 0;
        dwPos = info.dwDataOffset + info.cbData;
        if (!pSource->SeekTo(dwPos) || pSource->Read(&cMore, 1) != 1)
            return EndScan(pScan, PAYLOAD_DAMAGED);
        ++dwPos;
        if (cMore != 1) {
            pScan->dwEnd = dwPos;
            pScan->cMoreLast = cMore;
            return EndScan(pScan, PAYLOAD_COMPLETE);
        }
    }
}
