#include "history/DigestKernel.h"

#include "monitor/DaySummary.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define REGISTRATOR_KERNEL_SSE2 1
#endif

namespace registrator::history {

#ifdef REGISTRATOR_KERNEL_SSE2

namespace {

// Channels a pass over the records keeps in registers: three bands of eight fill twelve of the sixteen.
constexpr std::size_t kLanes = 8;

} // namespace

void BandOfRecords(const archive::TArhivRec* records, std::size_t count, double* lowest, double* highest,
                   double* sum) {
    for (std::size_t c = 0; c < kKernelChannels; c += kLanes) {
        // Unrolled, so that the twelve stay in registers.
        __m128d lo[4], hi[4], s[4];
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k) {
            lo[k] = _mm_loadu_pd(lowest + c + 2 * k);
            hi[k] = _mm_loadu_pd(highest + c + 2 * k);
            s[k] = _mm_loadu_pd(sum + c + 2 * k);
        }
        for (std::size_t i = 0; i < count; ++i) {
            const double* v = records[i].Tok + c;
#pragma GCC unroll 4
            for (int k = 0; k < 4; ++k) {
                const __m128d x = _mm_loadu_pd(v + 2 * k);
                lo[k] = _mm_min_pd(lo[k], x);
                hi[k] = _mm_max_pd(hi[k], x);
                s[k] = _mm_add_pd(s[k], x);
            }
        }
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k) {
            _mm_storeu_pd(lowest + c + 2 * k, lo[k]);
            _mm_storeu_pd(highest + c + 2 * k, hi[k]);
            _mm_storeu_pd(sum + c + 2 * k, s[k]);
        }
    }
}

void SharedLevels(const KernelRules& r, const double* lowest, const double* highest, const double* sum,
                  std::uint8_t* level, std::uint8_t* plausible) {
    const __m128d zero = _mm_setzero_pd();
    const __m128d absurd = _mm_set1_pd(monitor::kAbsurdCurrent);
    for (std::size_t c = 0; c < kKernelChannels; c += 2) {
        const __m128d lo = _mm_loadu_pd(lowest + c);
        const __m128d hi = _mm_loadu_pd(highest + c);
        const __m128d s = _mm_loadu_pd(sum + c);
        const __m128d ok =
            _mm_and_pd(_mm_cmpeq_pd(s, s), _mm_and_pd(_mm_cmpge_pd(lo, zero), _mm_cmple_pd(hi, absurd)));
        const __m128d t0 = _mm_load_pd(r.S0 + c);
        const __m128d t1 = _mm_load_pd(r.S1 + c);
        const __m128d t2 = _mm_load_pd(r.S2 + c);
        const __m128d past0 = _mm_cmpgt_pd(lo, t0);
        const __m128d past1 = _mm_cmpgt_pd(lo, t1);
        const __m128d past2 = _mm_cmpgt_pd(lo, t2);
        // No threshold in [lo, hi]; never for NaN thresholds.
        const __m128d one = _mm_and_pd(
            _mm_and_pd(ok, _mm_or_pd(_mm_cmplt_pd(hi, t0), past0)),
            _mm_and_pd(_mm_or_pd(_mm_cmplt_pd(hi, t1), past1), _mm_or_pd(_mm_cmplt_pd(hi, t2), past2)));
        const int b0 = _mm_movemask_pd(past0);
        const int b1 = _mm_movemask_pd(past1);
        const int b2 = _mm_movemask_pd(past2);
        const int above[2] = {(b0 & 1) + (b1 & 1) + (b2 & 1), (b0 >> 1) + (b1 >> 1) + (b2 >> 1)};
        const int okBits = _mm_movemask_pd(ok);
        const int oneBits = _mm_movemask_pd(one);
        for (std::size_t k = 0; k < 2; ++k) {
            plausible[c + k] = static_cast<std::uint8_t>((okBits >> k) & 1);
            level[c + k] = (oneBits >> k) & 1 ? r.Piece[c + k][2 * above[k]] : 0;
        }
    }
}

#else

void BandOfRecords(const archive::TArhivRec* records, std::size_t count, double* lowest, double* highest,
                   double* sum) {
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t c = 0; c < kKernelChannels; ++c) {
            const double v = records[i].Tok[c];
            lowest[c] = lowest[c] < v ? lowest[c] : v;
            highest[c] = highest[c] > v ? highest[c] : v;
            sum[c] += v;
        }
}

void SharedLevels(const KernelRules& r, const double* lowest, const double* highest, const double* sum,
                  std::uint8_t* level, std::uint8_t* plausible) {
    for (std::size_t c = 0; c < kKernelChannels; ++c) {
        const double lo = lowest[c];
        const double hi = highest[c];
        // A NaN reading made the sum NaN; the infinities and negative ones lie outside the band.
        const bool ok = sum[c] == sum[c] && lo >= 0 && hi <= monitor::kAbsurdCurrent;
        // No threshold in [lo, hi]; never for NaN thresholds.
        const bool one = (hi < r.S0[c] || lo > r.S0[c]) && (hi < r.S1[c] || lo > r.S1[c]) &&
                         (hi < r.S2[c] || lo > r.S2[c]);
        plausible[c] = ok;
        level[c] = ok && one ? r.Piece[c][2 * ((lo > r.S0[c]) + (lo > r.S1[c]) + (lo > r.S2[c]))] : 0;
    }
}

#endif

} // namespace registrator::history
