// libFuzzer target over the program's formatter: the input becomes a format
// of literal text and conversions with random flags, widths, precisions and
// lengths, and the arguments they take; the formatter must give what the
// host's vsnprintf gives, into a buffer of a random size, and write nothing
// past it.
#include <climits>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/format.h"
#include "format_ours.h"

namespace {

// The arguments every call passes, in this order; a conversion takes the next
// one only when it is of its type, so every call is well typed.
enum Kind { kInt, kText, kUnsigned, kLong };
constexpr Kind kSlots[] = {kInt, kText, kUnsigned, kInt, kLong, kText, kInt, kUnsigned, kInt, kText, kInt, kLong};
constexpr size_t kSlotCount = sizeof kSlots / sizeof kSlots[0];

// The index in ints of the int argument at slot.
size_t IntIndex(size_t slot)
{
    size_t i = 0;
    for (size_t k = 0; k < slot; ++k)
        i += kSlots[k] == kInt;
    return i;
}

struct Input {
    const uint8_t *pb;
    size_t cb;
    uint8_t Next() { return cb != 0 ? (--cb, *pb++) : 0; }
};

// Calls fn with every argument of kSlots.
template <class Fn>
size_t Call(Fn fn, char *psz, size_t cch, const char *format, const int *ints, const char *const *texts,
            const unsigned *us, const long *longs)
{
    return size_t(fn(psz, cch, format, ints[0], texts[0], us[0], ints[1], longs[0], texts[1], ints[2], us[1],
                     ints[3], texts[2], ints[4], longs[1]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in{data, size};
    const int intValues[] = {0, 1, -1, 9, -10, 255, 65536, INT_MAX, INT_MIN};
    int ints[5];
    unsigned us[2];
    long longs[2];
    for (int &n : ints)
        n = intValues[in.Next() % 9] ^ (in.Next() & 1 ? 0 : in.Next());
    for (unsigned &u : us)
        u = unsigned(intValues[in.Next() % 9]) + in.Next();
    for (long &l : longs)
        l = long(intValues[in.Next() % 9]) * (in.Next() % 3);
    std::string textValues[3];
    for (std::string &t : textValues) {
        size_t n = in.Next() % 12;
        for (size_t i = 0; i < n; ++i)
            t += char(' ' + in.Next() % 95);
    }
    const char *texts[3] = {textValues[0].c_str(), textValues[1].c_str(), textValues[2].c_str()};

    std::string format;
    size_t slot = 0;
    while (in.cb != 0 && format.size() < 200) {
        uint8_t b = in.Next();
        if (b < 128 || slot == kSlotCount) {
            char c = char(' ' + b % 95);
            format += c == '%' ? std::string("%%") : std::string(1, c);
            continue;
        }
        uint8_t flagBits = in.Next();
        std::string size;   // width and precision
        // A * takes an int argument of its own.
        if (in.Next() % 4 == 0 && kSlots[slot] == kInt && slot + 1 < kSlotCount) {
            size += '*';
            ints[IntIndex(slot++)] = in.Next() % 64 - 32;   // the host fails on widths past INT_MAX
        } else if (in.Next() % 2) {
            size += std::to_string(in.Next() % 40);
        }
        bool fPrecision = in.Next() % 2;
        if (fPrecision) {
            size += '.';
            if (in.Next() % 4 == 0 && kSlots[slot] == kInt && slot + 1 < kSlotCount) {
                size += '*';
                ints[IntIndex(slot++)] = in.Next() % 64 - 32;
            } else {
                size += std::to_string(in.Next() % 20);
            }
        }
        Kind kind = kSlots[slot++];
        uint8_t pick = in.Next();
        // C gives no meaning to # on a decimal or a text, nor to 0 on a text
        // or a character.
        std::string conversion;
        switch (kind) {
        case kInt:
            conversion = (flagBits & 16) ? "x" : pick % 3 == 0 && !fPrecision ? "c" : pick % 2 ? "d" : "i";
            break;
        case kUnsigned:
            conversion = (flagBits & 16) ? "xXo"[pick % 3] : "uxXo"[pick % 4];
            break;
        case kLong:
            conversion = (flagBits & 16) ? "lx" : pick % 2 ? "ld" : "lu";
            break;
        case kText:
            conversion = "s";
            break;
        }
        if (conversion == "s" || conversion == "c")
            flagBits &= ~(2 | 16);
        std::string spec = "%";
        for (int i = 0; i < 5; ++i)
            if (flagBits & (1 << i))
                spec += "-0+ #"[i];
        spec += size + conversion;
        format += spec;
    }

    size_t cch = size_t(in.Next()) % 80;
    std::vector<char> ours(cch + 8, '#'), host(cch + 8, '#');
    size_t cchOurs = Call(FormatOurs, ours.data(), cch, format.c_str(), ints, texts, us, longs);
    size_t cchHost = Call(snprintf, host.data(), cch, format.c_str(), ints, texts, us, longs);
    if (cchOurs != cchHost || ours != host) {
        fprintf(stderr, "format \"%s\" into %zu: ours %zu \"%.*s\", host %zu \"%.*s\"\n", format.c_str(), cch, cchOurs,
                int(ours.size()), ours.data(), cchHost, int(host.size()), host.data());
        abort();
    }
    return 0;
}
