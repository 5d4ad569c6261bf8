// The program's own C runtime, held against the host's C library: the
// formatter on every conversion, flag, width, precision and cut that the
// program's texts can use, the string functions on every short string of a
// small alphabet, and the text-mode stream's line ends and buffering.
#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/format.h"
#include "format_ours.h"
#include "base/text.h"
#include "base/text_stream.h"
#include "runtime/crt_names.h"

namespace {

constexpr size_t kGuard = 8;   // bytes past the buffer that must stay untouched

// Formats with both formatters into buffers of cch bytes; fails the test on
// any difference in the text, the length or the bytes past the buffer.
void Compare(size_t cch, const char *format, ...)
{
    std::vector<char> ours(cch + kGuard, '#'), host(cch + kGuard, '#');
    va_list args, copy;
    va_start(args, format);
    va_copy(copy, args);
    size_t cchOurs = FormatTextV(ours.data(), cch, format, args);
    int cchHost = vsnprintf(host.data(), cch, format, copy);
    va_end(copy);
    va_end(args);
    ASSERT_GE(cchHost, 0) << format;
    EXPECT_EQ(cchOurs, size_t(cchHost)) << "format \"" << format << "\" into " << cch;
    EXPECT_EQ(std::string(ours.begin(), ours.end()), std::string(host.begin(), host.end()))
        << "format \"" << format << "\" into " << cch;
}

const size_t kSizes[] = {0, 1, 2, 3, 7, 16, 300};

TEST(Formatter, IntegersAsTheHostFormatsThem)
{
    const int ints[] = {0, 1, -1, 7, -42, 1000, 123456789, INT_MAX, INT_MIN};
    const char *const flags[] = {"", "-", "0", "+", " ", "#", "-+", "0 ", "-0", "+0", "#0", "-#"};
    const char *const widths[] = {"", "1", "5", "12"};
    const char *const precisions[] = {"", ".", ".0", ".1", ".4", ".11"};
    const char *const lengths[] = {"", "h", "l"};
    for (const char conversion : std::string("diuxXo"))
        for (const char *flag : flags) {
            bool fSigned = conversion == 'd' || conversion == 'i';
            if (std::strchr(flag, '#') && fSigned)
                continue;   // no alternate form of a decimal
            for (const char *width : widths)
                for (const char *precision : precisions)
                    for (const char *length : lengths) {
                        std::string format = std::string("<%") + flag + width + precision + length + conversion + ">";
                        for (int n : ints)
                            for (size_t cch : {size_t(2), size_t(9), size_t(64)}) {
                                if (*length == 'l')
                                    Compare(cch, format.c_str(), long(n));
                                else
                                    Compare(cch, format.c_str(), n);
                            }
                    }
        }
}

TEST(Formatter, TextCharactersStarsAndPercentAsTheHostFormatsThem)
{
    const char *const texts[] = {"", "a", "abcdef", "C:\\Program Files\\qARNEL Beta", "Ann \"Lee\""};
    const char *const specs[] = {"%s", "%5s", "%-5s", "%.0s", "%.3s", "%8.2s", "%-8.2s", "%.*s", "%*s", "%-*s", "%*.*s"};
    for (const char *text : texts)
        for (const char *spec : specs)
            for (size_t cch : kSizes) {
                std::string format = std::string("[") + spec + "]";
                int stars = 0;
                for (const char *pch = spec; *pch; ++pch)
                    stars += *pch == '*';
                for (int star : {-4, 0, 2, 40}) {
                    if (stars == 0)
                        Compare(cch, format.c_str(), text);
                    else if (stars == 1)
                        Compare(cch, format.c_str(), star, text);
                    else
                        Compare(cch, format.c_str(), star, 3, text);
                }
            }
    for (size_t cch : kSizes) {
        Compare(cch, "%c%3c%-3c|%%|100%%", 'x', 'y', 'z');
        Compare(cch, "%*d|%-*d|%.*d|%0*d", 6, 42, -6, 42, 4, 42, 6, -42);
    }
}

TEST(Formatter, TheProgramsOwnTextsAtEveryCut)
{
    const char form[] = "Product Number:  %s\n\nProduct Version: %s.%s\n%s\n%s, %s  %s\n";
    std::string long260(259, 'n');
    for (size_t cch = 0; cch < 120; ++cch) {
        Compare(cch, "Failed step %d, Error code is %d\n", 5, 131);
        Compare(cch, "%.*s~sp%u.tmp", 12, "C:\\qARNEL\\books\\Film\\x", 4294967295u);
        Compare(cch, "Assertion failed: %s, file ..\\setup, line %d\n", "PayloadChainInsideFile( &file, dwOffset )", 412);
        Compare(cch, form, "230054", "1.0", "BBBB-beta", long260.c_str(), "Springfield", "", "12345");
        Compare(cch, "%s \"%s\" \"\\Program Files\\qARNEL Beta\" %d \"%s\" \"%s\" %s", "SH3", "qARNEL", 230054,
                "Ann Lee", "", "qArnel.ld");
    }
}

TEST(Formatter, AConversionItDoesNotKnowIsWrittenAsItStands)
{
    char sz[32];
    EXPECT_EQ(FormatOurs(sz, sizeof sz, "a%yb%5qc%"), strlen("a%yb%5qc%"));
    EXPECT_STREQ(sz, "a%yb%5qc%");
}

TEST(FormatText, CutsTerminatesAndReportsAtEveryBoundary)
{
    char sz[16];
    for (size_t cch = 1; cch < 12; ++cch) {
        memset(sz, '#', sizeof sz);
        EXPECT_EQ(FormatText(sz, cch, "%s-%d", "abc", 12345), cch > 9) << cch;
        EXPECT_EQ(std::string(sz), std::string("abc-12345").substr(0, cch - 1));
        EXPECT_EQ(sz[cch], '#');
    }
    EXPECT_FALSE(FormatText(sz, 0, "x"));
    EXPECT_EQ(sz[0], 'a');
}

// Every string of up to kMaxLength characters of "ab" (and the empty one).
std::vector<std::string> ShortStrings()
{
    constexpr int kMaxLength = 5;
    std::vector<std::string> all = {""};
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].size() < kMaxLength)
            for (char c : {'a', 'b'})
                all.push_back(all[i] + c);
    return all;
}

