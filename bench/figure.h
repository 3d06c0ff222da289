#pragma once
// What every bench program of bench/run shares: percentiles of its samples and one figure as a JSON line
// on standard output (name, value, unit, the floor or peer it stands beside, their ratio, the goal).
#include <algorithm>
#include <cstdio>
#include <vector>

inline double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

inline void Figure(const char* name, double value, const char* unit, const char* versusName, double versus,
                   const char* goal) {
    std::printf(
        "{\"name\":\"%s\",\"value\":%.3f,\"unit\":\"%s\",\"versus\":\"%s\",\"versus_value\":%.3f,"
        "\"ratio\":%.4f,\"goal\":\"%s\"}\n",
        name, value, unit, versusName, versus, versus != 0 ? value / versus : 0.0, goal);
    std::fflush(stdout);
}
