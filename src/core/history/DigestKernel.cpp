#include "history/DigestKernel.h"

#include "monitor/DaySummary.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define REGISTRATOR_KERNEL_SSE2 1
#endif

namespace registrator::history {

void KernelCarry::Start(const double* previous) {
    for (std::size_t c = 0; c < kKernelChannels; ++c) {
        Previous[c] = previous[c];
        Low[c] = High[c] = std::nan("");
    }
}

#ifdef REGISTRATOR_KERNEL_SSE2

namespace {

__m128d Select(__m128d mask, __m128d yes, __m128d no) {
    return _mm_or_pd(_mm_and_pd(mask, yes), _mm_andnot_pd(mask, no));
}

} // namespace

void AddReadings(const double* readings, const KernelRules& r, double* lowest, double* highest, double* sum,
                 double* count, KernelCarry& carry, std::uint8_t* levels, const std::uint8_t* last) {
    const __m128d zero = _mm_setzero_pd();
    const __m128d one = _mm_set1_pd(1.0);
    const __m128d absurd = _mm_set1_pd(monitor::kAbsurdCurrent);
    int inside = 3;
    for (std::size_t i = 0; i < kKernelChannels; i += 2) {
        const __m128d v = _mm_loadu_pd(readings + i);
        // Plausible as monitor::IsPlausibleReading: NaN fails both comparisons.
        const __m128d ok = _mm_and_pd(_mm_cmpge_pd(v, zero), _mm_cmple_pd(v, absurd));
        const __m128d lo = _mm_loadu_pd(lowest + i);
        const __m128d hi = _mm_loadu_pd(highest + i);
        _mm_storeu_pd(lowest + i, _mm_min_pd(Select(ok, v, lo), lo));
        _mm_storeu_pd(highest + i, _mm_max_pd(Select(ok, v, hi), hi));
        _mm_storeu_pd(sum + i, _mm_add_pd(_mm_loadu_pd(sum + i), _mm_and_pd(ok, v)));
        _mm_storeu_pd(count + i, _mm_add_pd(_mm_loadu_pd(count + i), _mm_and_pd(ok, one)));
        inside &= _mm_movemask_pd(_mm_and_pd(_mm_cmpgt_pd(v, _mm_load_pd(carry.Low + i)),
                                             _mm_cmplt_pd(v, _mm_load_pd(carry.High + i))));
    }
    if (inside == 3 && last) {
        std::memcpy(levels, last, kKernelChannels);
        return;
    }
    const __m128d inf = _mm_set1_pd(HUGE_VAL);
    const __m128d minusInf = _mm_set1_pd(-HUGE_VAL);
    const __m128d nan = _mm_set1_pd(std::nan(""));
    for (std::size_t c = 0; c < kKernelChannels; c += 8) {
        __m128i out[4];
        for (std::size_t k = 0; k < 4; ++k) {
            const std::size_t i = c + 2 * k;
            const __m128d v = _mm_loadu_pd(readings + i);
            const __m128d ok = _mm_and_pd(_mm_cmpge_pd(v, zero), _mm_cmple_pd(v, absurd));
            const __m128d s0 = _mm_load_pd(r.S0 + i);
            const __m128d s1 = _mm_load_pd(r.S1 + i);
            const __m128d s2 = _mm_load_pd(r.S2 + i);
            __m128d level = _mm_load_pd(r.P0 + i);
            const __m128d above0 = _mm_cmpgt_pd(v, s0);
            const __m128d above1 = _mm_cmpgt_pd(v, s1);
            const __m128d above2 = _mm_cmpgt_pd(v, s2);
            const __m128d on =
                _mm_or_pd(_mm_or_pd(_mm_cmpeq_pd(v, s0), _mm_cmpeq_pd(v, s1)), _mm_cmpeq_pd(v, s2));
            level = _mm_add_pd(level, _mm_and_pd(above0, _mm_load_pd(r.D1 + i)));
            level = _mm_add_pd(level, _mm_and_pd(above1, _mm_load_pd(r.D2 + i)));
            level = _mm_add_pd(level, _mm_and_pd(above2, _mm_load_pd(r.D3 + i)));
            level = Select(_mm_cmpeq_pd(v, s2), _mm_load_pd(r.E2 + i), level);
            level = Select(_mm_cmpeq_pd(v, s1), _mm_load_pd(r.E1 + i), level);
            level = Select(_mm_cmpeq_pd(v, s0), _mm_load_pd(r.E0 + i), level);
            const __m128d before = _mm_load_pd(carry.Previous + i);
            const __m128d keep =
                _mm_or_pd(_mm_cmpeq_pd(level, zero), _mm_xor_pd(ok, _mm_cmpeq_pd(zero, zero)));
            const __m128d now = Select(keep, before, level);
            _mm_store_pd(carry.Previous + i, now);
            // The open stretch the reading lies in; none on a threshold, for an implausible reading, or
            // where the rule keeps the state before.
            const __m128d empty = _mm_or_pd(keep, on);
            __m128d low = Select(above0, s0, minusInf);
            low = Select(above1, s1, low);
            low = Select(above2, s2, low);
            __m128d high = Select(_mm_cmplt_pd(v, s2), s2, inf);
            high = Select(_mm_cmplt_pd(v, s1), s1, high);
            high = Select(_mm_cmplt_pd(v, s0), s0, high);
            _mm_store_pd(carry.Low + i, Select(empty, nan, low));
            _mm_store_pd(carry.High + i, Select(empty, nan, high));
            out[k] = _mm_cvttpd_epi32(_mm_and_pd(ok, now));
        }
        const __m128i low = _mm_unpacklo_epi64(out[0], out[1]);
        const __m128i high = _mm_unpacklo_epi64(out[2], out[3]);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(low, high), _mm_setzero_si128());
        _mm_storel_epi64(reinterpret_cast<__m128i*>(levels + c), bytes);
    }
}

#else

void AddReadings(const double* readings, const KernelRules& r, double* lowest, double* highest, double* sum,
                 double* count, KernelCarry& carry, std::uint8_t* levels, const std::uint8_t*) {
    double* previous = carry.Previous;
    for (std::size_t c = 0; c < kKernelChannels; ++c) {
        const double v = readings[c];
        const bool ok = monitor::IsPlausibleReading(v);
        if (!ok) {
            levels[c] = 0;
            continue;
        }
        lowest[c] = v < lowest[c] ? v : lowest[c];
        highest[c] = v > highest[c] ? v : highest[c];
        sum[c] += v;
        count[c] += 1;
        double level =
            r.P0[c] + (v > r.S0[c] ? r.D1[c] : 0) + (v > r.S1[c] ? r.D2[c] : 0) + (v > r.S2[c] ? r.D3[c] : 0);
        if (v == r.S2[c])
            level = r.E2[c];
        if (v == r.S1[c])
            level = r.E1[c];
        if (v == r.S0[c])
            level = r.E0[c];
        if (level != 0)
            previous[c] = level;
        levels[c] = static_cast<std::uint8_t>(previous[c]);
    }
}

#endif

} // namespace registrator::history