int Sign(int n)
{
    return (n > 0) - (n < 0);
}

TEST(StringFunctions, AgreeWithTheHostOnEveryShortString)
{
    const std::vector<std::string> strings = ShortStrings();
    for (const std::string &s : strings) {
        const char *p = s.c_str();
        ASSERT_EQ(rt_strlen(p), strlen(p));
        for (size_t n = 0; n <= s.size() + 1; ++n) {
            ASSERT_EQ(rt_strnlen(p, n), strnlen(p, n));
            ASSERT_EQ(rt_memchr(p, 'b', n), memchr(p, 'b', n));
        }
        for (int c : {'a', 'b', 'c', '\0'}) {
            ASSERT_EQ(rt_strchr(p, c), strchr(p, c)) << s << " " << c;
            ASSERT_EQ(rt_strrchr(p, c), strrchr(p, c)) << s << " " << c;
        }
        for (const std::string &t : strings) {
            const char *q = t.c_str();
            ASSERT_EQ(Sign(rt_strcmp(p, q)), Sign(strcmp(p, q))) << s << " " << t;
            ASSERT_EQ(rt_strstr(p, q), strstr(p, q)) << s << " " << t;
            ASSERT_EQ(rt_strpbrk(p, q), strpbrk(p, q)) << s << " " << t;
            ASSERT_EQ(rt_strcspn(p, q), strcspn(p, q)) << s << " " << t;
            size_t n = std::min(s.size(), t.size());
            ASSERT_EQ(Sign(rt_memcmp(p, q, n)), Sign(memcmp(p, q, n))) << s << " " << t;
        }
    }
    EXPECT_EQ(Sign(rt_strcmp("\xe9", "a")), 1);   // bytes compare unsigned
}

