#include "common/Cp1251.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace registrator::common {

namespace {

// Bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F. 0x98 has no character and passes through
// as U+0098 so that every byte survives a round trip.
constexpr std::array<char32_t, 64> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

char32_t ToUnicode(unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (byte >= 0xC0)
        return 0x0410 + (byte - 0xC0);
    return kUpperHalf[byte - 0x80];
}

char FromUnicode(char32_t cp) {
    if (cp < 0x80)
        return static_cast<char>(cp);
    if (cp >= 0x0410 && cp <= 0x044F)
        return static_cast<char>(0xC0 + (cp - 0x0410));
    for (std::size_t i = 0; i < kUpperHalf.size(); ++i)
        if (kUpperHalf[i] == cp)
            return static_cast<char>(0x80 + i);
    return '?';
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at pos; returns its length, or 0 when it is malformed (overlong,
// surrogate, beyond U+10FFFF, truncated or a stray continuation byte).
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, char32_t& cp) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (pos + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

bool IsUtf8WithNonAscii(std::string_view text) {
    bool nonAscii = false;
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(text, pos, cp);
        if (length == 0)
            return false;
        nonAscii = nonAscii || length > 1;
        pos += length;
    }
    return nonAscii;
}

// UTF-16 to Windows-1251. Strictly, an odd byte, an unpaired surrogate or a NUL means the bytes are
// no UTF-16 text; otherwise they become '?' (an odd last byte is dropped), as any character that
// Windows-1251 lacks does.
std::optional<std::string> Utf16ToCp1251(std::string_view bytes, bool bigEndian, bool strict) {
    if (strict && bytes.size() % 2 != 0)
        return std::nullopt;
    const auto unit = [&](std::size_t i) -> char32_t {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? first << 8 | second : second << 8 | first;
    };
    const auto isLow = [](char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; };
    std::string out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size() && isLow(unit(i + 2))) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (strict)
                return std::nullopt;
            cp = '?';
        }
        if (strict && cp == 0)
            return std::nullopt;
        out += FromUnicode(cp);
    }
    return out;
}

// UTF-16 without its mark, as some editors save it: Windows-1251 and UTF-8 text hold no zero byte,
// while UTF-16 has one in every ASCII character, always on the same side of it. Whether it is big
// endian, or nothing when the bytes do not look so.
std::optional<bool> Utf16WithoutMark(std::string_view bytes) {
    if (bytes.size() < 2 || bytes.size() % 2 != 0)
        return std::nullopt;
    std::size_t zerosFirst = 0;
    std::size_t zerosSecond = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        zerosFirst += bytes[i] == '\0';
        zerosSecond += bytes[i + 1] == '\0';
    }
    const std::size_t units = bytes.size() / 2;
    // Mostly ASCII, as an INI file's keys, numbers and line ends are.
    if (std::max(zerosFirst, zerosSecond) * 4 < units || zerosFirst == zerosSecond)
        return std::nullopt;
    return zerosFirst > zerosSecond;
}

// Lower case of the Latin, Greek and Cyrillic capitals; any other character is its own.
char32_t LowerCase(char32_t cp) {
    const auto evenUpper = [&](char32_t first, char32_t last) {
        return cp >= first && cp <= last && cp % 2 == 0;
    };
    const auto oddUpper = [&](char32_t first, char32_t last) {
        return cp >= first && cp <= last && cp % 2 == 1;
    };
    if ((cp >= 'A' && cp <= 'Z') || (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) ||
        (cp >= 0x391 && cp <= 0x3AB) || (cp >= 0x410 && cp <= 0x42F))
        return cp + 0x20;
    if (cp >= 0x400 && cp <= 0x40F)
        return cp + 0x50;
    if (cp == 0x130)
        return 'i';
    if (cp == 0x178)
        return 0xFF;
    if (cp == 0x386)
        return 0x3AC;
    if (cp >= 0x388 && cp <= 0x38A)
        return cp + 0x25;
    if (cp == 0x38C || cp == 0x38E || cp == 0x38F)
        return cp + (cp == 0x38C ? 0x40 : 0x3F);
    if (cp == 0x4C0)
        return 0x4CF;
    if (evenUpper(0x100, 0x137) || oddUpper(0x139, 0x148) || evenUpper(0x14A, 0x177) ||
        oddUpper(0x179, 0x17E) || evenUpper(0x460, 0x481) || evenUpper(0x48A, 0x4BF) ||
        oddUpper(0x4C1, 0x4CE) || evenUpper(0x4D0, 0x52F))
        return cp + 1;
    return cp;
}

} // namespace

std::string LowerCaseAfterFirstCharacter(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(utf8, pos, cp);
        // Malformed bytes, the first character and those past U+FFFF stay as they are.
        if (length == 0 || pos == 0 || cp > 0xFFFF)
            out.append(utf8.substr(pos, std::max<std::size_t>(length, 1)));
        else
            AppendUtf8(out, LowerCase(cp));
        pos += std::max<std::size_t>(length, 1);
    }
    return out;
}

std::string Cp1251ToUtf8(std::string_view cp1251) {
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (const char c : cp1251)
        AppendUtf8(out, ToUnicode(static_cast<unsigned char>(c)));
    return out;
}

std::string Utf8ToCp1251(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(utf8, pos, cp);
        if (length == 0) {
            out += '?';
            ++pos;
            continue;
        }
        out += FromUnicode(cp);
        pos += length;
    }
    return out;
}

std::string TextFileToCp1251(std::string bytes) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    const std::string_view view(bytes);
    if (view.starts_with("\xFF\xFE") || view.starts_with("\xFE\xFF"))
        return *Utf16ToCp1251(view.substr(2), view[0] == '\xFE', false);
    if (const std::optional<bool> bigEndian = Utf16WithoutMark(view)) {
        if (auto text = Utf16ToCp1251(view, *bigEndian, true))
            return *std::move(text);
    }
    if (view.starts_with(kByteOrderMark))
        bytes.erase(0, kByteOrderMark.size());
    if (IsUtf8WithNonAscii(bytes))
        return Utf8ToCp1251(bytes);
    return bytes;
}

} // namespace registrator::common
