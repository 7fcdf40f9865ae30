#pragma once

// The process's memory as Linux reports it, for benchmarks that show what a run takes.

#include <cstring>
#include <fstream>
#include <string>

namespace Qd::Bench {

// A line of /proc/self/status ("VmRSS:", "VmHWM:") in MiB; 0 when there is none.
inline double statusMiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stod(line.substr(std::strlen(key))) / 1024.0;
    }
    return 0;
}

// Starts the peak (VmHWM) again from the resident memory now.
inline void resetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// The peak resident memory since the last reset, in MiB.
inline double peakMemoryMiB() {
    return statusMiB("VmHWM:");
}

}  // namespace Qd::Bench
