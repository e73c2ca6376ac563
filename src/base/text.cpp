#include "base/text.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace vt {
namespace {

// Length of the UTF-8 sequence a lead byte starts (1 for a stray byte), so that a
// character the target lacks becomes one replacement, not one per byte.
std::size_t Utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC2 && lead < 0xE0)
        return 2;
    return 1;
}

enum Direction { kGbkToUtf8, kUtf8ToGbk, kGbkToUtf16, kUtf16ToGbk, kDirections };

const char* const kCodes[kDirections][2] = {
    {"UTF-8", "GBK"}, {"GBK", "UTF-8"}, {"UTF-16LE", "GBK"}, {"GBK", "UTF-16LE"}};

// Each thread keeps its own converter per direction: opening one per call costs more than
// most conversions, and a converter must not be shared between threads.
struct Converters {
    iconv_t cd[kDirections];
    Converters() {
        for (int d = 0; d < kDirections; ++d) cd[d] = iconv_open(kCodes[d][0], kCodes[d][1]);
    }
    ~Converters() {
        for (iconv_t c : cd)
            if (c != reinterpret_cast<iconv_t>(-1))
                iconv_close(c);
    }
};

// The converter modules are loaded once and stay loaded: these never close, so a thread
// that ends never unloads a module another thread is using.
const Converters& PinnedModules() {
    static const Converters* pinned = new Converters();
    return *pinned;
}

iconv_t ConverterFor(Direction d) {
    PinnedModules();
    thread_local Converters mine;
    iconv_t cd = mine.cd[d];
    if (cd != reinterpret_cast<iconv_t>(-1))
        iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    return cd;
}

// One conversion with iconv; inUnit is the input unit to skip over on a failure (0: a
// UTF-8 character). a byte that cannot be converted is replaced by '?'
// (in the target's own encoding) and conversion goes on after it.
template <typename Out>
Out Convert(Direction direction, const char* in, std::size_t inLen, std::size_t inUnit,
            const char* replacement, std::size_t replacementLen) {
    Out out;
    if (inLen == 0)
        return out;
    iconv_t cd = ConverterFor(direction);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return out;
    std::string buffer;
    buffer.resize(inLen * 4 + 16);
    char* src = const_cast<char*>(in);
    std::size_t srcLeft = inLen;
    std::string bytes;
    while (srcLeft > 0) {
        char* dst = buffer.data();
        std::size_t dstLeft = buffer.size();
        std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        bytes.append(buffer.data(), buffer.size() - dstLeft);
        if (rc == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL: skip one input unit and put the replacement in its place.
            bytes.append(replacement, replacementLen);
            std::size_t unit =
                inUnit ? inUnit : Utf8SequenceLength(static_cast<unsigned char>(*src));
            std::size_t skip = srcLeft < unit ? srcLeft : unit;
            src += skip;
            srcLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    using Unit = typename Out::value_type;
    out.resize(bytes.size() / sizeof(Unit));
    std::memcpy(out.data(), bytes.data(), out.size() * sizeof(Unit));
    return out;
}

const char16_t kQuestion16 = u'?';

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    return Convert<std::string>(kGbkToUtf8, gbk.data(), gbk.size(), 1, "?", 1);
}

std::string Utf8ToGbk(std::string_view utf8) {
    return Convert<std::string>(kUtf8ToGbk, utf8.data(), utf8.size(), 0, "?", 1);
}

std::u16string GbkToUtf16(std::string_view gbk) {
    return Convert<std::u16string>(kGbkToUtf16, gbk.data(), gbk.size(), 1,
                                   reinterpret_cast<const char*>(&kQuestion16), 2);
}

std::string Utf16ToGbk(std::u16string_view utf16) {
    return Convert<std::string>(kUtf16ToGbk, reinterpret_cast<const char*>(utf16.data()),
                                utf16.size() * 2, 2, "?", 1);
}

bool IsTrimSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string TrimLeft(std::string_view text) {
    std::size_t b = 0;
    while (b < text.size() && IsTrimSpace(text[b])) ++b;
    return std::string(text.substr(b));
}

std::string TrimRight(std::string_view text) {
    std::size_t e = text.size();
    while (e > 0 && IsTrimSpace(text[e - 1])) --e;
    return std::string(text.substr(0, e));
}

std::string WithoutZeroBytes(std::string_view text) {
    // Pages seldom hold one: most texts are copied whole.
    if (text.empty() || std::memchr(text.data(), '\0', text.size()) == nullptr)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\0')
            out.push_back(c);
    return out;
}

std::string Trim(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (e > 0 && IsTrimSpace(text[e - 1])) --e;
    while (b < e && IsTrimSpace(text[b])) ++b;
    return std::string(text.substr(b, e - b));
}

bool IsGbkLeadByte(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

std::string GbkPrefix(std::string_view gbk, std::size_t maxBytes) {
    std::size_t i = 0;
    while (i < gbk.size()) {
        std::size_t width = IsGbkLeadByte(static_cast<unsigned char>(gbk[i])) ? 2 : 1;
        if (i + width > maxBytes)
            break;
        i += width;
    }
    if (i > gbk.size())
        i = gbk.size();
    return std::string(gbk.substr(0, i));
}

}  // namespace vt
