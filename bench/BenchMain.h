#pragma once

// A benchmark main that, after the usual console report, prints each declared ratio
// "name: candidate / baseline = x.xx" from the real times measured in the same run (the
// fastest repetition of each when a benchmark repeats).

#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/VectorState.h"

namespace Qd::Bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // With repetitions, the fastest: other work on the machine only ever adds time.
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration)
                continue;
            const auto [it, first] =
                m_times.try_emplace(r.run_name.function_name, r.GetAdjustedRealTime());
            if (!first)
                it->second = std::min(it->second, r.GetAdjustedRealTime());
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double time(const std::string& name) const {
        const auto it = m_times.find(name);
        return it == m_times.end() ? -1.0 : it->second;
    }

private:
    std::map<std::string, double> m_times;
};

// candidate, baseline, limit (0: report only)
struct Ratio {
    const char* candidate;
    const char* baseline;
    double limit;
};

inline int runWithRatios(int argc, char** argv, const std::vector<Ratio>& ratios) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Baselines and the framework's code run from the same clean vector state.
    std::printf("AVX upper state after QApplication: %s\n",
                Core::Sys::vectorStateDirty() ? "in use (reset now)" : "clean");
    Core::Sys::resetVectorState();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nRatios (same run):\n");
    for (const Ratio& r : ratios) {
        const double c = reporter.time(r.candidate), b = reporter.time(r.baseline);
        if (c <= 0 || b <= 0)  // not run, or failed
            continue;
        std::printf("  %s / %s = %.2f%s\n", r.candidate, r.baseline, c / b,
                    r.limit > 0 ? (c / b <= r.limit ? "  (within limit)" : "  (OVER LIMIT)") : "");
    }
    benchmark::Shutdown();
    return 0;
}

}  // namespace Qd::Bench
