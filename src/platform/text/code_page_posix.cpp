#include "platform/text/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {
constexpr UINT kDefaultCodePage = 1252;

UINT Resolve(UINT codePage) {
    return (codePage == CP_ACP || codePage == CP_THREAD_ACP) ? GetACP() : codePage;
}

std::string IconvName(UINT codePage) {
    if (codePage == CP_UTF8) return "UTF-8";
    if (codePage == 20127) return "ASCII";
    if (codePage >= 28591 && codePage <= 28599) return "ISO-8859-" + std::to_string(codePage - 28590);
    return "CP" + std::to_string(codePage);
}

// Opening a converter costs far more than converting a short text (a module look-up and several
// allocations), so each thread keeps the one it last used in each direction. iconv descriptors carry shift
// state and must not be shared between threads, hence one per thread; a kept one is reset to its initial
// state before every use, so a conversion that failed half-way leaves nothing behind.
class Converter {
public:
    // The converter from UTF-16LE to `codePage` (toUtf16 false) or back; null when iconv does not know it.
    static iconv_t For(UINT codePage, bool toUtf16) {
        thread_local Converter kept[2];
        Converter& c = kept[toUtf16 ? 1 : 0];
        if (c.Valid() && c.m_nCodePage == codePage) {
            (void)iconv(c.m_cd, nullptr, nullptr, nullptr, nullptr);
            return c.m_cd;
        }
        c.Reset();
        const std::string name = IconvName(codePage);
        c.m_cd = toUtf16 ? iconv_open("UTF-16LE", name.c_str()) : iconv_open(name.c_str(), "UTF-16LE");
        c.m_nCodePage = codePage;
        return c.Valid() ? c.m_cd : nullptr;
    }
    Converter() = default;
    ~Converter() { Reset(); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

private:
    bool Valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    void Reset() {
        if (Valid()) iconv_close(m_cd);
        m_cd = reinterpret_cast<iconv_t>(-1);
    }
    iconv_t m_cd = reinterpret_cast<iconv_t>(-1);
    UINT m_nCodePage = 0;
};

int Length(const char* src, int srcBytes) {
    return srcBytes >= 0 ? srcBytes : static_cast<int>(std::strlen(src)) + 1;
}

int Length(const char16_t* src, int srcUnits) {
    if (srcUnits >= 0) return srcUnits;
    int n = 0;
    while (src[n] != 0) ++n;
    return n + 1;
}

// What a code page does with single bytes, found once by converting each byte alone: a byte that is
// the first of a longer sequence makes the page a multi-byte one; in a single-byte page, a byte the
// page leaves undefined stands for the code point of its own value, as in the Windows tables.
struct CodePageShape {
    UINT codePage = 0;
    bool known = false;
    bool multiByte = false;
    std::bitset<256> undefined;
};

const CodePageShape* ShapeOf(UINT codePage) {
    thread_local CodePageShape shape;
    if (shape.known && shape.codePage == codePage) return &shape;
    shape = CodePageShape{};
    iconv_t cv = Converter::For(codePage, true);
    if (cv == nullptr) return nullptr;
    for (int b = 0; b < 256; ++b) {
        char byte = static_cast<char>(b);
        char* in = &byte;
        size_t inLeft = 1;
        char units[8];
        char* out = units;
        size_t outLeft = sizeof units;
        (void)iconv(cv, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cv, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1)) continue;
        if (errno == EINVAL) shape.multiByte = true;
        shape.undefined[static_cast<size_t>(b)] = errno == EILSEQ;
    }
    shape.codePage = codePage;
    shape.known = true;
    return &shape;
}

// Length of the invalid sequence at `in` in a multi-byte page: the longest start of it that the page
// would accept as the beginning of a character (at least one byte), so that the bytes after it are
// decoded afresh.
size_t InvalidSequenceLength(iconv_t cv, char* in, size_t inLeft) {
    size_t length = 1;
    for (size_t k = 1; k <= std::min<size_t>(inLeft, 4); ++k) {
        char* probe = in;
        size_t probeLeft = k;
        char units[16];
        char* out = units;
        size_t outLeft = sizeof units;
        (void)iconv(cv, nullptr, nullptr, nullptr, nullptr);
        const bool incomplete =
            iconv(cv, &probe, &probeLeft, &out, &outLeft) == static_cast<size_t>(-1) && errno == EINVAL;
        if (!incomplete) break;
        length = k;
    }
    (void)iconv(cv, nullptr, nullptr, nullptr, nullptr);
    return length;
}

void PutUnit(char*& out, size_t& outLeft, unsigned unit) {
    out[0] = static_cast<char>(unit & 0xFF);
    out[1] = static_cast<char>(unit >> 8);
    out += 2;
    outLeft -= 2;
}

