#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace registrator::archive {

// One readings record of the day file: 584 bytes, little-endian, no padding.
struct TArhivRec {
    double Time = 0;     // time of day of channel 1's reading
    double Tok[72] = {}; // Tok[n - 1] is channel n's current in amperes
};
static_assert(sizeof(TArhivRec) == 584);
static_assert(offsetof(TArhivRec, Tok) == 8);

// One settings snapshot record: 80 bytes, Windows-1251 name with its length byte.
struct TUstRec {
    std::uint8_t NameLength = 0;
    char Name[50] = {};
    std::uint8_t Padding1[5] = {};
    double T_Nom = 0;
    double T_Max = 0;
    std::int32_t Moshn = 0;
    std::uint8_t Padding2[4] = {};
};
static_assert(sizeof(TUstRec) == 80);
static_assert(offsetof(TUstRec, T_Nom) == 56);
static_assert(offsetof(TUstRec, T_Max) == 64);
static_assert(offsetof(TUstRec, Moshn) == 72);

// The meaningful name bytes; a length byte past 50 in a damaged file is held to 50.
inline std::string_view NameBytes(const TUstRec& rec) {
    return {rec.Name, std::min<std::size_t>(rec.NameLength, sizeof rec.Name)};
}

} // namespace registrator::archive
