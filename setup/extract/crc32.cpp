#include "extract/crc32.h"

namespace {

// Slicing by 16: table k gives the CRC of a byte followed by k zero bytes, so
// sixteen bytes take sixteen lookups that do not wait on each other. Made at
// the first call, into memory that costs the image nothing.
uint32_t g_rgrgdwTable[16][256];
bool g_fTable = false;

void MakeTable()
{
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t dw = i;
        for (int iBit = 0; iBit < 8; ++iBit)
            dw = (dw & 1) ? (dw >> 1) ^ 0xEDB88320u : dw >> 1;
        g_rgrgdwTable[0][i] = dw;
    }
    for (int k = 1; k < 16; ++k)
        for (int i = 0; i < 256; ++i)
            g_rgrgdwTable[k][i] = (g_rgrgdwTable[k - 1][i] >> 8) ^ g_rgrgdwTable[0][g_rgrgdwTable[k - 1][i] & 0xFF];
    g_fTable = true;
}

inline uint32_t Load32(const unsigned char *pb)
{
    return uint32_t(pb[0]) | uint32_t(pb[1]) << 8 | uint32_t(pb[2]) << 16 | uint32_t(pb[3]) << 24;
}

// The lookups for the four bytes of dw, the first of them k + 3 bytes from
// the end of the sixteen.
inline uint32_t Slice(const uint32_t (*T)[256], int k, uint32_t dw)
{
    return T[k + 3][dw & 0xFF] ^ T[k + 2][(dw >> 8) & 0xFF] ^ T[k + 1][(dw >> 16) & 0xFF] ^ T[k][dw >> 24];
}

}  // namespace

uint32_t Crc32Update(uint32_t dwCrc, const void *pv, size_t cb)
{
    if (!g_fTable)
        MakeTable();
    const uint32_t(*T)[256] = g_rgrgdwTable;
    const unsigned char *pb = static_cast<const unsigned char *>(pv);
    uint32_t c = ~dwCrc;
    for (; cb >= 16; cb -= 16, pb += 16)
        c = Slice(T, 12, Load32(pb) ^ c) ^ Slice(T, 8, Load32(pb + 4)) ^ Slice(T, 4, Load32(pb + 8))
            ^ Slice(T, 0, Load32(pb + 12));
    for (; cb != 0; --cb)
        c = (c >> 8) ^ T[0][(c ^ *pb++) & 0xFF];
    return ~c;
}
