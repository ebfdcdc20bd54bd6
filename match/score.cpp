#include "match/score.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "match/normalize.h"
#include "match/text.h"

namespace {

size_t countWords(std::string_view raw) {
    size_t words = 0;
    bool inWord = false;
    for (char ch : raw) {
        const auto c = static_cast<unsigned char>(ch);
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alnum && !inWord) ++words;
        inWord = alnum;
    }
    return words;
}

bool safeFromCounts(size_t wideTokens, std::string_view raw, size_t rawWords, bool haveWords,
                    bool isChinese) {
    if (isChinese) return wideTokens > 0;
    if (wideTokens > 2) return true;
    if (wideTokens > 0) return false;
    return (haveWords ? rawWords : countWords(raw)) >= 2;
}

// Length of the longest common subsequence of two token lists, two rows.
template <class Tokens>
size_t commonSubsequence(const Tokens& a, const Tokens& b) {
    constexpr size_t kLocal = 128;
    const size_t width = b.size() + 1;
    uint32_t local[2 * kLocal];
    std::vector<uint32_t> heap;
    uint32_t* prev = local;
    if (width > kLocal) {
        heap.assign(2 * width, 0);
        prev = heap.data();
    } else {
        std::fill(local, local + 2 * width, 0u);
    }
    uint32_t* cur = prev + width;
    for (size_t i = 0; i < a.size(); ++i) {
        cur[0] = 0;
        for (size_t j = 0; j < b.size(); ++j)
            cur[j + 1] = a[i] == b[j] ? prev[j] + 1 : std::max(prev[j + 1], cur[j]);
        std::swap(prev, cur);
    }
    return prev[b.size()];
}

bool lowBand(char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return (c >= '0' && c <= '9') || c >= 0x80;
}

// scoreMatch on any token representation; safe(aIsShorter) is the guard of
// the shorter side.
template <class Tokens, class Safe>
float scoreCore(std::string_view ra, std::string_view rb, std::string_view na,
                std::string_view nb, const Tokens& ta, const Tokens& tb, bool isChinese,
                Safe&& safe) {
    if (na.empty() || nb.empty()) return 0.0f;
    if (ra == rb) return 1.0f;
    if (na == nb) return 0.99f;
    if (na.size() != nb.size()) {
        const bool aShorter = na.size() < nb.size();
        const std::string_view s = aShorter ? na : nb;
        const std::string_view l = aShorter ? nb : na;
        const size_t p = l.find(s);
        if (p != std::string_view::npos && safe(aShorter)) {
            const size_t ts = aShorter ? ta.size() : tb.size();
            const size_t tl = aShorter ? tb.size() : ta.size();
            // A key that is a part of the other has no more characters than
            // it; the clamp only matters for lists that are not its tokens.
            float r = tl > 0 ? static_cast<float>(ts) / static_cast<float>(tl) : 0.0f;
            r = std::min(r, 1.0f);
            if (isChinese) return 0.7f + 0.25f * r;
            const size_t after = p + s.size();
            if ((after < l.size() && lowBand(l[after])) || (p > 0 && lowBand(l[p - 1])))
                return 0.7f + 0.15f * r;
            return 0.9f + 0.05f * r;
        }
    }
    if (ta.empty() || tb.empty()) return 0.0f;
    const uint64_t common = commonSubsequence(ta, tb);
    if (common == 0) return 0.0f;
    return static_cast<float>(common * common) /
           static_cast<float>(static_cast<uint64_t>(ta.size()) * tb.size());
}

void packTokens(std::string_view s, std::vector<uint32_t>& out, size_t& wide) {
    out.clear();
    wide = 0;
    size_t i = 0;
    while (i < s.size()) {
        const size_t len = utf8SeqLen(static_cast<unsigned char>(s[i]));
        if (len > s.size() - i) break;
        out.push_back(utf8PackChar(s.data() + i, len));
        if (len >= 2) ++wide;
        i += len;
    }
}

float scoreKey(float s) { return std::isnan(s) ? -std::numeric_limits<float>::infinity() : s; }

}  // namespace

bool safeAsContained(std::string_view raw, const std::vector<std::string>& tokens,
                     bool isChinese) {
    size_t wide = 0;
    for (const std::string& t : tokens)
        if (t.size() >= 2) ++wide;
    return safeFromCounts(wide, raw, 0, false, isChinese);
}

float scoreMatch(std::string_view rawA, std::string_view rawB, std::string_view normA,
                 std::string_view normB, const std::vector<std::string>& tokensA,
                 const std::vector<std::string>& tokensB, bool isChinese) {
    return scoreCore(rawA, rawB, normA, normB, tokensA, tokensB, isChinese, [&](bool aShorter) {
        return aShorter ? safeAsContained(rawA, tokensA, isChinese)
                        : safeAsContained(rawB, tokensB, isChinese);
    });
}

void prepareMatchText(std::string_view raw, MatchText& out) {
    out.raw.assign(raw.data(), raw.size());
    normalizeForMatchInto(raw, out.norm);
    packTokens(out.norm, out.tokens, out.wideTokens);
    out.rawWords = countWords(raw);
}

MatchText prepareMatchText(std::string_view raw) {
    MatchText t;
    prepareMatchText(raw, t);
    return t;
}

float scoreMatchPrepared(const MatchText& a, const MatchText& b, bool isChinese) {
    return scoreCore(a.raw, b.raw, a.norm, b.norm, a.tokens, b.tokens, isChinese,
                     [&](bool aShorter) {
                         const MatchText& s = aShorter ? a : b;
                         return safeFromCounts(s.wideTokens, s.raw, s.rawWords, true, isChinese);
                     });
}

void orderCandidates(std::vector<MatchCandidate>& candidates) {
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const MatchCandidate& x, const MatchCandidate& y) {
                         return scoreKey(x.score) > scoreKey(y.score);
                     });
    if (candidates.size() > kMaxCandidates) candidates.resize(kMaxCandidates);
}

std::vector<MatchCandidate> rankStoreItems(std::string_view gameName,
                                           const std::vector<StoreItem>& items) {
    std::string cn;
    std::string en;
    splitCnEn(gameName, cn, en);
    const MatchText gameCn = prepareMatchText(cn);
    const MatchText gameEn = prepareMatchText(en);
    const MatchText gameAll = prepareMatchText(gameName);

    std::vector<MatchCandidate> out;
    out.reserve(items.size());
    MatchText itemCn;
    MatchText itemEn;
    MatchText itemAll;
    const auto scored = [](const MatchText& g, const MatchText& t, bool isChinese) {
        return !g.norm.empty() && !t.norm.empty() ? scoreMatchPrepared(g, t, isChinese) : 0.0f;
    };
    for (const StoreItem& item : items) {
        splitCnEn(item.name, cn, en);
        prepareMatchText(cn, itemCn);
        prepareMatchText(en, itemEn);
        prepareMatchText(item.name, itemAll);
        const float sCn = scored(gameCn, itemCn, true);
        const float sEn = scored(gameEn, itemEn, false);
        const float sAll = scored(gameAll, itemAll, false);
        MatchCandidate c;
        c.appid = item.appid;
        c.name = item.name;
        c.score = std::max({sCn, sEn, sAll});
        out.push_back(std::move(c));
    }
    orderCandidates(out);
    return out;
}
