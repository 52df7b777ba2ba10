#pragma once

// Console output as usual, then each benchmark's time as a ratio against a named baseline of the same run.
#include <benchmark/benchmark.h>
#include <cstdio>
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
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration)
                perIteration_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }

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
};

using RatioPairs = std::vector<std::pair<std::string, std::string>>;

// The whole main of a benchmark program: runs what the command line selects, then prints the ratios.
inline int RunBenchmarksWithRatios(int& argc, char** argv, RatioPairs pairs) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter(std::move(pairs));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
