#include "extract/payload.h"

#include <cstring>

#include "extract/crc32.h"
#include "extract/payload_path.h"

/* Counts are unsigned 32-bit little-endian. */
static void PutCount(unsigned char *pb, uint32_t dw)
{
    pb[0] = uint8_t(dw);
    pb[1] = uint8_t(dw >> 8);
    pb[2] = uint8_t(dw >> 16);
    pb[3] = uint8_t(dw >> 24);
}

static uint32_t GetCount(const unsigned char *pb)
{
    return uint32_t(pb[0]) | uint32_t(pb[1]) << 8 | uint32_t(pb[2]) << 16 | uint32_t(pb[3]) << 24;
}

bool MemorySource::SeekTo(uint32_t dwOffset)
{
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

uint32_t WindowedSource::Read(void *pv, uint32_t cb)
{
    unsigned char *pb = static_cast<unsigned char *>(pv);
    uint32_t cbDone = 0;
    while (cbDone < cb) {
        // Outside the window, or at its end (also before it: the difference
        // wraps around).
        if (m_dwPos - m_dwWindow >= m_cbWindow) {
            const bool fDirect = cb - cbDone >= sizeof m_rgbWindow;
            uint32_t cbGot = fDirect ? ReadAt(m_dwPos, pb + cbDone, cb - cbDone)
                                     : ReadAt(m_dwPos, m_rgbWindow, sizeof m_rgbWindow);
            if (cbGot == 0)
                break;
            if (fDirect) {
                cbDone += cbGot;
                m_dwPos += cbGot;
                continue;
            }
            m_dwWindow = m_dwPos;
            m_cbWindow = cbGot;
        }
        uint32_t cbAvail = m_dwWindow + m_cbWindow - m_dwPos;
        uint32_t cbTake = cb - cbDone < cbAvail ? cb - cbDone : cbAvail;
        memcpy(pb + cbDone, m_rgbWindow + (m_dwPos - m_dwWindow), cbTake);
        cbDone += cbTake;
        m_dwPos += cbTake;
    }
    return cbDone;
}

uint32_t ReadPayloadCount(ByteSource *pSource, uint32_t *pdw)
{
    unsigned char ab[4];
    uint32_t cbRead = pSource->Read(ab, sizeof ab);
    if (cbRead == sizeof ab)
        *pdw = GetCount(ab);
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
    PayloadChain chain = {0, 0, dwOffset, dwOffset, false};
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
                chain.cPayload = chain.cRecords;
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
    unsigned char ab[4];
    PutCount(ab, dw);
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

bool WritePayloadChecksums(ByteSink *pSink, const uint32_t *rgdwCrc, uint32_t cRecords)
{
    uint32_t dwBlockCrc = 0;
    unsigned char ab[4];
    for (uint32_t i = 0; i < cRecords; ++i) {
        PutCount(ab, rgdwCrc[i]);
        dwBlockCrc = Crc32Update(dwBlockCrc, ab, sizeof ab);
        if (!pSink->Write(ab, sizeof ab))
            return false;
    }
    unsigned char abFooter[PAYLOAD_CB_CHECKSUM_FOOTER];
    memcpy(abFooter, PAYLOAD_CHECKSUM_MARK, 4);
    PutCount(abFooter + 4, PAYLOAD_CHECKSUM_VERSION);
    PutCount(abFooter + 8, cRecords);
    dwBlockCrc = Crc32Update(dwBlockCrc, abFooter, 12);
    PutCount(abFooter + 12, dwBlockCrc);
    return pSink->Write(abFooter, sizeof abFooter);
}

PayloadWalker::PayloadWalker(ByteSource *pSource, const char *pszRoot) : m_pSource(pSource), m_pszRoot(pszRoot)
{
    memset(&m_scan, 0, sizeof m_scan);
    memset(&m_info, 0, sizeof m_info);
    m_scan.result = PAYLOAD_RECORD;
}

PayloadResult PayloadWalker::End(PayloadResult result)
{
    m_scan.result = result;
    if (result == PAYLOAD_COMPLETE || result == PAYLOAD_DAMAGED)
        m_scan.nStep = 0;
    return result;
}

PayloadResult PayloadWalker::Short(PayloadShortRead shortRead, uint32_t cbRead, uint32_t cbWanted)
{
    m_scan.shortRead = shortRead;
    m_scan.cbRead = cbRead;
    m_scan.cbWanted = cbWanted;
    return End(PAYLOAD_DAMAGED);
}

PayloadResult PayloadWalker::Next()
{
    if (m_scan.result != PAYLOAD_RECORD)
        return m_scan.result;
    if (!m_fBegun) {
        m_fBegun = true;
        PayloadResult result = Begin();
        return result != PAYLOAD_RECORD ? result : ReadHead();
    }

    // Past the data of the record handed out, whatever of it was read.
    m_scan.nStep = m_info.nStep + 2;
    const uint64_t qwMore = uint64_t(m_info.dwDataOffset) + m_info.cbData;
    uint8_t cMore = 0;
    uint32_t cbRead = 0;
    if (qwMore <= UINT32_MAX && m_pSource->SeekTo(uint32_t(qwMore)))
        cbRead = m_pSource->Read(&cMore, sizeof cMore);
    if (cbRead != sizeof cMore)
        return Short(PAYLOAD_SHORT_MORE, cbRead, sizeof cMore);
    if (cMore != 1) {
        m_scan.dwEnd = uint32_t(qwMore) + 1;
        m_scan.cMoreLast = cMore;
        return End(PAYLOAD_COMPLETE);
    }
    if (qwMore + 1 > UINT32_MAX)
        return Short(PAYLOAD_SHORT_COUNT, 0, 4);
    m_info.dwOffset = uint32_t(qwMore) + 1;
    return ReadHead();
}

/* Steps 3 to 5: the mark, the trailer's offset and the chain pre-walk. */
PayloadResult PayloadWalker::Begin()
{
    m_scan.nStep = PAYLOAD_STEP_TAIL;
    if (!m_pSource->SeekFromEnd(PAYLOAD_CB_TAIL))
        return End(PAYLOAD_NO_TAIL);

    m_scan.nStep = PAYLOAD_STEP_MARK;
    uint8_t bMark = 0xFF;
    uint32_t cbRead = m_pSource->Read(&bMark, sizeof bMark);
    if (cbRead != sizeof bMark)
        return Short(PAYLOAD_SHORT_MARK, cbRead, sizeof bMark);
    if (bMark != 0)
        return End(PAYLOAD_NO_MARK);

    m_scan.nStep = PAYLOAD_STEP_OFFSET;
    cbRead = ReadPayloadCount(m_pSource, &m_scan.dwOffset);
    if (cbRead != 4)
        return Short(PAYLOAD_SHORT_OFFSET, cbRead, 4);
    if (!m_pSource->SeekTo(m_scan.dwOffset))
        return End(PAYLOAD_BAD_OFFSET);
    // Nothing is handed out before the whole chain is known to be in the
    // file: a damaged download must not spoil an earlier installation.
    if (!PayloadChainInsideFile(m_pSource, m_scan.dwOffset, &m_scan.chain))
        return Short(PAYLOAD_SHORT_CHAIN, 0, 0);
    // A payload packed with checksums has all its records, before any is
    // handed out: a damaged cMore must not pass for its end.
    FindChecksums();
    if (m_scan.fChecksums && m_scan.chain.cPayload != m_scan.cChecksums)
        return Short(PAYLOAD_BAD_RECORD_COUNT, 0, 0);
    if (!m_pSource->SeekTo(m_scan.dwOffset))
        return End(PAYLOAD_BAD_OFFSET);
    m_info.dwOffset = m_scan.dwOffset;
    return PAYLOAD_RECORD;
}

/* The checksum block before record 0, if there is a whole one: its footer's
   mark, version and count, and its own CRC. Anything else is no block. */
void PayloadWalker::FindChecksums()
{
    const uint32_t dwOffset = m_scan.dwOffset;
    unsigned char abFooter[PAYLOAD_CB_CHECKSUM_FOOTER];
    if (dwOffset < sizeof abFooter || !m_pSource->SeekTo(dwOffset - uint32_t(sizeof abFooter))
        || m_pSource->Read(abFooter, sizeof abFooter) != sizeof abFooter
        || memcmp(abFooter, PAYLOAD_CHECKSUM_MARK, 4) != 0 || GetCount(abFooter + 4) != PAYLOAD_CHECKSUM_VERSION)
        return;
    const uint32_t cRecords = GetCount(abFooter + 8);
    const uint64_t cbBlock = PAYLOAD_CB_CHECKSUMS(cRecords);
    if (cbBlock > dwOffset)
        return;
    const uint32_t dwBlock = dwOffset - uint32_t(cbBlock);
    if (!m_pSource->SeekTo(dwBlock))
        return;
    // The CRCs through the window's buffer, then the footer but its CRC.
    uint32_t dwCrc = 0;
    for (uint32_t cbLeft = 4 * cRecords; cbLeft != 0;) {
        uint32_t cb = cbLeft < sizeof m_rgdwChecksum ? cbLeft : uint32_t(sizeof m_rgdwChecksum);
        if (m_pSource->Read(m_rgdwChecksum, cb) != cb)
            return;
        dwCrc = Crc32Update(dwCrc, m_rgdwChecksum, cb);
        cbLeft -= cb;
    }
    dwCrc = Crc32Update(dwCrc, abFooter, sizeof abFooter - 4);
    if (dwCrc != GetCount(abFooter + 12))
        return;
    m_scan.fChecksums = true;
    m_scan.cChecksums = cRecords;
    m_scan.dwChecksums = dwBlock;
}

/* Record iRecord's CRC from the block, through the window. */
bool PayloadWalker::StoredChecksum(uint32_t iRecord, uint32_t *pdwCrc)
{
    if (iRecord >= m_scan.cChecksums)
        return false;
    if (iRecord < m_iCached || iRecord - m_iCached >= m_cCached) {
        const uint32_t cMax = sizeof m_rgdwChecksum / sizeof m_rgdwChecksum[0];
        uint32_t c = m_scan.cChecksums - iRecord < cMax ? m_scan.cChecksums - iRecord : cMax;
        m_cCached = 0;
        if (!m_pSource->SeekTo(m_scan.dwChecksums + 4 * iRecord)
            || m_pSource->Read(m_rgdwChecksum, 4 * c) != 4 * c)
            return false;
        for (uint32_t i = 0; i < c; ++i)
            m_rgdwChecksum[i] = GetCount(reinterpret_cast<unsigned char *>(&m_rgdwChecksum[i]));
        m_iCached = iRecord;
        m_cCached = c;
    }
    *pdwCrc = m_rgdwChecksum[iRecord - m_iCached];
    return true;
}

bool PayloadWalker::MatchesChecksum(const void *pv, uint32_t cb)
{
    if (!m_scan.fChecksums)
        return true;
    uint32_t dwCrc = 0;
    if (cb == m_info.cbData && StoredChecksum(m_info.iRecord, &dwCrc) && Crc32Update(0, pv, cb) == dwCrc)
        return true;
    Short(PAYLOAD_BAD_CHECKSUM, 0, 0);
    return false;
}

bool PayloadWalker::SourceMatchesChecksum()
{
    if (!m_scan.fChecksums)
        return true;
    uint32_t dwCrc = 0, dwStored = 0;
    bool fStored = StoredChecksum(m_info.iRecord, &dwStored);
    unsigned char ab[4096];
    uint32_t cbRead = 0;
    if (m_pSource->SeekTo(m_info.dwDataOffset)) {
        while (cbRead < m_info.cbData) {
            uint32_t cbLeft = m_info.cbData - cbRead;
            uint32_t cb = cbLeft < sizeof ab ? cbLeft : uint32_t(sizeof ab);
            uint32_t cbGot = m_pSource->Read(ab, cb);
            dwCrc = Crc32Update(dwCrc, ab, cbGot);
            cbRead += cbGot;
            if (cbGot != cb)
                break;
        }
    }
    if (!m_pSource->SeekTo(m_info.dwDataOffset) || cbRead != m_info.cbData) {
        Short(PAYLOAD_SHORT_DATA, cbRead, m_info.cbData);
        return false;
    }
    if (fStored && dwCrc == dwStored)
        return true;
    Short(PAYLOAD_BAD_CHECKSUM, 0, 0);
    return false;
}

bool PayloadWalker::ReadCount(uint32_t *pdw)
{
    uint32_t cbRead = ReadPayloadCount(m_pSource, pdw);
    if (cbRead != 4)
        Short(PAYLOAD_SHORT_COUNT, cbRead, 4);
    return cbRead == 4;
}

/* A name or directory; a count of PAYLOAD_CCH_TEXT or more is refused with
   error 206 before anything of the text is read. */
bool PayloadWalker::ReadText(char *psz, uint32_t *pcb)
{
    if (!ReadCount(pcb))
        return false;
    if (*pcb >= PAYLOAD_CCH_TEXT) {
        m_scan.dwError = PAYLOAD_ERROR_FILENAME_EXCED_RANGE;
        End(PAYLOAD_REFUSED);
        return false;
    }
    uint32_t cbRead = ReadPayloadText(m_pSource, psz, *pcb);
    if (cbRead != *pcb)
        Short(PAYLOAD_SHORT_TEXT, cbRead, *pcb);
    return cbRead == *pcb;
}

/* The head of the record that starts at m_info.dwOffset, where the source is. */
PayloadResult PayloadWalker::ReadHead()
{
    const uint32_t iRecord = m_scan.cRecords;
    const uint32_t dwOffset = m_info.dwOffset;
    m_info.iRecord = iRecord;
    m_info.nStep = PAYLOAD_STEP_RECORD + 2 * int(iRecord);
    m_info.cbData = 0;
    m_info.szTarget[0] = '\0';
    m_scan.nStep = m_info.nStep;

    uint32_t cbName = 0, cbDir = 0;
    if (!ReadText(m_info.szName, &cbName) || !ReadText(m_info.szDir, &cbDir))
        return m_scan.result;

    // Refused before anything is created for it: a record that would leave
    // the root, or whose path would not fit.
    uint32_t dwError = CheckPayloadPath(m_info.szDir, m_info.szName);
    if (dwError == 0 && m_pszRoot != nullptr
        && !BuildTargetPath(m_info.szTarget, sizeof m_info.szTarget, m_pszRoot, m_info.szDir, m_info.szName))
        dwError = PAYLOAD_ERROR_FILENAME_EXCED_RANGE;
    if (dwError != 0) {
        m_scan.dwError = dwError;
        return End(PAYLOAD_REFUSED);
    }

    if (!ReadCount(&m_info.cbData))
        return m_scan.result;
    const uint64_t qwData = uint64_t(dwOffset) + 12 + cbName + cbDir;
    if (qwData > UINT32_MAX)
        return Short(PAYLOAD_SHORT_COUNT, 0, 4);
    m_info.dwDataOffset = uint32_t(qwData);
    ++m_scan.cRecords;
    return PAYLOAD_RECORD;
}

PayloadResult ScanPayload(ByteSource *pSource, const char *pszRoot, PayloadScan *pScan,
                          PayloadRecordFn pfnRecord, void *pvContext)
{
    PayloadWalker walk(pSource, pszRoot);
    PayloadResult result;
    while ((result = walk.Next()) == PAYLOAD_RECORD) {
        if (!walk.SourceMatchesChecksum()) {
            result = walk.Scan().result;
            break;
        }
        if (pfnRecord != nullptr && !pfnRecord(pvContext, &walk.Record(), pSource)) {
            *pScan = walk.Scan();
            pScan->result = PAYLOAD_COMPLETE;
            pScan->nStep = 0;
            return PAYLOAD_COMPLETE;
        }
    }
    *pScan = walk.Scan();
    return result;
}
