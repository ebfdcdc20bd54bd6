#include "match/library_match.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <optional>
#include <tuple>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "data/files.h"
#include "data/game.h"
#include "data/jobs.h"
#include "data/paths.h"
#include "data/utf8.h"
#include "match/clean.h"
#include "match/compare.h"
#include "match/rules.h"
#include "match/score.h"
#include "match/text.h"

std::atomic<bool> gLibraryMatchFinished{false};

namespace {

float mixedScore(float c, float e, float n) {
    if (c > 0.0f && e > 0.0f) return 0.6f * c + 0.4f * e;
    return std::max(c, std::max(e, n));
}

MatchCandidate candidateFor(const PoolItem& e, float score) {
    return MatchCandidate{e.appid, e.name_cn.empty() ? e.name : e.name_cn, std::string(), score};
}

bool holdsChinese(std::string_view s) {
    for (size_t i = 0; i < s.size(); i += utf8SeqLen(static_cast<unsigned char>(s[i])))
        if (isChineseChar(static_cast<unsigned char>(s[i]), s, i)) return true;
    return false;
}

}  // namespace

std::pair<std::string, std::string> scriptParts(const std::string& gameName) {
    auto [first, second] = splitNameToCnEn(gameName);
    if (holdsChinese(first)) return {std::move(first), std::move(second)};
    return {std::move(second), std::move(first)};
}

float scorePoolEntry(const std::string& gameName, const PoolItem& e) {
    if (gameName == e.name || gameName == e.name_cn || gameName == e.nickname) return 1.0f;
    switch (classifyNameType(gameName)) {
        case NameType::Chinese:
            return std::max(compareChinese(gameName, e.name_cn), compareChinese(gameName, e.nickname));
        case NameType::Mixed: {
            const auto [cn, en] = scriptParts(gameName);
            const float n = std::max(compareChinese(gameName, e.nickname), compareEnglish(gameName, e.nickname));
            return mixedScore(compareChinese(cn, e.name_cn), compareEnglish(en, e.name), n);
        }
        default:
            return std::max(compareEnglish(gameName, e.name), compareEnglish(gameName, e.nickname));
    }
}

namespace {

// The texts an entry is scored as: both names together (each script from the name written in
// it), the Chinese name alone (it often carries a Latin part of its own: "Apex英雄"), the
// nickname.
constexpr size_t kEntryProfiles = 3;

TitleUnits entryProfile(const PoolItem& e, size_t k) {
    if (k == 0) return entryUnits(e.name, e.name_cn);
    if (k == 1) return entryUnits(e.name_cn, e.name_cn);
    return entryUnits(e.nickname, e.nickname);
}

// An extra name's units: a borrowed name is one name written in two scripts, so a title that
// leaves out its English part ("SC", "Append") names the base rather than this entry.
TitleUnits extraUnits(const ExtraName& x) {
    TitleUnits u = entryUnits(x.text, x.text);
    u.oneName = u.oneName || x.borrowed;
    u.borrowed = x.borrowed;
    return u;
}

float extraScore(const ExtraName& x, float score) { return x.borrowed ? std::min(score, kListingOpenScore) : score; }

// The extra names of one entry; extras sorted by entry.
std::span<const ExtraName> extrasOf(std::span<const ExtraName> extras, uint32_t entry) {
    const auto [from, to] = std::equal_range(extras.begin(), extras.end(), ExtraName{entry, std::string(), false},
                                             [](const ExtraName& a, const ExtraName& b) { return a.entry < b.entry; });
    return extras.subspan(static_cast<size_t>(from - extras.begin()), static_cast<size_t>(to - from));
}

// The sides of a Chinese name listing alternatives: "WARRIORS OROCHI 4 / 無雙OROCHI 蛇魔３".
std::vector<std::string_view> nameSides(std::string_view cn) {
    std::vector<std::string_view> sides;
    for (size_t at; (at = cn.find(" / ")) != std::string_view::npos; cn.remove_prefix(at + 3))
        if (at > 0) sides.push_back(cn.substr(0, at));
    if (!cn.empty()) sides.push_back(cn);
    return sides;
}

// A base that more listings extend is a platform of add-ons (songs, routes, costume packs): menus
// name them by their own names, if at all, and its name is not lent.
constexpr size_t kMaxBorrowers = 16;

constexpr size_t kMaxBorrowedWords = 2;

// A base's English key weighs at least this much (keyWeight): shorter names ("DARK", "Prey")
// begin the names of too many other games.
constexpr uint32_t kMinBaseKey = 6;

// A name's units as a set, word order aside: "Napoleon: Total War" is "Total War: NAPOLEON".
std::string unitSetKey(std::string_view name) {
    const TitleUnits u = titleUnits(name);
    std::string k = utf8Encode(std::u32string(u.cjk.begin(), u.cjk.end()));
    for (const std::string& w : u.words) k += ' ' + w;
    for (uint32_t n : u.numbers) k += ' ' + std::to_string(n);
    return k;
}

}  // namespace

namespace {

// The unit sets of the base names of one entry's names that name an edition (none empty).
template <class Visit>
void forEachEditionBase(const PoolItem& e, Visit visit) {
    for (const std::string* name : {&e.name, &e.name_cn}) {
        const std::string base = editionBase(*name);
        if (base.empty()) continue;
        if (std::string key = unitSetKey(base); !key.empty()) visit(std::move(key));
    }
}

}  // namespace

std::unordered_set<std::string> editionBases(const std::vector<PoolItem>& pool) {
    std::unordered_set<std::string> bases;
    for (const PoolItem& e : pool) forEachEditionBase(e, [&](std::string k) { bases.insert(std::move(k)); });
    return bases;
}

bool remasterListed(const PoolItem& e, const std::unordered_set<std::string>& bases) {
    for (const std::string* name : {&e.name, &e.name_cn})
        if (!name->empty() && editionBase(*name).empty() && bases.count(unitSetKey(*name))) return true;
    return false;
}

