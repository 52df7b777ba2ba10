#pragma once

#include <cstddef>
#include <cstdint>

namespace registrator::history {

constexpr std::size_t kKernelChannels = 72;

// monitor::ClassifyReading of every channel as arithmetic, asked of the rule itself once per channel:
// the rule compares a reading with three thresholds only, so with them sorted (S0 <= S1 <= S2) it is
// one state on each open stretch between them (P0, then P0 + D1 past S0, + D2 past S1, + D3 past S2) and
// one on each threshold (E0, E1, E2). 0 stands for "keep the state before".
struct KernelRules {
    alignas(16) double S0[kKernelChannels];
    alignas(16) double S1[kKernelChannels];
    alignas(16) double S2[kKernelChannels];
    alignas(16) double P0[kKernelChannels];
    alignas(16) double D1[kKernelChannels];
    alignas(16) double D2[kKernelChannels];
    alignas(16) double D3[kKernelChannels];
    alignas(16) double E0[kKernelChannels];
    alignas(16) double E1[kKernelChannels];
    alignas(16) double E2[kKernelChannels];
};

// What the kernel carries from one record to the next: each channel's state, and the open stretch
// between thresholds its last reading lay in (empty after a reading on a threshold or an implausible one).
struct KernelCarry {
    alignas(16) double Previous[kKernelChannels];
    alignas(16) double Low[kKernelChannels];
    alignas(16) double High[kKernelChannels];
    void Start(const double* previous); // stretches empty
};

// One record's 72 readings into its minute's band (lowest, highest, sum and count of the plausible
// ones) and into each channel's state (the state before for a reading on a threshold; 0 for an
// implausible reading, which leaves the state before as it was). A record whose every reading stays in
// the stretch of the one before takes the states of `last` (the record before's), as motors mostly
// do. Two channels at a time where the processor has SSE2.
void AddReadings(const double* readings, const KernelRules& rules, double* lowest, double* highest,
                 double* sum, double* count, KernelCarry& carry, std::uint8_t* levels,
                 const std::uint8_t* last);

} // namespace registrator::history
