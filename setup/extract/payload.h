/*
 * The payload appended to the setup program, and its reader and writer.
 *
 * After the last byte of the program image follow the file records, back to
 * back, then a 4-byte trailer holding the offset of the first record. All
 * integers are unsigned 32-bit little-endian; texts are ANSI bytes without a
 * terminator; there is no padding:
 *
 *     cbName  name  cbDir  directory  cbData  data  cMore     record 0
 *     ...                                                     record N-1
 *     dwOffset                                                trailer
 *
 * cMore is 1 on every record but the last, which carries 0; any value other
 * than 1 ends the payload. So the byte at (file size - 5) is 0 in a file that
 * carries a payload: the reader takes exactly that byte as the mark.
 *
 * The checksum block. The bytes just before record 0 are the zeros that
 * fill the program image up to the payload's fixed offset, and nothing else
 * reads them. The packaging tool puts there, ending where record 0 starts, a
 * CRC-32 (crc32.h) of each record's data and a footer:
 *
 *     dwCrc[0] ... dwCrc[cRecords - 1]    each record's data, in record order
 *     dwMark                              the bytes "qCRC"
 *     dwVersion                           1
 *     cRecords                            records in the payload
 *     dwBlockCrc                          CRC-32 of the block's bytes before it
 *
 * The reader takes the 16 bytes before record 0 for the footer. Only a footer
 * with this mark and version, a block that fits before record 0 and a block
 * CRC that matches make a checksum block; anything else is no block, and the
 * payload is read as it always was. With a block, the payload must end after
 * exactly cRecords records, and each record's data is checked against its
 * CRC once it is read, before it is written.
 *
 * Plain C++ (no <windows.h>): the program reads its own file through
 * ByteSource, and so do the packaging tool and the tests, with one reader.
 */
#ifndef SETUP_EXTRACT_PAYLOAD_H
#define SETUP_EXTRACT_PAYLOAD_H

#include <cstddef>
#include <cstdint>

/* Size of the buffers for a name, a directory and a target path. */
#define PAYLOAD_CCH_TEXT 1024
/* The mark byte and the trailer at the end of the file. */
#define PAYLOAD_CB_TAIL 5
#define PAYLOAD_CB_TRAILER 4
/* The largest setup the format can describe: offsets and the size are
   unsigned 32-bit. */
#define PAYLOAD_CB_MAX_SETUP 0xFFFFFFFFu
/* The smallest record: three counts and cMore. */
#define PAYLOAD_CB_MIN_RECORD 13

/* The checksum block: its footer, and the whole block for cRecords records. */
#define PAYLOAD_CHECKSUM_MARK "qCRC"
#define PAYLOAD_CHECKSUM_VERSION 1
#define PAYLOAD_CB_CHECKSUM_FOOTER 16
#define PAYLOAD_CB_CHECKSUMS(cRecords) (PAYLOAD_CB_CHECKSUM_FOOTER + 4 * uint64_t(cRecords))

/* System error codes the program reports for a record it refuses. */
#define PAYLOAD_ERROR_INVALID_NAME 123          /* ERROR_INVALID_NAME */
#define PAYLOAD_ERROR_FILENAME_EXCED_RANGE 206  /* ERROR_FILENAME_EXCED_RANGE */

/* Where the bytes come from: the program's own file, or memory. */
class ByteSource {
public:
    /* Moves to dwOffset bytes from the start: any offset the format can
       hold; beyond the end is allowed (reads there get nothing). */
    virtual bool SeekTo(uint32_t dwOffset) = 0;
    /* Moves to cbBack bytes before the end; false when the file is shorter. */
    virtual bool SeekFromEnd(uint32_t cbBack) = 0;
    /* Reads up to cb bytes; returns the count read (fewer at the end). */
    virtual uint32_t Read(void *pv, uint32_t cb) = 0;
    virtual uint32_t Size() = 0;

protected:
    ~ByteSource() = default;
};

/* Where the writer puts its bytes. */
class ByteSink {
public:
    virtual bool Write(const void *pv, uint32_t cb) = 0;

protected:
    ~ByteSink() = default;
};

/*
 * A file read through a window of 4 KB: a run of small reads close together
 * (a record's counts and texts, the cMore after its data and the head of the
 * next record) costs one read of the file, not one each. A read of at least
 * the window's size goes straight into the caller's buffer, after what of it
 * the window holds already. Seeking only moves the position.
 */
class WindowedSource : public ByteSource {
public:
    bool SeekTo(uint32_t dwOffset) override
    {
        m_dwPos = dwOffset;
        return true;
    }
    uint32_t Read(void *pv, uint32_t cb) override;

protected:
    ~WindowedSource() = default;
    /* Reads up to cb bytes at dwOffset; the count read, 0 at the end or on
       an error. */
    virtual uint32_t ReadAt(uint32_t dwOffset, void *pv, uint32_t cb) = 0;

private:
    uint32_t m_dwPos = 0;
    uint32_t m_dwWindow = 0;   /* the file offset of the window's first byte */
    uint32_t m_cbWindow = 0;   /* the bytes it holds */
    unsigned char m_rgbWindow[4096];
};