std::vector<ExtraName> extraNames(const std::vector<PoolItem>& pool) {
    struct Base {
        uint32_t entry = 0;
        bool ambiguous = false;  // another base of this English name has another Chinese name
        size_t borrowers = 0;
    };
    struct KeyHash {
        using is_transparent = void;
        size_t operator()(std::string_view k) const { return std::hash<std::string_view>()(k); }
    };
    std::unordered_map<std::string, Base, KeyHash, std::equal_to<>> bases;  // by English key
    for (size_t i = 0; i < pool.size(); ++i) {
        const PoolItem& e = pool[i];
        if (e.name_cn.empty()) continue;
        std::string key = nameKeyOf(e.name);
        if (keyWeight(key) < kMinBaseKey) continue;
        const auto [it, fresh] = bases.try_emplace(std::move(key), Base{static_cast<uint32_t>(i), false, 0});
        if (!fresh && pool[it->second.entry].name_cn != e.name_cn) it->second.ambiguous = true;
    }
    std::vector<ExtraName> out;
    std::vector<const Base*> lenders;  // of each extra name, none for the sides of a Chinese name
    std::string key;
    for (size_t i = 0; i < pool.size(); ++i) {
        const PoolItem& e = pool[i];
        const auto entry = static_cast<uint32_t>(i);
        // "RESIDENT EVIL 2 / BIOHAZARD RE:2": an English name may list two names too, but as often
        // holds the slash itself ("Cast / Crew Interviews"): its sides stay below 精确. An add-on's
        // side is as often its game's name ("… / LoveKami -Useless Goddess- Chinese Language").
        if (const std::vector<std::string_view> sides = nameSides(e.name); sides.size() > 1 && !namesAddOn(e.name))
            for (std::string_view side : sides) {
                out.push_back(ExtraName{entry, std::string(side), true});
                lenders.push_back(nullptr);
            }
        if (!e.name_cn.empty()) {
            const std::vector<std::string_view> sides = nameSides(e.name_cn);
            if (sides.size() > 1)
                for (std::string_view side : sides) {
                    out.push_back(ExtraName{entry, std::string(side), false});
                    lenders.push_back(nullptr);
                }
            continue;
        }
        if (bases.empty()) continue;
        // The key read so far at each end of a word (where the next character adds nothing to
        // the key): the longest such key that is a base's, short of the whole name's key.
        const std::string_view name = e.name;
        key.clear();
        Base* base = nullptr;
        size_t baseKey = 0, rest = 0;
        bool inWord = false;
        for (size_t at = 0; at < name.size();) {
            char32_t c = static_cast<unsigned char>(name[at]);
            size_t len = 1;
            if (c >= 0x80 && (len = decodeUtf8Char(name, at, c)) == 0) c = U'\uFFFD', len = 1;
            if (const char32_t k = nameKeyChar(c)) {
                appendUtf8(key, k);
                inWord = true;
            } else if (inWord) {
                inWord = false;
                const auto it = bases.find(std::string_view(key));
                if (it != bases.end()) base = &it->second, baseKey = key.size(), rest = at;
            }
            at += len;
        }
        if (base == nullptr || base->ambiguous || baseKey == key.size()) continue;
        ++base->borrowers;
        const size_t from = name.find_first_not_of(' ', rest);
        const std::string_view tail = from == std::string_view::npos ? std::string_view() : name.substr(from);
        // A title must hold the whole English rest beside the Chinese name to reach the listing:
        // menus write an edition's or a part's few words so ("SC", "Powerup Kit"), never an
        // add-on's long name ("Leon Costume: Arklay Sheriff"), which would only cost time.
        if (titleUnits(tail).words.size() > kMaxBorrowedWords) continue;
        for (std::string_view side : nameSides(pool[base->entry].name_cn)) {
            out.push_back(ExtraName{entry, std::string(side) + ' ' + std::string(tail), true});
            lenders.push_back(base);
        }
    }
    size_t kept = 0;
    for (size_t x = 0; x < out.size(); ++x) {
        if (lenders[x] != nullptr && lenders[x]->borrowers > kMaxBorrowers) continue;
        if (kept != x) out[kept] = std::move(out[x]);
        ++kept;
    }
    out.resize(kept);
    return out;
}

float scoreCleanedEntry(const std::string& gameName, const std::vector<TitleUnits>& forms, const PoolItem& e,
                        std::span<const ExtraName> extras) {
    if (gameName == e.name || gameName == e.name_cn || gameName == e.nickname) return 1.0f;
    float best = 0.0f;
    for (size_t k = 0; k < kEntryProfiles; ++k) {
        const TitleUnits u = entryProfile(e, k);
        for (const TitleUnits& f : forms) best = std::max(best, scoreTitle(f, u));
    }
    for (const ExtraName& x : extras) {
        const TitleUnits u = extraUnits(x);
        for (const TitleUnits& f : forms) best = std::max(best, extraScore(x, scoreTitle(f, u)));
    }
    return best;
}

std::vector<MatchCandidate> finishLibraryCandidates(std::vector<MatchCandidate> cands) {
    if (cands.size() > 1) {
        std::unordered_map<int32_t, size_t> firstOf;
        std::vector<MatchCandidate> kept;
        kept.reserve(cands.size());
        for (MatchCandidate& c : cands) {
            auto [it, fresh] = firstOf.try_emplace(c.appid, kept.size());
            if (fresh) kept.push_back(std::move(c));
            else if (c.score > kept[it->second].score) kept[it->second] = std::move(c);
        }
        cands = std::move(kept);
    }
    orderCandidates(cands);
    return cands;
}

std::vector<MatchCandidate> finishCleanedCandidates(const std::string& gameName, const std::vector<TitleForm>& cleaned,
                                                    const std::vector<PoolItem>& pool,
                                                    std::vector<ScoredEntry> scored, const RemasterListed& remastered,
                                                    std::span<const ExtraName> extras) {
    // 精确 is what the user does not review: it needs the title to name one listing whole.
    // The listings the title names exactly still rank among themselves as such.
    const bool cut = cutInsideBracket(gameName);
    std::vector<uint32_t> named;  // entries, sorted as scored is
    for (ScoredEntry& s : scored) {
        if (!isExactScore(s.score)) continue;
        named.push_back(s.entry);
        if (cut || remastered(pool[s.entry])) s.score = kListingOpenScore;
    }
    std::vector<MatchCandidate> cands;
    cands.reserve(scored.size());
    for (const ScoredEntry& s : scored) cands.push_back(candidateFor(pool[s.entry], s.score));
    cands = finishLibraryCandidates(std::move(cands));
    // The longest of its names the title holds, by candidate: the entry taken is the one whose
    // score the candidate shows; listing: its listingRank when the title names it exactly.
    struct Held {
        std::string key;
        uint32_t weight = 0;
        int32_t listing = 0;
    };
    // Held in a cleaned form: a version or a group tag glued to a name ("火炬之光 2.2版",
    // "火炬之光 3DM汉化组") must not make it another game's name.
    std::vector<std::string> titleKeys;
    for (const TitleForm& f : cleaned) titleKeys.push_back(nameKeyOf(f.text));
    const auto holds = [&](const std::string& key) {
        return std::any_of(titleKeys.begin(), titleKeys.end(), [&](const std::string& t) { return t.find(key) != std::string::npos; });
    };
    std::vector<Held> held(cands.size());
    for (size_t i = 0; i < cands.size(); ++i)
        for (const ScoredEntry& s : scored) {
            const PoolItem& e = pool[s.entry];
            if (e.appid != cands[i].appid || s.score != cands[i].score) continue;
            const auto hold = [&](std::string_view name) {
                std::string key = nameKeyOf(name);
                const uint32_t w = key.empty() || !holds(key) ? 0 : keyWeight(key);
                if (w > held[i].weight) held[i].key = std::move(key), held[i].weight = w;
            };
            for (const std::string* name : {&e.name, &e.name_cn, &e.nickname}) hold(*name);
            for (const ExtraName& x : extrasOf(extras, s.entry)) hold(x.text);
            if (std::binary_search(named.begin(), named.end(), s.entry))
                held[i].listing = std::max(held[i].listing, listingRank(e.name, e.name_cn, e.nickname));
        }
    // A longer name the title holds wins over a name it holds inside it ("Dawn of War II -
    // Retribution" over "Dawn of War II"), whatever the edition or the other script scored.
    size_t longest = 0;
    for (size_t i = 1; i < held.size(); ++i)
        if (held[i].weight > held[longest].weight) longest = i;
    if (longest > 0 && held[0].weight > 0 && held[longest].key.find(held[0].key) != std::string::npos) {
        std::rotate(cands.begin(), cands.begin() + static_cast<std::ptrdiff_t>(longest),
                    cands.begin() + static_cast<std::ptrdiff_t>(longest) + 1);
        std::rotate(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(longest),
                    held.begin() + static_cast<std::ptrdiff_t>(longest) + 1);
    }
    // Near ties: the longest name the title holds, then among 精确 listings of one name the
    // main listing.
    cutNearTies(cands, [&](int32_t appid) {
        for (size_t i = 0; i < cands.size(); ++i)
            if (cands[i].appid == appid)
                return kListingRanks * static_cast<int32_t>(std::min<uint32_t>(held[i].weight, 1u << 20)) + held[i].listing;
        return 0;
    });
    showCleanedScores(cands);
    return cands;
}

