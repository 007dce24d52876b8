#pragma once

// Shared pieces of the phone preview's tests: loudness envelopes of EAS renders.

#include "playback/PhoneEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace playtest {

using Samples = std::vector<std::int16_t>;

// RMS level of each 50 ms block, left and right together.
inline std::vector<double> BlockLevels(const Samples& samples) {
    constexpr std::size_t kBlock = PhoneEngine::kSampleRate / 20 * PhoneEngine::kChannels;
    std::vector<double> levels;
    for (std::size_t at = 0; at + kBlock <= samples.size(); at += kBlock) {
        double sum = 0;
        for (std::size_t i = at; i < at + kBlock; ++i)
            sum += double(samples[i]) * samples[i];
        levels.push_back(std::sqrt(sum / kBlock));
    }
    return levels;
}

inline double Level(const Samples& samples) {
    double sum = 0;
    for (std::int16_t s : samples)
        sum += double(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / double(samples.size()));
}

// Whether two renders sound the same block for block (within 2 %, plus the noise floor).
inline testing::AssertionResult SoundsLike(const Samples& actual, const Samples& expected) {
    const auto a = BlockLevels(actual);
    const auto e = BlockLevels(expected);
    if (a.size() + 1 < e.size() || e.size() + 1 < a.size())
        return testing::AssertionFailure() << a.size() << " blocks, expected " << e.size();
    for (std::size_t i = 0; i < std::min(a.size(), e.size()); ++i)
        if (std::abs(a[i] - e[i]) > 0.02 * std::max(a[i], e[i]) + 4)
            return testing::AssertionFailure()
                   << "block " << i << ": level " << a[i] << ", expected " << e[i];
    return testing::AssertionSuccess();
}

} // namespace playtest
