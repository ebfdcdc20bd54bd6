// Scoring of store search results against a game's title, and the one
// ordering rule of every candidate list.
//
// scoreMatch compares a game's text (side a) with a store title (side b),
// given both raw texts, their normalizeForMatch keys and the tokenizeUtf8
// lists of those keys: 1.0 for byte-equal raw texts, 0.99 for equal keys;
// when the shorter key occurs in the longer one and safeAsContained trusts
// the shorter side, 0.7..0.95 (Chinese) or 0.9..0.95 (English, bordered only
// by letters or the ends) or 0.7..0.85 (English, a digit or CJK character
// next to it), scaled by the token ratio; otherwise the squared longest
// common token subsequence over the product of the token counts.
//
// safeAsContained: a Chinese key is trusted when it holds a CJK character;
// an English one when it holds more than two, or none and the raw text has at
// least two words (runs of ASCII letters and digits). One-word English
// titles are never trusted (Portal vs Portal Knights).
//
// Ordering rule (orderCandidates): score descending, at most kMaxCandidates.
// Candidates with equal scores keep the order in which they were produced,
// so a list is reproducible; a NaN score sorts last.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/game.h"

constexpr size_t kMaxCandidates = 10;

// A store search or details hit.
struct StoreItem {
    int32_t appid = 0;
    std::string name;
};

float scoreMatch(std::string_view rawA, std::string_view rawB, std::string_view normA,
                 std::string_view normB, const std::vector<std::string>& tokensA,
                 const std::vector<std::string>& tokensB, bool isChinese);

bool safeAsContained(std::string_view raw, const std::vector<std::string>& tokens,
                     bool isChinese);

// Scores every item against the game name (Chinese part, English part and
// whole text, best of the three), then orders and cuts the list. Every item
// is a candidate before the cut, even at score 0; extra stays empty.
std::vector<MatchCandidate> rankStoreItems(std::string_view gameName,
                                           const std::vector<StoreItem>& items);

// Sorts by score, highest first (stable), and keeps the first kMaxCandidates.
void orderCandidates(std::vector<MatchCandidate>& candidates);

// Precomputed side of scoreMatch: the raw text, its key and the key's
// characters, plus what safeAsContained needs. Build each text once with
// prepareMatchText (reusing the struct keeps its buffers); then
//   scoreMatchPrepared(prepareMatchText(a), prepareMatchText(b), c)
//     == scoreMatch(a, b, normalizeForMatch(a), normalizeForMatch(b),
//                   tokenizeUtf8(normalizeForMatch(a)), tokenizeUtf8(normalizeForMatch(b)), c)
// bit for bit.
struct MatchText {
    std::string raw;
    std::string norm;               // normalizeForMatch(raw)
    std::vector<uint32_t> tokens;   // characters of norm, packed with utf8PackChar
    size_t wideTokens = 0;          // tokens of two or more bytes
    size_t rawWords = 0;            // runs of ASCII letters and digits in raw
};

void prepareMatchText(std::string_view raw, MatchText& out);
MatchText prepareMatchText(std::string_view raw);
float scoreMatchPrepared(const MatchText& a, const MatchText& b, bool isChinese);