class MemorySource : public ByteSource {
public:
    MemorySource(const void *pv, uint32_t cb) : m_pb(static_cast<const unsigned char *>(pv)), m_cb(cb) {}
    bool SeekTo(uint32_t dwOffset) override;
    bool SeekFromEnd(uint32_t cbBack) override;
    uint32_t Read(void *pv, uint32_t cb) override;
    uint32_t Size() override { return m_cb; }

private:
    const unsigned char *m_pb;
    uint32_t m_cb;
    uint32_t m_dwPos = 0;
};

/* Reads a count; returns the bytes read, and sets *pdw only when all 4 were. */
uint32_t ReadPayloadCount(ByteSource *pSource, uint32_t *pdw);

/* Reads cb bytes of text into psz (room for cb + 1) and terminates it after
   what was read; returns the bytes read. */
uint32_t ReadPayloadText(ByteSource *pSource, char *psz, uint32_t cb);

/* The record chain as the pre-walk found it. */
struct PayloadChain {
    uint32_t cRecords;     /* records that lie wholly inside, up to the trailer */
    uint32_t cPayload;     /* records up to the one that ends the payload */
    uint32_t dwEnd;        /* just past the record that ends the payload */
    uint32_t dwBadRecord;  /* where the first record that does not fit starts */
    bool fEnded;           /* a record with a cMore other than 1 was found */
};

/*
 * Walks the records from dwOffset over their counts only, seeking over texts
 * and data, and confirms that they lie back to back inside the file up to
 * exactly the trailer, and that one of them ends the payload (a cMore other
 * than 1; the records after it are walked, not read). A length field that is
 * damaged throws the walk off the records: it runs past the trailer or misses
 * it, even when a stray byte taken for cMore would have ended the payload
 * early. Leaves the source at dwOffset. True when the whole chain is inside.
 */
bool PayloadChainInsideFile(ByteSource *pSource, uint32_t dwOffset, PayloadChain *pChain = nullptr);

/* Writes what comes before a record's data: the name, the directory and
   cbData, each with its count. The data and cMore follow. */
bool WritePayloadRecordHead(ByteSink *pSink, const char *pszName, const char *pszDir, uint32_t cbData);
/* Writes one record with that cMore (1, or 0 on the last). */
bool WritePayloadRecord(ByteSink *pSink, const char *pszName, const char *pszDir,
                        const void *pvData, uint32_t cbData, uint8_t cMore);
/* Writes the trailer: the offset of record 0, the size of the image. */
bool WritePayloadTrailer(ByteSink *pSink, uint32_t dwOffset);
/* Writes the checksum block of cRecords records, the CRC-32 of each one's
   data in rgdwCrc: PAYLOAD_CB_CHECKSUMS(cRecords) bytes, to end where record
   0 starts. */
bool WritePayloadChecksums(ByteSink *pSink, const uint32_t *rgdwCrc, uint32_t cRecords);

/*
 * The steps the program reports ("Failed step %d"): 1 and 2 are its own (its
 * path; the copies and opening its file), 3 to 5 find the payload, and
 * record k reports PAYLOAD_STEP_RECORD + 2k while its target is made, one
 * more for its buffer and two more while its data is copied.
 */
#define PAYLOAD_STEP_TAIL 3
#define PAYLOAD_STEP_MARK 4
#define PAYLOAD_STEP_OFFSET 5
#define PAYLOAD_STEP_RECORD 6

/* What the walk makes of the payload, up to where the program stops. */
enum PayloadResult {
    PAYLOAD_COMPLETE,     /* every record read; the program succeeds */
    PAYLOAD_NO_TAIL,      /* shorter than 5 bytes: reported as step 3 */
    PAYLOAD_NO_MARK,      /* the byte at size - 5 is not 0: no payload, step 4 */
    PAYLOAD_BAD_OFFSET,   /* the trailer's offset cannot be sought to: step 5 */
    PAYLOAD_DAMAGED,      /* a read came up short: consistency check */
    PAYLOAD_REFUSED,      /* a record is refused: reported at its target step */
    PAYLOAD_RECORD,       /* PayloadWalker::Next: the next record's head is read */
};

/* Which read of a damaged setup file came up short. Each is one consistency
   check of the program. */
enum PayloadShortRead {
    PAYLOAD_SHORT_NONE,
    PAYLOAD_SHORT_MARK,    /* the mark byte */
    PAYLOAD_SHORT_OFFSET,  /* the trailer's offset */
    PAYLOAD_SHORT_CHAIN,   /* the pre-walk: the chain is not inside the file */
    PAYLOAD_SHORT_COUNT,   /* a record's cbName, cbDir or cbData */
    PAYLOAD_SHORT_TEXT,    /* a record's name or directory */
    PAYLOAD_SHORT_DATA,    /* a record's data (read by the walker's user) */
    PAYLOAD_SHORT_MORE,    /* a record's cMore */
    /* No short reads: the checksum block disagrees with the payload. */
    PAYLOAD_BAD_CHECKSUM,      /* a record's data is not what was packed */
    PAYLOAD_BAD_RECORD_COUNT,  /* the payload ends after another number of records */
};

