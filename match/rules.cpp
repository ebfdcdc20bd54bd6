#include "match/rules.h"

#include <algorithm>

#include "match/title_score.h"

MatchSkip matchSkipOf(int32_t imageCount, int32_t textCount, const std::string& matchedName,
                      int32_t existingResourceMode, int32_t existingMatchMode) {
    if (existingResourceMode == 0 && imageCount > 0 && textCount > 0) return MatchSkip::HasResources;
    if (existingMatchMode == 0 && !matchedName.empty()) return MatchSkip::HasMatch;
    return MatchSkip::None;
}

float matchThreshold(int32_t simThresholdIndex, bool cleanTitles) {
    if (cleanTitles) return cleanedThreshold(simThresholdIndex);
    return 0.3f + 0.1f * static_cast<float>(std::clamp<int32_t>(simThresholdIndex, 0, 6));
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
