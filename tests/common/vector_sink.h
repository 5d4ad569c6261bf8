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