struct PayloadRecordInfo {
    uint32_t iRecord;
    int nStep;               /* its target step: PAYLOAD_STEP_RECORD + 2 * iRecord */
    uint32_t dwOffset;       /* where the record starts */
    uint32_t cbData;
    uint32_t dwDataOffset;   /* where its data starts */
    char szName[PAYLOAD_CCH_TEXT];     /* up to its first NUL byte, if any */
    char szDir[PAYLOAD_CCH_TEXT];
    char szTarget[PAYLOAD_CCH_TEXT];   /* below the root given, or empty */
};

struct PayloadScan {
    PayloadResult result;
    int nStep;             /* the step the program reports, or 0 */
    uint32_t dwError;      /* PAYLOAD_REFUSED: the error code reported */
    uint32_t dwOffset;     /* the trailer's offset of record 0 */
    uint32_t cRecords;     /* records handed out */
    uint32_t dwEnd;        /* PAYLOAD_COMPLETE: just past the last record */
    uint8_t cMoreLast;     /* PAYLOAD_COMPLETE: the cMore that ended it */
    PayloadChain chain;
    PayloadShortRead shortRead;   /* PAYLOAD_DAMAGED: the read that came up short */
    uint32_t cbRead, cbWanted;    /* ... the bytes it got of those it wanted */
    bool fChecksums;              /* a checksum block lies before record 0 */
    uint32_t cChecksums;          /* ... the records it counts */
    uint32_t dwChecksums;         /* ... where it starts */
};

/*
 * The record walk, the one reader of the payload for the setup program, the
 * packaging tool, the tests and the fuzzer: the mark, the trailer's offset,
 * the chain pre-walk and the checksum block, then each record's head (name,
 * directory, size) with the checks of its name and directory, and of the
 * joined target path below pszRoot when one is given. Its user only writes
 * the files, each once MatchesChecksum has passed its data.
 *
 *     PayloadWalker walk(&source, pszRoot);
 *     while (walk.Next() == PAYLOAD_RECORD)
 *         ... walk.Record(): the source is at its data, which may be read;
 *             walk.MatchesChecksum(data) before it is written ...
 *     walk.Scan(): how the walk ended, and the step to report.
 *
 * Memory: a few fixed buffers, whatever the payload.
 */
class PayloadWalker {
public:
    PayloadWalker(ByteSource *pSource, const char *pszRoot);
    /* PAYLOAD_RECORD with the next record's head in Record(); any other
       result ends the walk and stays. */
    PayloadResult Next();
    const PayloadRecordInfo &Record() const { return m_info; }
    const PayloadScan &Scan() const { return m_scan; }
    /* Whether the cb bytes at pv are the data of the record handed out as it
       was packed: true without a checksum block, else when their CRC-32 is
       the record's in the block. When they are not, the walk ends as damaged
       (PAYLOAD_BAD_CHECKSUM); each call checks again. */
    bool MatchesChecksum(const void *pv, uint32_t cb);
    /* The same for the record's data as the source holds it, read through a
       small buffer; leaves the source at the data. A read that comes up
       short ends the walk (PAYLOAD_SHORT_DATA). */
    bool SourceMatchesChecksum();
    /* The CRC-32 the checksum block holds for record iRecord; false without
       a block, or when it cannot be read. */
    bool StoredChecksum(uint32_t iRecord, uint32_t *pdwCrc);

private:
    PayloadResult Begin();
    void FindChecksums();
    PayloadResult ReadHead();
    bool ReadCount(uint32_t *pdw);
    bool ReadText(char *psz, uint32_t *pcb);
    PayloadResult End(PayloadResult result);
    PayloadResult Short(PayloadShortRead shortRead, uint32_t cbRead, uint32_t cbWanted);

    ByteSource *m_pSource;
    const char *m_pszRoot;
    bool m_fBegun = false;
    PayloadScan m_scan;
    PayloadRecordInfo m_info;
    // A window on the block's CRCs: those of records m_iCached on, m_cCached
    // of them (also the buffer the block is read through when it is found).
    uint32_t m_rgdwChecksum[64];
    uint32_t m_iCached = 0, m_cCached = 0;
};

/* Called for each record with the source at its data, which the callback may
   read; false stops the scan (the result is then PAYLOAD_COMPLETE so far). */
typedef bool (*PayloadRecordFn)(void *pvContext, const PayloadRecordInfo *pInfo, ByteSource *pSource);

/* The whole walk, each record handed to pfnRecord (which may be null). With
   a checksum block, each record's data is read and checked first
   (SourceMatchesChecksum): a record that fails is not handed over. */
PayloadResult ScanPayload(ByteSource *pSource, const char *pszRoot, PayloadScan *pScan,
                          PayloadRecordFn pfnRecord, void *pvContext);

#endif