namespace {

// The keys the cleaned forms that name the whole game may be a short name by.
std::vector<std::string> titleShortKeysOf(const std::vector<TitleForm>& forms) {
    std::vector<std::string> keys;
    for (const TitleForm& f : forms) {
        if (f.part) continue;
        for (std::string& k : titleShortKeys(f.text)) keys.push_back(std::move(k));
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

// The fields a short name may shorten: the English and the Chinese name.
template <class Visit>
void forEachShortKey(const PoolItem& e, Visit visit) {
    for (const ShortKey& k : entryShortKeys(e.name)) visit(k);
    if (e.name_cn != e.name)
        for (const ShortKey& k : entryShortKeys(e.name_cn)) visit(k);
}

struct ShortHit {
    uint32_t entry = 0;
    ShortKey k;
    bool operator<(const ShortHit& o) const { return std::tie(k.key, entry, k.full) < std::tie(o.k.key, o.entry, o.k.full); }
    bool operator==(const ShortHit& o) const { return std::tie(k.key, entry, k.full) == std::tie(o.k.key, o.entry, o.k.full); }
};

// The one entry the hits of one key name, or none: the listing whose whole name the others
// extend (its editions and add-ons), the best ranked of several such listings; an acronym
// counts the entries with a Chinese name first, as the ones people abbreviate.
std::optional<uint32_t> resolveShortName(const std::vector<PoolItem>& pool, std::vector<ShortHit> hits) {
    // Keeps the hits that pass, when any does.
    const auto prefer = [&](auto pass) {
        if (std::any_of(hits.begin(), hits.end(), pass))
            hits.erase(std::remove_if(hits.begin(), hits.end(), [&](const ShortHit& h) { return !pass(h); }), hits.end());
    };
    prefer([](const ShortHit& h) { return !h.k.addOn; });
    prefer([](const ShortHit& h) { return !h.k.edition; });
    if (!hits.empty() && hits.front().k.acronym) prefer([&](const ShortHit& h) { return !pool[h.entry].name_cn.empty(); });
    if (hits.empty()) return std::nullopt;
    const ShortHit* root = &hits.front();
    for (const ShortHit& h : hits)
        if (h.k.full.size() < root->k.full.size()) root = &h;
    std::optional<uint32_t> best;
    int32_t bestRank = -1;
    bool tie = false;
    for (const ShortHit& h : hits) {
        // Another name, or the same name with another number (a sequel): no one game is meant.
        // Past the root's subtitle a longer name is one of its add-ons, numbered as they may be
        // ("ACE COMBAT™ 7: SKIES UNKNOWN - ADF-11F Raven Set").
        if (h.k.full.compare(0, root->k.full.size(), root->k.full) != 0) return std::nullopt;
        const bool addOnOfRoot = !root->k.acronym && h.k.full.size() > root->k.full.size() &&
                                 std::includes(h.k.numbers.begin(), h.k.numbers.end(), root->k.numbers.begin(), root->k.numbers.end());
        if (h.k.numbers != root->k.numbers && !addOnOfRoot) return std::nullopt;
        if (h.k.full != root->k.full || (best && *best == h.entry)) continue;
        const PoolItem& e = pool[h.entry];
        const int32_t r = listingRank(e.name, e.name_cn, e.nickname);
        if (r > bestRank) best = h.entry, bestRank = r, tie = false;
        else if (r == bestRank) tie = true;
    }
    return tie ? std::nullopt : best;
}

// The entries the title names by a short name, each key resolved on its own; hits in any order.
std::vector<uint32_t> shortNameEntries(const std::vector<PoolItem>& pool, std::vector<ShortHit> hits) {
    std::sort(hits.begin(), hits.end());
    hits.erase(std::unique(hits.begin(), hits.end()), hits.end());
    std::vector<uint32_t> out;
    for (size_t i = 0; i < hits.size();) {
        size_t j = i;
        while (j < hits.size() && hits[j].k.key == hits[i].k.key) ++j;
        if (auto e = resolveShortName(pool, std::vector<ShortHit>(hits.begin() + static_cast<std::ptrdiff_t>(i),
                                                                  hits.begin() + static_cast<std::ptrdiff_t>(j))))
            out.push_back(*e);
        i = j;
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

}  // namespace

std::vector<MatchCandidate> matchGameReference(const std::string& gameName, const std::vector<PoolItem>& pool,
                                               float threshold, bool cleanTitles) {
    if (!cleanTitles) {
        std::vector<MatchCandidate> cands;
        for (const PoolItem& e : pool) {
            const float s = scorePoolEntry(gameName, e);
            if (s >= threshold) cands.push_back(candidateFor(e, s));
        }
        return finishLibraryCandidates(std::move(cands));
    }
    const float cut = rawCleanedThreshold(threshold);
    std::vector<TitleForm> cleaned = cleanTitleForms(gameName);
    std::optional<std::unordered_set<std::string>> words;  // the pool's, for a title with a run of letters only
    addJoinedWordForms(cleaned, [&](const std::string& w) {
        if (!words) {
            words.emplace();
            for (const PoolItem& e : pool)
                for (size_t k = 0; k < kEntryProfiles; ++k)
                    for (const std::string& x : entryProfile(e, k).words) words->insert(x);
        }
        return words->count(w) > 0;
    });
    const std::vector<TitleUnits> forms = titleFormUnits(cleaned);
    const std::vector<std::string> keys = titleShortKeysOf(cleaned);
    std::vector<ShortHit> hits;
    for (size_t i = 0; i < pool.size(); ++i)
        forEachShortKey(pool[i], [&](const ShortKey& k) {
            if (std::binary_search(keys.begin(), keys.end(), k.key))
                hits.push_back(ShortHit{static_cast<uint32_t>(i), k});
        });
    const std::vector<uint32_t> shortNamed = shortNameEntries(pool, std::move(hits));
    const std::vector<ExtraName> extras = extraNames(pool);
    std::vector<ScoredEntry> scored;
    for (size_t i = 0; i < pool.size(); ++i) {
        float s = scoreCleanedEntry(gameName, forms, pool[i], extrasOf(extras, static_cast<uint32_t>(i)));
        if (std::binary_search(shortNamed.begin(), shortNamed.end(), static_cast<uint32_t>(i))) s = std::max(s, kShortNameScore);
        if (s >= cut) scored.push_back(ScoredEntry{static_cast<uint32_t>(i), s});
    }
    std::optional<std::unordered_set<std::string>> bases;  // only titles with a 精确 entry need them
    return finishCleanedCandidates(gameName, cleaned, pool, std::move(scored), [&](const PoolItem& e) {
        if (!bases) bases = editionBases(pool);
        return remasterListed(e, *bases);
    }, extras);
}

// ---------------------------------------------------------------------------------------------
// Fast path. Every pair that can reach the threshold is found through one of these:
//  - byte equality of the game name with a field (hash tables);
//  - a Chinese comparison: the greedy match can only pair characters both keys hold, so the
//    shared character count (multiset intersection, summed from per-character posting lists)
//    with the key lengths bounds the score from above;
//  - an English comparison: a score of t needs a common run of at least ceil(t * longer key)
//    characters, and every 4-gram (or 3-gram) inside that run occurs in both keys, so an entry
//    must share enough q-gram positions with the game's key; very short keys scan the entries
//    whose key length fits.
// A mixed title's combined score never exceeds the best of its parts, so the same bounds cover
// it. The bounds are loosened by a small margin against float rounding; every surviving entry is
// then scored with the exact per-pair rule (on precomputed keys, bit-identical to the plain
// functions), in pool order, so the candidates equal the straightforward evaluation's.
// ---------------------------------------------------------------------------------------------

namespace {

constexpr float kBoundMargin = 1e-3f;
constexpr uint32_t kGramBase = 36;
constexpr size_t kLenBuckets = 64;  // English key lengths >= 63 share the last bucket

uint32_t gramCode(char c) { return c <= '9' ? static_cast<uint32_t>(c - '0') : static_cast<uint32_t>(c - 'a') + 10; }

uint32_t gramAt(const std::string& k, size_t pos, size_t q) {
    uint32_t g = 0;
    for (size_t i = 0; i < q; ++i) g = g * kGramBase + gramCode(k[pos + i]);
    return g;
}

// Compressed posting lists: the sources of key k are post[off[k] .. off[k+1]).
struct Postings {
    std::vector<uint32_t> off;
    std::vector<uint32_t> post;
    std::vector<uint32_t> count;  // only for the unit lists: occurrences in that source
};

size_t longestCommonRun(const std::string& a, const std::string& b) {
    size_t best = 0;
    std::vector<size_t> prev(b.size() + 1, 0), cur(b.size() + 1, 0);
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            cur[j] = a[i - 1] == b[j - 1] ? prev[j - 1] + 1 : 0;
            best = std::max(best, cur[j]);
        }
        std::swap(prev, cur);
    }
    return best;
}

}  // namespace

// Sources are entry * 2 + field: for the Chinese side field 0 is name_cn, 1 nickname; for the
// English side field 0 is name, 1 nickname.
struct PoolIndex {
    const std::vector<PoolItem>* pool = nullptr;
    std::vector<ChineseKey> cnKey;        // per source
    std::vector<std::string> enKey;       // per source
    std::unordered_map<std::string, std::vector<uint32_t>> byField;   // any of the three fields
    std::unordered_map<std::string, std::vector<uint32_t>> byNameCn;  // name_cn only
    std::unordered_map<uint32_t, uint32_t> cnCharId;
    Postings cnPost;
    Postings gram3, gram4;
    std::vector<std::vector<uint32_t>> enByLen;
    // Cleaned titles: the units of every source (entry * kEntryProfiles + profile, then the
    // extra names in their order) and the postings of their CJK characters and words.
    bool cleanTitles = false;
    std::vector<ExtraName> extras;
    std::vector<uint32_t> extraFrom;  // the extra names of entry i: extras[extraFrom[i] .. extraFrom[i + 1])
    std::vector<TitleUnits> units;
    std::vector<uint32_t> unitCjk, unitWords;  // the units' weights, packed for the bound
    std::vector<uint8_t> unitOneName;
    std::unordered_map<uint32_t, uint32_t> unitCjkId;
    std::unordered_map<std::string, uint32_t> unitWordId;
    Postings cjkUnits, wordUnits;
    std::unordered_map<std::string, std::vector<ShortHit>> shortKeys;
    std::unordered_set<std::string> editionBases;
};

void PoolIndexDeleter::operator()(PoolIndex* p) const { delete p; }

namespace {

template <class GramsOf>
void buildPostings(Postings& p, size_t keys, size_t sources, GramsOf gramsOf) {
    p.off.assign(keys + 1, 0);
    std::vector<uint32_t> grams;
    for (size_t s = 0; s < sources; ++s) {
        gramsOf(s, grams);
        for (uint32_t g : grams) ++p.off[g + 1];
    }
    for (size_t k = 0; k < keys; ++k) p.off[k + 1] += p.off[k];
    p.post.resize(p.off[keys]);
    std::vector<uint32_t> fill(p.off.begin(), p.off.end() - 1);
    for (size_t s = 0; s < sources; ++s) {
        gramsOf(s, grams);
        for (uint32_t g : grams) p.post[fill[g]++] = static_cast<uint32_t>(s);
    }
}

void buildGramIndex(PoolIndex& ix, Postings& p, size_t q) {
    size_t keys = 1;
    for (size_t i = 0; i < q; ++i) keys *= kGramBase;
    buildPostings(p, keys, ix.enKey.size(), [&](size_t s, std::vector<uint32_t>& grams) {
        grams.clear();
        const std::string& k = ix.enKey[s];
        // A gram repeated inside one key is listed twice; that only loosens the count filter.
        for (size_t i = 0; i + q <= k.size(); ++i) grams.push_back(gramAt(k, i, q));
    });
}

// Postings with the number of occurrences of each key in each source; idsOf lists the keys of
// one source, repeats included.
template <class IdsOf>
void buildCountedPostings(Postings& p, size_t keys, size_t sources, IdsOf idsOf) {
    std::vector<uint32_t> ids;
    std::vector<std::pair<uint32_t, uint32_t>> distinct;
    auto distinctOf = [&](size_t s) {
        distinct.clear();
        ids.clear();
        idsOf(s, ids);
        std::sort(ids.begin(), ids.end());
        for (size_t i = 0; i < ids.size();) {
            size_t j = i;
            while (j < ids.size() && ids[j] == ids[i]) ++j;
            distinct.emplace_back(ids[i], static_cast<uint32_t>(j - i));
            i = j;
        }
    };
    p.off.assign(keys + 1, 0);
    for (size_t s = 0; s < sources; ++s) {
        distinctOf(s);
        for (auto& d : distinct) ++p.off[d.first + 1];
    }
    for (size_t k = 0; k < keys; ++k) p.off[k + 1] += p.off[k];
    p.post.resize(p.off[keys]);
    p.count.resize(p.off[keys]);
    std::vector<uint32_t> fill(p.off.begin(), p.off.end() - 1);
    for (size_t s = 0; s < sources; ++s) {
        distinctOf(s);
        for (auto& d : distinct) {
            p.post[fill[d.first]] = static_cast<uint32_t>(s);
            p.count[fill[d.first]++] = d.second;
        }
    }
}

void buildChinesePostings(PoolIndex& ix) {
    for (const ChineseKey& k : ix.cnKey)
        if (k.comparable)
            for (uint32_t c : k.chars) ix.cnCharId.try_emplace(c, static_cast<uint32_t>(ix.cnCharId.size()));
    buildCountedPostings(ix.cnPost, ix.cnCharId.size(), ix.cnKey.size(), [&](size_t s, std::vector<uint32_t>& ids) {
        const ChineseKey& k = ix.cnKey[s];
        if (k.comparable)
            for (uint32_t c : k.chars) ids.push_back(ix.cnCharId.at(c));
    });
}

void buildUnitPostings(PoolIndex& ix) {
    for (const TitleUnits& u : ix.units) {
        for (uint32_t c : u.cjk) ix.unitCjkId.try_emplace(c, static_cast<uint32_t>(ix.unitCjkId.size()));
        for (const std::string& w : u.words) ix.unitWordId.try_emplace(w, static_cast<uint32_t>(ix.unitWordId.size()));
    }
    buildCountedPostings(ix.cjkUnits, ix.unitCjkId.size(), ix.units.size(), [&](size_t s, std::vector<uint32_t>& ids) {
        for (uint32_t c : ix.units[s].cjk) ids.push_back(ix.unitCjkId.at(c));
    });
    buildCountedPostings(ix.wordUnits, ix.unitWordId.size(), ix.units.size(), [&](size_t s, std::vector<uint32_t>& ids) {
        for (const std::string& w : ix.units[s].words) ids.push_back(ix.unitWordId.at(w));
    });
}

}  // namespace

namespace {

void buildExactTables(PoolIndex& ix) {
    const std::vector<PoolItem>& pool = *ix.pool;
    ix.byField.reserve(3 * pool.size());
    ix.byNameCn.reserve(pool.size() / 4);
    for (size_t i = 0; i < pool.size(); ++i) {
        const PoolItem& e = pool[i];
        const auto id = static_cast<uint32_t>(i);
        ix.byField[e.name].push_back(id);
        if (e.name_cn != e.name) ix.byField[e.name_cn].push_back(id);
        if (e.nickname != e.name && e.nickname != e.name_cn) ix.byField[e.nickname].push_back(id);
        if (!e.name_cn.empty()) ix.byNameCn[e.name_cn].push_back(id);
    }
}

// Runs task(0) .. task(count - 1) on this thread and one helper, each taking the next in turn.
template <class Task>
void onTwoThreads(size_t count, Task task) {
    std::atomic<size_t> next{0};
    const auto run = [&] {
        for (size_t k; (k = next.fetch_add(1)) < count;) task(k);
    };
    std::thread helper(run);
    run();
    helper.join();
}

PoolIndexPtr buildCleanedIndex(PoolIndexPtr ix) {
    const std::vector<PoolItem>& pool = *ix->pool;
    const size_t n = pool.size();
    const size_t fixed = kEntryProfiles * n;
    ix->cleanTitles = true;
    // Room for one extra name per entry: the units stay in place when the extras join them.
    ix->units.reserve(fixed + n);
    ix->units.resize(fixed);
    std::vector<std::vector<ShortKey>> shortOf(n);
    std::vector<std::vector<std::string>> basesOf(n);  // editionBases, entry by entry
    constexpr size_t kChunk = 4096;
    const auto chunks = [](size_t count) { return (count + kChunk - 1) / kChunk; };
    // The extra names beside the fields' units, then the extra names' units.
    onTwoThreads(1 + chunks(n), [&](size_t task) {
        if (task == 0) {
            ix->extras = extraNames(pool);
            return;
        }
        for (size_t i = (task - 1) * kChunk; i < std::min(n, task * kChunk); ++i) {
            for (size_t k = 0; k < kEntryProfiles; ++k) ix->units[kEntryProfiles * i + k] = entryProfile(pool[i], k);
            forEachShortKey(pool[i], [&](const ShortKey& k) { shortOf[i].push_back(k); });
            forEachEditionBase(pool[i], [&](std::string k) { basesOf[i].push_back(std::move(k)); });
        }
    });
    const size_t extras = ix->extras.size();
    ix->extraFrom.assign(n + 1, 0);
    for (const ExtraName& x : ix->extras) ++ix->extraFrom[x.entry + 1];
    for (size_t i = 0; i < n; ++i) ix->extraFrom[i + 1] += ix->extraFrom[i];
    ix->units.resize(fixed + extras);
    onTwoThreads(chunks(extras), [&](size_t task) {
        for (size_t x = task * kChunk; x < std::min(extras, (task + 1) * kChunk); ++x)
            ix->units[fixed + x] = extraUnits(ix->extras[x]);
    });
    std::thread side([&] {
        buildExactTables(*ix);
        for (std::vector<std::string>& keys : basesOf)
            for (std::string& k : keys) ix->editionBases.insert(std::move(k));
        for (size_t i = 0; i < n; ++i)
            for (ShortKey& k : shortOf[i]) ix->shortKeys[k.key].push_back(ShortHit{static_cast<uint32_t>(i), std::move(k)});
    });
    for (const TitleUnits& u : ix->units) {
        ix->unitCjk.push_back(u.cjkWeight);
        ix->unitWords.push_back(u.wordWeight);
        ix->unitOneName.push_back(u.oneName);
    }
    buildUnitPostings(*ix);
    side.join();
    return ix;
}

}  // namespace

PoolIndexPtr buildPoolIndex(const std::vector<PoolItem>& pool, bool cleanTitles) {
    PoolIndexPtr ix(new PoolIndex);
    ix->pool = &pool;
    if (cleanTitles) return buildCleanedIndex(std::move(ix));
    const size_t n = pool.size();
    ix->cnKey.resize(2 * n);
    ix->enKey.resize(2 * n);
    // The parts are independent: keys by halves, then the tables side by side.
    auto keys = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            const PoolItem& e = pool[i];
            ix->cnKey[2 * i] = makeChineseKey(e.name_cn);
            ix->cnKey[2 * i + 1] = makeChineseKey(e.nickname);
            ix->enKey[2 * i] = englishKey(e.name);
            ix->enKey[2 * i + 1] = englishKey(e.nickname);
        }
    };
    {
        std::thread half(keys, n / 2, n);
        keys(0, n / 2);
        half.join();
    }
    auto tables = [&] {
        ix->enByLen.resize(kLenBuckets);
        buildExactTables(*ix);
        for (size_t i = 0; i < n; ++i) {
            for (size_t f = 0; f < 2; ++f) {
                const size_t len = ix->enKey[2 * i + f].size();
                if (len > 0) ix->enByLen[std::min(len, kLenBuckets - 1)].push_back(static_cast<uint32_t>(2 * i + f));
            }
        }
        buildChinesePostings(*ix);
    };
    std::thread side(tables);
    buildGramIndex(*ix, ix->gram3, 3);
    buildGramIndex(*ix, ix->gram4, 4);
    side.join();
    return ix;
}

