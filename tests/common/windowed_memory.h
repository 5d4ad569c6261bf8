// Bytes in memory read as the program reads its own file: through the
// window of WindowedSource, counting the reads of the "file".
#pragma once

#include <cstdint>
#include <cstring>

#include "extract/payload.h"

class WindowedMemory : public WindowedSource {
public:
    WindowedMemory(const void *pv, uint32_t cb) : pb_(static_cast<const unsigned char *>(pv)), cb_(cb) {}
    bool SeekFromEnd(uint32_t cbBack) override { return cbBack <= cb_ && SeekTo(cb_ - cbBack); }
    uint32_t Size() override { return cb_; }
    int reads() const { return reads_; }

protected:
    uint32_t ReadAt(uint32_t dwOffset, void *pv, uint32_t cb) override
    {
        ++reads_;
        if (dwOffset >= cb_)
            return 0;
        uint32_t n = cb < cb_ - dwOffset ? cb : cb_ - dwOffset;
        memcpy(pv, pb_ + dwOffset, n);
        return n;
    }

private:
    const unsigned char *pb_;
    uint32_t cb_;
    int reads_ = 0;
};
