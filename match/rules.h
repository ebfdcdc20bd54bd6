// The rules every match job keeps (network, library and folder): which games a run leaves
// alone, the threshold an option index stands for, the cut of a candidate list and the score
// from which a local match counts as exact. The ordering and the cap of a list are
// orderCandidates and kMaxCandidates (score.h).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "data/game.h"

// Why a run leaves a game alone. With 忽略 (mode 0) a game holding both images and text keeps
// its resources, and a matched game keeps its match; 覆盖 (mode 1) processes it anyway.
enum class MatchSkip { None, HasResources, HasMatch };
MatchSkip matchSkipOf(int32_t imageCount, int32_t textCount, const std::string& matchedName,
                      int32_t existingResourceMode, int32_t existingMatchMode);

// Minimum similarity for the threshold combo's index (clamped to 0..6): 30%..90% in steps of
// 10 points, on the scale every local match shows its scores in, so "相似度大于70%" keeps exactly
// the candidates shown at 70 % and above.
float matchThreshold(int32_t simThresholdIndex);

// The cleaned titles' scorer ranks on a scale of its own, on which option i cuts at
// cleanedThreshold(i) (title_score.h). Its scores are shown remapped onto the options' scale:
// piecewise linear through (0, 0), (cleanedThreshold(i), matchThreshold(i)) and (1, 1). The remap
// never lowers a higher score below a lower one, keeps 1 for exact matches, and
// shownCleanedScore(raw) >= matchThreshold(i) holds exactly when raw >= cleanedThreshold(i), so
// each option keeps the candidates the scorer's own cut keeps.
float shownCleanedScore(float raw);
// The least raw score whose shown score reaches `shown` (infinity when none does): the cut the
// scorer applies for a threshold on the shown scale.
float rawCleanedThreshold(float shown);
// Every score of a cleaned list on the shown scale (its order stays).
void showCleanedScores(std::vector<MatchCandidate>& ordered);
// A cleaned list leaving the scorer, ordered best first on raw scores: the cut of near ties
// (cutNearTies), then showCleanedScores.
void finishCleanedList(std::vector<MatchCandidate>& ordered);

// A local match whose best (shown) score reaches this is "精确", below it "模糊".
constexpr float kExactScore = 0.999f;
bool isExactScore(float score);

// Installs an ordered local result into its row: "未命中" when empty, else "精确" or "模糊" by
// the best score.
void installLocalResult(GameInfo& row, std::vector<MatchCandidate> ordered);