namespace {

// The game side of one comparison against one field of every entry.
struct Probe {
    const PoolIndex& ix;
    float threshold;
    MatchScratch& sc;

    void resetAcc() {
        const size_t sources = ix.enKey.size();
        if (sc.acc.size() != sources) sc.acc.assign(sources, 0);
    }

    void take(uint32_t source) { sc.entries.push_back(source / 2); }

    // Chinese comparisons of key a against field `field` of every entry.
    void chinese(const ChineseKey& a, uint32_t field) {
        if (!a.comparable) return;  // only byte equality can score, found by the hash tables
        std::vector<std::pair<uint32_t, uint32_t>> chars;  // (char id, count in a)
        for (uint32_t c : a.chars) {
            auto it = ix.cnCharId.find(c);
            if (it == ix.cnCharId.end()) continue;
            auto found = std::find_if(chars.begin(), chars.end(), [&](auto& p) { return p.first == it->second; });
            if (found == chars.end()) chars.emplace_back(it->second, 1);
            else ++found->second;
        }
        resetAcc();
        for (auto [id, ca] : chars) {
            for (uint32_t k = ix.cnPost.off[id]; k < ix.cnPost.off[id + 1]; ++k) {
                const uint32_t s = ix.cnPost.post[k];
                if ((s & 1u) != field) continue;
                if (sc.acc[s] == 0) sc.touched.push_back(s);
                sc.acc[s] += std::min<uint32_t>(ca, ix.cnPost.count[k]);
            }
        }
        const size_t la = a.chars.size();
        for (uint32_t s : sc.touched) {
            const size_t lb = ix.cnKey[s].chars.size();
            const size_t minLen = std::min(la, lb), maxLen = std::max(la, lb);
            const size_t shared = std::min<size_t>(sc.acc[s], minLen);
            float ub = static_cast<float>(shared) / static_cast<float>(minLen);
            if (minLen == 1) ub -= 0.18f;
            else if (minLen == 2) ub -= 0.1f;
            ub -= static_cast<float>(maxLen - minLen) * 0.03f;
            if (ub + kBoundMargin >= threshold) take(s);
            sc.acc[s] = 0;
        }
        sc.touched.clear();
    }

