#pragma once

// Console output as usual, then each benchmark's time as a ratio against a named baseline of the same run.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // pairs of (benchmark, baseline) names
    explicit RatioReporter(std::vector<std::pair<std::string, std::string>> pairs)
        : pairs_(std::move(pairs)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            failed_ = failed_ || run.error_occurred;
            if (run.run_type == Run::RT_Iteration)
                perIteration_[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
    }
    // A case gave up (SkipWithError): the program fails, so that a run of the tests sees it.
    bool Failed() const { return failed_; }

    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const auto& [name, baseline] : pairs_) {
            const auto a = perIteration_.find(name);
            const auto b = perIteration_.find(baseline);
            if (a == perIteration_.end() || b == perIteration_.end() || b->second <= 0)
                continue;
            std::printf("ratio %s / %s = %.3f\n", name.c_str(), baseline.c_str(), a->second / b->second);
        }
    }

private:
    std::vector<std::pair<std::string, std::string>> pairs_;
    std::map<std::string, double> perIteration_;
    bool failed_ = false;
};

using RatioPairs = std::vector<std::pair<std::string, std::string>>;

namespace registrator::bench {

constexpr const char* kMinTimeFlag = "--benchmark_min_time=";

// The seconds a case runs at least, as --benchmark_min_time asks ("0.005" or "0.005s"); `fallback`
// when the command line does not say.
inline double MinTimeAsked(int argc, char** argv, double fallback) {
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], kMinTimeFlag, std::strlen(kMinTimeFlag)) == 0)
            return std::strtod(argv[i] + std::strlen(kMinTimeFlag), nullptr);
    return fallback;
}

// A run of a few milliseconds a case, as the tests run every benchmark once to see it finish: the
// cases of a fixed count run a token few too.
inline bool BriefRun(int argc, char** argv) {
    return MinTimeAsked(argc, argv, 1) < 0.1;
}

} // namespace registrator::bench

// The whole main of a benchmark program: runs what the command line selects, each case at least
// `minSeconds` unless the command line says otherwise, then prints the ratios. Non-zero when a case
// failed.
inline int RunBenchmarksWithRatios(int& argc, char** argv, RatioPairs pairs, double minSeconds = 0.5) {
    std::vector<char*> args(argv, argv + argc);
    std::string minTime = registrator::bench::kMinTimeFlag + std::to_string(minSeconds);
    if (registrator::bench::MinTimeAsked(argc, argv, -1) < 0)
        args.push_back(minTime.data());
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    RatioReporter reporter(std::move(pairs));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.Failed() ? 1 : 0;
}
