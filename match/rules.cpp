#include "match/rules.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "match/title_score.h"

MatchSkip matchSkipOf(int32_t imageCount, int32_t textCount, const std::string& matchedName,
                      int32_t existingResourceMode, int32_t existingMatchMode) {
    if (existingResourceMode == 0 && imageCount > 0 && textCount > 0) return MatchSkip::HasResources;
    if (existingMatchMode == 0 && !matchedName.empty()) return MatchSkip::HasMatch;
    return MatchSkip::None;
}

namespace {

constexpr int32_t kThresholdOptions = 7;  // "相似度大于30%" .. "相似度大于90%"

struct RemapKnot {
    float raw, shown;
};

}  // namespace

float matchThreshold(int32_t simThresholdIndex) {
    return 0.3f + 0.1f * static_cast<float>(std::clamp<int32_t>(simThresholdIndex, 0, kThresholdOptions - 1));
}

float shownCleanedScore(float raw) {
    if (raw >= 1.0f) return 1.0f;
    if (!(raw > 0.0f)) return raw;
    RemapKnot lo{0.0f, 0.0f}, hi{1.0f, 1.0f};
    for (int32_t i = 0; i < kThresholdOptions; ++i) {
        const RemapKnot k{cleanedThreshold(i), matchThreshold(i)};
        if (k.raw <= raw) {
            lo = k;
        } else {
            hi = k;
            break;
        }
    }
    const float v = lo.shown + (raw - lo.raw) * ((hi.shown - lo.shown) / (hi.raw - lo.raw));
    // Rounding must not lift a score below a knot onto the knot's threshold.
    return std::min(v, std::nextafter(hi.shown, 0.0f));
}

float rawCleanedThreshold(float shown) {
    if (!(shown > 0.0f)) return shown;  // the remap keeps scores up to 0 as they are
    if (shown > 1.0f) return std::numeric_limits<float>::infinity();
    // Non-negative floats order like their bit patterns: bisect those for the least raw score
    // that shows at least `shown` (the remap is monotone, shownCleanedScore(1) = 1).
    uint32_t lo = 0, hi = std::bit_cast<uint32_t>(1.0f);
    while (hi - lo > 1) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (shownCleanedScore(std::bit_cast<float>(mid)) >= shown) hi = mid;
        else lo = mid;
    }
    return std::bit_cast<float>(hi);
}

void showCleanedScores(std::vector<MatchCandidate>& ordered) {
    for (MatchCandidate& c : ordered) c.score = shownCleanedScore(c.score);
}

void finishCleanedList(std::vector<MatchCandidate>& ordered) {
    cutNearTies(ordered);
    showCleanedScores(ordered);
}

bool isExactScore(float score) { return score >= kExactScore; }

void installLocalResult(GameInfo& row, std::vector<MatchCandidate> ordered) {
    if (ordered.empty()) {
        installCandidates(row, {}, std::string());
        row.matchMethod = "未命中";
        return;
    }
    const char* method = isExactScore(ordered.front().score) ? "精确" : "模糊";
    installCandidates(row, std::move(ordered), method);
}
