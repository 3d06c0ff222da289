#include "platform/text/utf8.h"

namespace {
void AppendUtf16(char32_t cp, CString& out) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}
}  // namespace

namespace {
// The length of the well-formed sequence at in[i] and its code point in *cp; 0 when it is ill-formed,
// overlong, an encoded surrogate or above U+10FFFF.
std::size_t DecodeOne(std::string_view in, std::size_t i, char32_t* cp) {
    const auto lead = static_cast<unsigned char>(in[i]);
    int extra;
    char32_t minimum;
    if (lead < 0x80) {
        *cp = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1, *cp = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, *cp = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, *cp = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (in.size() - i <= static_cast<std::size_t>(extra)) return 0;
    for (int k = 1; k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(in[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        *cp = (*cp << 6) | (next & 0x3F);
    }
    if (*cp < minimum || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF)) return 0;
    return static_cast<std::size_t>(extra) + 1;
}
}  // namespace

bool Utf8ToUtf16(std::string_view in, CString& out) {
    out.clear();
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        char32_t cp = 0;
        const std::size_t length = DecodeOne(in, i, &cp);
        if (length == 0) return false;
        AppendUtf16(cp, out);
        i += length;
    }
    return true;
}

std::string ValidUtf8(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        char32_t cp = 0;
        const std::size_t length = DecodeOne(in, i, &cp);
        if (length == 0 || cp == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD for the byte that starts no character (and for NUL)
            ++i;
        } else {
            out.append(in.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view in) {
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        char32_t cp = in[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        AppendUtf8(cp, out);
    }
    return out;
}