    // English comparisons of key a against field `field` of every entry.
    void english(const std::string& a, uint32_t field) {
        const size_t la = a.size();
        if (la == 0) return;
        const double t = static_cast<double>(threshold) - kBoundMargin;
        auto needRun = [&](size_t lb) { return static_cast<size_t>(std::ceil(t * static_cast<double>(std::max(la, lb)))); };
        const size_t lo = static_cast<size_t>(std::max(1.0, std::ceil(t * static_cast<double>(la))));
        const double hiD = static_cast<double>(la) / t;
        const size_t hi = hiD > 1e9 ? static_cast<size_t>(1e9) : static_cast<size_t>(std::floor(hiD));
        const size_t t0 = needRun(la);
        if (t0 >= 3) {
            const size_t q = t0 >= 4 ? 4 : 3;
            const Postings& p = q == 4 ? ix.gram4 : ix.gram3;
            std::vector<std::pair<uint32_t, uint32_t>> grams;  // (gram, positions in a)
            for (size_t i = 0; i + q <= la; ++i) grams.emplace_back(gramAt(a, i, q), 1);
            std::sort(grams.begin(), grams.end());
            std::vector<std::pair<uint32_t, uint32_t>> merged;
            for (auto& g : grams) {
                if (!merged.empty() && merged.back().first == g.first) ++merged.back().second;
                else merged.push_back(g);
            }
            resetAcc();
            for (auto [g, m] : merged) {
                for (uint32_t k = p.off[g]; k < p.off[g + 1]; ++k) {
                    const uint32_t s = p.post[k];
                    if ((s & 1u) != field) continue;
                    if (sc.acc[s] == 0) sc.touched.push_back(s);
                    sc.acc[s] += m;
                }
            }
            for (uint32_t s : sc.touched) {
                const size_t lb = ix.enKey[s].size();
                if (lb >= lo && lb <= hi && sc.acc[s] + (q - 1) >= needRun(lb)) take(s);
                sc.acc[s] = 0;
            }
            sc.touched.clear();
            return;
        }
        // Short keys: the run needed is one or two characters; check the entries whose key
        // length fits directly.
        for (size_t len = lo; len <= hi && len < kLenBuckets; ++len) {
            for (uint32_t s : ix.enByLen[len]) {
                if ((s & 1u) != field) continue;
                const size_t lb = ix.enKey[s].size();
                if (lb < lo || lb > hi) continue;
                if (longestCommonRun(a, ix.enKey[s]) >= needRun(lb)) take(s);
            }
            if (len == kLenBuckets - 1) break;
        }
    }