TEST(StringFunctions, CopyMoveAndFillEveryRangeOfABuffer)
{
    constexpr size_t kSize = 12;
    for (size_t dst = 0; dst < kSize; ++dst)
        for (size_t src = 0; src < kSize; ++src)
            for (size_t n = 0; n + std::max(dst, src) <= kSize; ++n) {
                char ours[kSize], host[kSize];
                for (size_t i = 0; i < kSize; ++i)
                    ours[i] = host[i] = char('A' + i);
                ASSERT_EQ(rt_memmove(ours + dst, ours + src, n), ours + dst);
                memmove(host + dst, host + src, n);
                ASSERT_EQ(std::string(ours, kSize), std::string(host, kSize)) << dst << " " << src << " " << n;
                if (dst + n <= src || src + n <= dst) {
                    char copy[kSize];
                    memcpy(copy, ours, kSize);
                    ASSERT_EQ(rt_memcpy(copy + dst, host + src, n), copy + dst);
                    memcpy(ours + dst, host + src, n);
                    ASSERT_EQ(std::string(copy, kSize), std::string(ours, kSize));
                }
                ASSERT_EQ(rt_memset(ours + dst, 0x1ff, n), ours + dst);
                memset(host + dst, 0x1ff, n);
                ASSERT_EQ(std::string(ours, kSize), std::string(host, kSize));
            }
}

// The writer of the stream tests: keeps each block, fails from block nFailAt.
struct Blocks {
    std::vector<std::string> blocks;
    size_t nFailAt = SIZE_MAX;

    static bool Write(void *pv, const char *pch, size_t cch)
    {
        Blocks *p = static_cast<Blocks *>(pv);
        if (p->blocks.size() >= p->nFailAt)
            return false;
        p->blocks.emplace_back(pch, cch);
        return true;
    }
    std::string All() const
    {
        std::string all;
        for (const std::string &b : blocks)
            all += b;
        return all;
    }
};

TEST(TextStream, StoresEachLineFeedAsCrLfInBlocksOfItsBuffer)
{
    // A line feed at every place around the end of the buffer.
    for (size_t cchBefore = 505; cchBefore < 515; ++cchBefore) {
        std::string text = std::string(cchBefore, 'x') + "\nend\n\n" + std::string(1200, 'y') + "\n";
        Blocks out;
        TextStream stream(Blocks::Write, &out);
        stream.Put(text.c_str());
        ASSERT_TRUE(stream.Flush());
        std::string expected = std::string(cchBefore, 'x') + "\r\nend\r\n\r\n" + std::string(1200, 'y') + "\r\n";
        ASSERT_EQ(out.All(), expected);
        for (size_t i = 0; i + 1 < out.blocks.size(); ++i)
            ASSERT_EQ(out.blocks[i].size(), 512u);
    }
    Blocks none;
    TextStream empty(Blocks::Write, &none);
    empty.Put("");
    EXPECT_TRUE(empty.Flush());
    EXPECT_TRUE(none.blocks.empty());   // nothing to write is no write
}

TEST(TextStream, AfterAFailedWriteWritesNothingMoreAndSaysSo)
{
    Blocks out;
    out.nFailAt = 1;
    TextStream stream(Blocks::Write, &out);
    stream.Put(std::string(2000, 'z').c_str());
    EXPECT_FALSE(stream.Flush());
    stream.Put("more\n");
    EXPECT_FALSE(stream.Flush());
    ASSERT_EQ(out.blocks.size(), 1u);
    EXPECT_EQ(out.blocks[0], std::string(512, 'z'));
}

}  // namespace
