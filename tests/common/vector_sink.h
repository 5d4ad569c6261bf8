// The payload writer's sink for tests and fuzzing: appends to a byte vector.
#pragma once

#include <cstdint>
#include <vector>

#include "extract/payload.h"

using Bytes = std::vector<unsigned char>;

class VectorSink : public ByteSink {
public:
    explicit VectorSink(Bytes *out) : out_(out) {}
    bool Write(const void *pv, uint32_t cb) override
    {
        const unsigned char *pb = static_cast<const unsigned char *>(pv);
        out_->insert(out_->end(), pb, pb + cb);
        return true;
    }

private:
    Bytes *out_;
};

// Overwrites the count at offset at, little-endian as the payload stores it.
inline void PutCount(Bytes *b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        (*b)[at + i] = uint8_t(v >> (8 * i));
}