    void exact(const std::unordered_map<std::string, std::vector<uint32_t>>& table, const std::string& key) {
        auto it = table.find(key);
        if (it == table.end()) return;
        sc.entries.insert(sc.entries.end(), it->second.begin(), it->second.end());
    }
};

}  // namespace

namespace {

// Cleaned titles: the shared weights of every source come from the postings of the title's
// units; a source sharing nothing scores 0, as in the plain evaluation, so only touched sources
// are scored (with the same function on the same integers).
std::vector<MatchCandidate> matchCleanedFast(const std::string& gameName, const PoolIndex& ix, float threshold,
                                             MatchScratch& sc) {
    const std::vector<PoolItem>& pool = *ix.pool;
    if (!(threshold > 0.0f)) return matchGameReference(gameName, pool, threshold, true);
    threshold = rawCleanedThreshold(threshold);  // the scorer's own scale from here on
    const size_t sources = ix.units.size();
    if (sc.acc.size() != sources) sc.acc.assign(sources, 0);
    if (sc.acc2.size() != sources) sc.acc2.assign(sources, 0);
    if (sc.best.size() != sources) sc.best.assign(sources, 0.0f);
    sc.entries.clear();
    Probe{ix, threshold, sc}.exact(ix.byField, gameName);
    std::vector<uint32_t> scored;  // sources whose best score is above 0
    std::vector<TitleForm> cleaned = cleanTitleForms(gameName);
    addJoinedWordForms(cleaned, [&](const std::string& w) { return ix.unitWordId.count(w) > 0; });
    for (const TitleUnits& form : titleFormUnits(cleaned)) {
        auto touch = [&](uint32_t s) {
            if (sc.acc[s] == 0 && sc.acc2[s] == 0) sc.touched.push_back(s);
        };
        for (size_t i = 0; i < form.cjk.size();) {
            size_t j = i;
            while (j < form.cjk.size() && form.cjk[j] == form.cjk[i]) ++j;
            const auto it = ix.unitCjkId.find(form.cjk[i]);
            if (it != ix.unitCjkId.end()) {
                const auto inTitle = static_cast<uint32_t>(j - i);
                for (uint32_t k = ix.cjkUnits.off[it->second]; k < ix.cjkUnits.off[it->second + 1]; ++k) {
                    touch(ix.cjkUnits.post[k]);
                    sc.acc[ix.cjkUnits.post[k]] += std::min(inTitle, ix.cjkUnits.count[k]);
                }
            }
            i = j;
        }
        for (const std::string& w : form.words) {
            const auto it = ix.unitWordId.find(w);
            if (it == ix.unitWordId.end()) continue;
            for (uint32_t k = ix.wordUnits.off[it->second]; k < ix.wordUnits.off[it->second + 1]; ++k) {
                touch(ix.wordUnits.post[k]);
                sc.acc2[ix.wordUnits.post[k]] += static_cast<uint32_t>(w.size());
            }
        }
        for (uint32_t s : sc.touched) {
            // The character multiset intersection bounds the common subsequence from above, and
            // scoreBound bounds scoreUnits: sources below the threshold there are done.
            if (scoreBound(form, ix.unitCjk[s], ix.unitWords[s], sc.acc[s], sc.acc2[s], ix.unitOneName[s] != 0) < threshold) {
                sc.acc[s] = sc.acc2[s] = 0;
                continue;
            }
            const TitleUnits& u = ix.units[s];
            float v = scoreUnits(form, u, sc.acc[s], sc.acc2[s]);
            if (v >= threshold && sharedCjk(form, u) != sc.acc[s]) v = scoreUnits(form, u, sharedCjk(form, u), sc.acc2[s]);
            if (v > sc.best[s]) {
                if (sc.best[s] == 0.0f) scored.push_back(s);
                sc.best[s] = v;
            }
            sc.acc[s] = sc.acc2[s] = 0;
        }
        sc.touched.clear();
    }
    const size_t fixedSources = kEntryProfiles * pool.size();
    for (uint32_t s : scored)
        sc.entries.push_back(s < fixedSources ? static_cast<uint32_t>(s / kEntryProfiles) : ix.extras[s - fixedSources].entry);
    std::vector<ShortHit> hits;
    for (const std::string& key : titleShortKeysOf(cleaned)) {
        const auto it = ix.shortKeys.find(key);
        if (it != ix.shortKeys.end()) hits.insert(hits.end(), it->second.begin(), it->second.end());
    }
    const std::vector<uint32_t> shortNamed = shortNameEntries(pool, std::move(hits));
    sc.entries.insert(sc.entries.end(), shortNamed.begin(), shortNamed.end());
    std::sort(sc.entries.begin(), sc.entries.end());
    sc.entries.erase(std::unique(sc.entries.begin(), sc.entries.end()), sc.entries.end());
    std::vector<ScoredEntry> found;
    for (uint32_t i : sc.entries) {
        const PoolItem& e = pool[i];
        const bool same = gameName == e.name || gameName == e.name_cn || gameName == e.nickname;
        float s = 1.0f;
        if (!same) {
            s = 0.0f;
            for (size_t k = 0; k < kEntryProfiles; ++k) s = std::max(s, sc.best[kEntryProfiles * i + k]);
            for (uint32_t x = ix.extraFrom[i]; x < ix.extraFrom[i + 1]; ++x)
                s = std::max(s, extraScore(ix.extras[x], sc.best[fixedSources + x]));
            if (std::binary_search(shortNamed.begin(), shortNamed.end(), i)) s = std::max(s, kShortNameScore);
        }
        if (s >= threshold) found.push_back(ScoredEntry{i, s});
    }
    for (uint32_t s : scored) sc.best[s] = 0.0f;
    return finishCleanedCandidates(
        gameName, cleaned, pool, std::move(found), [&](const PoolItem& e) { return remasterListed(e, ix.editionBases); }, ix.extras);
}

}  // namespace