// Bytes to UTF-16 as Windows converts them: an undefined byte of a single-byte page becomes the code
// point of its value, an invalid sequence of a multi-byte page one U+FFFD, and the rest of the text
// survives. False only for a code page iconv does not know.
bool ToUtf16(UINT codePage, const char* src, int n, std::u16string& out) {
    out.clear();
    if (n == 0) return true;
    const CodePageShape* shape = ShapeOf(codePage);
    if (shape == nullptr) return false;
    iconv_t cv = Converter::For(codePage, true);
    if (cv == nullptr) return false;
    // Every byte gives at most two code units, a substitute one.
    std::string bytes(static_cast<size_t>(n) * 4 + 8, '\0');
    char* in = const_cast<char*>(src);
    size_t inLeft = static_cast<size_t>(n);
    char* outPtr = bytes.data();
    size_t outLeft = bytes.size();
    while (inLeft > 0) {
        if (iconv(cv, &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
        if (errno != EILSEQ && errno != EINVAL) return false;
        if (!shape->multiByte) {
            PutUnit(outPtr, outLeft, static_cast<unsigned char>(*in));
            ++in;
            --inLeft;
            continue;
        }
        // A sequence cut short by the end of the text is invalid as a whole.
        const size_t skip = errno == EINVAL ? inLeft : InvalidSequenceLength(cv, in, inLeft);
        PutUnit(outPtr, outLeft, 0xFFFD);
        in += skip;
        inLeft -= skip;
    }
    const size_t produced = bytes.size() - outLeft;
    out.reserve(produced / 2);
    for (size_t i = 0; i + 1 < produced; i += 2) {
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return true;
}

// Converts UTF-16 to the code page; a code point below 256 that stands for an undefined byte of a
// single-byte page goes back to that byte, anything else the page cannot hold becomes `replacement`.
// False for an unknown code page.
bool FromUtf16(UINT codePage, const char16_t* src, int n, char replacement, std::string& out,
               bool& replaced) {
    out.clear();
    replaced = false;
    if (n == 0) return true;
    const CodePageShape* shape = ShapeOf(codePage);
    if (shape == nullptr) return false;
    iconv_t cv = Converter::For(codePage, false);
    if (cv == nullptr) return false;
    std::string units;
    for (int i = 0; i < n; ++i) {
        units.push_back(static_cast<char>(src[i] & 0xFF));
        units.push_back(static_cast<char>(src[i] >> 8));
    }
    std::string buffer(static_cast<size_t>(n) * 4 + 8, '\0');
    char* in = units.data();
    size_t inLeft = units.size();
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        const size_t rc = iconv(cv, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (rc != static_cast<size_t>(-1)) break;
        if (errno != EILSEQ && errno != EINVAL) return false;
        // Skip the unit (or the surrogate pair) that the code page cannot hold.
        const unsigned unit = static_cast<unsigned char>(in[0]) | (static_cast<unsigned char>(in[1]) << 8);
        const size_t skip = (unit >= 0xD800 && unit < 0xDC00 && inLeft >= 4) ? 4 : 2;
        in += std::min(skip, inLeft);
        inLeft -= std::min(skip, inLeft);
        if (!shape->multiByte && unit < 256 && shape->undefined[unit]) {
            out.push_back(static_cast<char>(unit));
            continue;
        }
        out.push_back(replacement);
        replaced = true;
    }
    return true;
}
}  // namespace

UINT GetACP() {
    const char* value = std::getenv("QUARVEL_CODEPAGE");
    if (value == nullptr || *value == '\0') return kDefaultCodePage;
    char* end = nullptr;
    const unsigned long number = std::strtoul(value, &end, 10);
    if (*end != '\0' || number == 0 || number > 65535) return kDefaultCodePage;
    return static_cast<UINT>(number);
}

int MultiByteToWideChar(UINT codePage, DWORD, const char* src, int srcBytes, char16_t* dst, int dstUnits) {
    if (src == nullptr || dstUnits < 0 || (dstUnits > 0 && dst == nullptr)) return 0;
    const int n = Length(src, srcBytes);
    std::u16string wide;
    if (n == 0 || !ToUtf16(Resolve(codePage), src, n, wide)) return 0;
    const int needed = static_cast<int>(wide.size());
    if (dstUnits == 0) return needed;
    if (needed > dstUnits) return 0;
    std::memcpy(dst, wide.data(), wide.size() * sizeof(char16_t));
    return needed;
}

int WideCharToMultiByte(UINT codePage, DWORD, const char16_t* src, int srcUnits, char* dst, int dstBytes,
                        const char* defaultChar, BOOL* usedDefaultChar) {
    if (src == nullptr || dstBytes < 0 || (dstBytes > 0 && dst == nullptr)) return 0;
    const int n = Length(src, srcUnits);
    std::string bytes;
    bool replaced = false;
    const char replacement = defaultChar != nullptr ? *defaultChar : '?';
    if (n == 0 || !FromUtf16(Resolve(codePage), src, n, replacement, bytes, replaced)) return 0;
    if (usedDefaultChar != nullptr) *usedDefaultChar = replaced ? TRUE : FALSE;
    const int needed = static_cast<int>(bytes.size());
    if (dstBytes == 0) return needed;
    if (needed > dstBytes) return 0;
    std::memcpy(dst, bytes.data(), bytes.size());
    return needed;
}

CString AnsiToWide(const std::string& text) {
    std::u16string wide;
    if (!ToUtf16(GetACP(), text.data(), static_cast<int>(text.size()), wide)) return {};
    return wide;
}

std::string WideToAnsi(const CString& text) {
    std::string bytes;
    bool replaced = false;
    if (!FromUtf16(GetACP(), text.data(), static_cast<int>(text.size()), '?', bytes, replaced)) return {};
    return bytes;
}
