// Checks shared by the fuzz targets: a failed property aborts,
// which libFuzzer reports as a finding with the input that caused it.
#pragma once
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace fuzzcheck {

inline void check(bool ok) {
    if (!ok) std::abort();
}

inline void checkScore(float s) { check(!std::isnan(s) && s >= 0.0f && s <= 1.0f); }

inline bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace fuzzcheck