std::vector<MatchCandidate> matchGameFast(const std::string& gameName, const PoolIndex& ix, float threshold,
                                          MatchScratch& sc) {
    if (ix.cleanTitles) return matchCleanedFast(gameName, ix, threshold, sc);
    const std::vector<PoolItem>& pool = *ix.pool;
    sc.entries.clear();
    Probe probe{ix, threshold, sc};
    const int type = classifyNameType(gameName);
    // Near-zero thresholds admit every entry: no bound can skip anything.
    const bool everyEntry = !(threshold > 0.01f);
    if (everyEntry)
        for (size_t i = 0; i < pool.size(); ++i) sc.entries.push_back(static_cast<uint32_t>(i));
    const ChineseKey whole = makeChineseKey(gameName);
    const std::string wholeEn = englishKey(gameName);
    ChineseKey cnPart;
    std::string enPart;
    std::string cnText;
    if (type == NameType::Mixed) {
        auto [cn, en] = scriptParts(gameName);
        cnPart = makeChineseKey(cn);
        enPart = englishKey(en);
        cnText = std::move(cn);
    }
    if (everyEntry) {
        // nothing to probe
    } else if (type == NameType::Chinese) {
        probe.exact(ix.byField, gameName);
        probe.chinese(whole, 0);
        probe.chinese(whole, 1);
    } else if (type == NameType::Mixed) {
        probe.exact(ix.byField, gameName);
        // A Chinese part byte-equal to name_cn scores 1, above what its character bound shows.
        probe.exact(ix.byNameCn, cnText);
        probe.chinese(cnPart, 0);
        probe.english(enPart, 0);
        probe.chinese(whole, 1);
        probe.english(wholeEn, 1);
    } else {
        probe.exact(ix.byField, gameName);
        probe.english(wholeEn, 0);
        probe.english(wholeEn, 1);
    }
    std::sort(sc.entries.begin(), sc.entries.end());
    sc.entries.erase(std::unique(sc.entries.begin(), sc.entries.end()), sc.entries.end());

    std::vector<MatchCandidate> cands;
    for (uint32_t i : sc.entries) {
        const PoolItem& e = pool[i];
        float s;
        if (gameName == e.name || gameName == e.name_cn || gameName == e.nickname) {
            s = 1.0f;
        } else if (type == NameType::Chinese) {
            s = std::max(compareChineseKeys(whole, ix.cnKey[2 * i]), compareChineseKeys(whole, ix.cnKey[2 * i + 1]));
        } else if (type == NameType::Mixed) {
            const float c = compareChineseKeys(cnPart, ix.cnKey[2 * i]);
            const float en = compareEnglishKeys(enPart, ix.enKey[2 * i]);
            const float n = std::max(compareChineseKeys(whole, ix.cnKey[2 * i + 1]), compareEnglishKeys(wholeEn, ix.enKey[2 * i + 1]));
            s = mixedScore(c, en, n);
        } else {
            s = std::max(compareEnglishKeys(wholeEn, ix.enKey[2 * i]), compareEnglishKeys(wholeEn, ix.enKey[2 * i + 1]));
        }
        if (s >= threshold) cands.push_back(candidateFor(e, s));
    }
    return finishLibraryCandidates(std::move(cands));
}

