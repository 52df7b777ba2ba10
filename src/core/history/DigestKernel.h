#pragma once

#include "archive/ArchiveRecords.h"

#include <cstddef>
#include <cstdint>

namespace registrator::history {

constexpr std::size_t kKernelChannels = 72;

// monitor::ClassifyReading of every channel as a table, asked of the rule itself once per channel: the
// rule compares a reading with three thresholds only, so with them sorted (S0 <= S1 <= S2) it gives
// one state on each open stretch between them and one on each threshold. A channel whose thresholds
// do not sort (not finite) has NaN ones and is asked of the rule reading by reading.
struct KernelRules {
    alignas(16) double S0[kKernelChannels];
    alignas(16) double S1[kKernelChannels];
    alignas(16) double S2[kKernelChannels];
    // [c][2k]: the state on the k-th open stretch (below S0, up to S1, up to S2, above S2);
    // [c][2k + 1]: on the k-th threshold, 0 for "keep the state before".
    std::uint8_t Piece[kKernelChannels][8];
};

// The state of one plausible reading of channel c, 0 on a threshold where the rule keeps the state
// before. Not for a channel with NaN thresholds.
inline std::uint8_t PieceLevel(const KernelRules& r, std::size_t c, double v) {
    const int above = (v > r.S0[c]) + (v > r.S1[c]) + (v > r.S2[c]);
    const double next = above == 0 ? r.S0[c] : above == 1 ? r.S1[c] : r.S2[c];
    return r.Piece[c][2 * above + (above < 3 && v == next)];
}

// Adds each channel's readings of `count` records into its lowest, highest and sum, in record order.
// After a NaN reading the lowest and highest are not to be trusted, but the sum stays NaN. Two
// channels at a time where the processor has SSE2, eight at once kept in registers.
void BandOfRecords(const archive::TArhivRec* records, std::size_t count, double* lowest, double* highest,
                   double* sum);

// Per channel, the state that every reading of a stretch of records shares, from their band: when
// all are plausible (the band says so) and no threshold lies between the lowest and the highest, the
// state of the open stretch between thresholds they lie in; else 0. `plausible` says whether every
// reading was plausible.
void SharedLevels(const KernelRules& rules, const double* lowest, const double* highest, const double* sum,
                  std::uint8_t* level, std::uint8_t* plausible);

// x rounded to the nearest whole number, halves up, as std::llround rounds 0 <= x < 2^52.
inline double RoundedWhole(double x) {
    const double even = (x + 0x1p52) - 0x1p52; // halves to even
    return even + (x - even == 0.5 ? 1.0 : 0.0);
}

} // namespace registrator::history