// ---------------------------------------------------------------------------------------------
// The job
// ---------------------------------------------------------------------------------------------

std::string formatLibrarySummary(const LibraryRunSummary& s) {
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "本地库匹配完成%s\n命中: %d / %d (%d%%)\n精确: %d  模糊: %d  未命中: %d\n跳过: %d\n数据条目: %zu\n",
                  s.cancelled ? " (已取消)" : "", s.hits, s.total, s.percent, s.exact, s.fuzzy, s.missed, s.skipped,
                  s.poolSize);
    return std::string(buf) + "数据文件: " + s.sourcePath;
}

namespace {

void writeRow(const LibraryGameInput& g, std::vector<MatchCandidate> cands) {
    std::lock_guard<std::mutex> lk(gMatchMtx);
    // The frame refuses sorting and reloading while the job runs; the name check guards the row
    // anyway, so a result can never land on another game.
    if (g.row >= dummyGames.size() || dummyGames[g.row].name != g.name) return;
    installLocalResult(dummyGames[g.row], std::move(cands));
}

}  // namespace

LibraryRunSummary runLibraryMatch(LibraryJob job) {
    LibraryRunSummary sum;
    sum.poolSize = job.pool.size();
    sum.sourcePath = job.sourcePath;
    const int32_t allGames = static_cast<int32_t>(job.games.size());
    const float threshold = matchThreshold(job.simThresholdIndex);

    std::vector<const LibraryGameInput*> work;
    for (const LibraryGameInput& g : job.games) {
        if (matchSkipOf(g.imageCount, g.textCount, g.matchedName, job.existingResourceMode, job.existingMatchMode) !=
            MatchSkip::None) {
            ++sum.skipped;
            gMatchDone.fetch_add(1);
        } else {
            work.push_back(&g);
        }
    }

    std::atomic<int32_t> exact{0}, fuzzy{0}, missed{0};
    if (!work.empty() && !gMatchCancel.load()) {
        PoolIndexPtr index = buildPoolIndex(job.pool, job.cleanTitles);
        std::atomic<size_t> next{0};
        auto worker = [&] {
            MatchScratch scratch;
            for (;;) {
                if (gMatchCancel.load()) return;
                const size_t k = next.fetch_add(1);
                if (k >= work.size()) return;
                std::vector<MatchCandidate> cands = matchGameFast(work[k]->name, *index, threshold, scratch);
                if (gMatchCancel.load()) return;  // the game in progress keeps its old match
                if (cands.empty()) missed.fetch_add(1);
                else if (isExactScore(cands.front().score)) exact.fetch_add(1);
                else fuzzy.fetch_add(1);
                writeRow(*work[k], std::move(cands));
                gMatchDone.fetch_add(1);
            }
        };
        int32_t threads = job.workers > 0 ? job.workers : static_cast<int32_t>(std::thread::hardware_concurrency());
        threads = std::clamp<int32_t>(threads, 1, 16);
        threads = std::min<int32_t>(threads, static_cast<int32_t>(work.size()));
        std::vector<std::thread> helpers;
        for (int32_t i = 1; i < threads; ++i) helpers.emplace_back(worker);
        worker();
        for (std::thread& t : helpers) t.join();
    }

    sum.cancelled = gMatchCancel.load();
    sum.exact = exact.load();
    sum.fuzzy = fuzzy.load();
    sum.missed = missed.load();
    sum.total = allGames - sum.skipped;
    // Games left unprocessed by a cancel are not hits.
    sum.hits = sum.exact + sum.fuzzy;
    sum.percent = sum.total > 0 ? sum.hits * 100 / sum.total : 0;

    {
        std::lock_guard<std::mutex> lk(gMatchMsgMtx);
        gMatchDebug = formatLibrarySummary(sum);
    }
    gTotalCount.store(sum.total);
    gConfirmCount.store(sum.hits);
    gPendingCount.store(sum.cancelled ? sum.total - sum.hits - sum.missed : 0);
    gUnmatchCount.store(sum.missed);
    gWaitState.active.store(false);
    gLocalMatchRunning.store(false);
    gLibraryMatchFinished.store(true);
    return sum;
}

// ---------------------------------------------------------------------------------------------
// Start
// ---------------------------------------------------------------------------------------------

namespace {

bool readable(const std::string& path) {
    std::ifstream f(pathFromUtf8(path), std::ios::binary);
    return static_cast<bool>(f);
}

void setMatchMsg(const std::string& m) {
    std::lock_guard<std::mutex> lk(gMatchMsgMtx);
    gMatchMsg = m;
}

}  // namespace

bool startLibraryMatch(const PanelOptions& opts) {
    setMatchMsg(std::string());
    std::string msg;
    bool started = false;
    if (gLocalMatchRunning.load() || gMatchState.load() != kJobIdle) {
        msg = "匹配正在进行中，请等待完成后再试。";
    } else if (dummyGames.empty()) {
        msg = kLoadGamesFirstMessage;
    } else {
        const std::string dir = getExeDir();
        const std::string csvPath = dir + "kbdata.csv", dbPath = dir + "kbdata.db";
        std::vector<PoolItem> pool;
        std::string sourcePath, err;
        if (readable(csvPath)) {
            std::string note;
            if (loadTranslatedCsv(csvPath, pool, err, &note)) sourcePath = csvPath;
            else msg = "加载 kbdata.csv 失败: " + err;
            if (!note.empty()) setStatusMessage(note);
        }
        if (sourcePath.empty()) {
            if (readable(dbPath)) {
                if (loadTranslatedDb(dbPath, pool, err)) sourcePath = dbPath;
                else msg = "加载 kbdata.db 失败: " + err;
            } else if (msg.empty()) {
                msg = "没有本地数据库";
            }
        }
        if (!sourcePath.empty()) {
            LibraryJob job;
            job.pool = std::move(pool);
            job.sourcePath = sourcePath;
            job.simThresholdIndex = opts.simThresholdIndex;
            job.existingResourceMode = opts.existingResourceMode;
            job.existingMatchMode = opts.existingMatchMode;
            job.cleanTitles = opts.cleanTitles;
            {
                std::lock_guard<std::mutex> lk(gMatchMtx);
                job.games.reserve(dummyGames.size());
                for (size_t i = 0; i < dummyGames.size(); ++i) {
                    const GameInfo& g = dummyGames[i];
                    job.games.push_back(LibraryGameInput{i, g.name, g.imageCount, g.textCount, g.matchedName});
                }
            }
            if (gMatchThread.joinable()) gMatchThread.join();
            gMatchCancel.store(false);
            gMatchDone.store(0);
            gMatchTotal.store(static_cast<int32_t>(job.games.size()));
            gLibraryMatchFinished.store(false);
            gLocalMatchRunning.store(true);
            openWaitDialog("本地库匹配中", "正在匹配游戏库，请稍候...");
            gMatchThread = std::thread([j = std::move(job)]() mutable { runLibraryMatch(std::move(j)); });
            started = true;
        }
    }
    if (!msg.empty()) {
        setMatchMsg(msg);
        gMatchShowModal = true;
    }
    return started;
}
