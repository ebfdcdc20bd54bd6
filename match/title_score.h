// The scorer of cleaned titles: how much of an entry's text a title covers, judged per script,
// minus penalties for title text the entry does not explain, for differing sequel numbers and
// for an add-on named on one side only.
//
// A text becomes units after folding (clean.h): CJK characters (ideographs, kana, hangul) in
// order, Latin words (lower-case letter runs) weighted by their length, and numbers (digit runs,
// Roman numerals II..XX). The score of a title against an entry depends only on the unit totals
// of both sides and the shared weight per script: the common subsequence of CJK characters (plus
// half of the other common characters) and the common words. The score never decreases as a
// shared weight grows, and the multiset intersection of the characters bounds their shared
// weight, so per-unit posting lists bound every entry's score: an entry sharing no unit with
// the title scores at most 0.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data/game.h"
#include "match/clean.h"

struct TitleUnits {
    std::vector<uint32_t> cjk;       // sorted code points, repeats kept
    std::vector<uint32_t> cjkOrder;  // the same in text order
    std::vector<std::string> words;  // sorted, distinct
    std::vector<uint32_t> numbers;   // sorted, distinct
    uint32_t cjkWeight = 0;          // cjk.size()
    uint32_t wordWeight = 0;         // letters of all words
    float outside = 0.0f;            // share of the whole title outside this alternative form
    bool oneName = false;            // an entry whose scripts come from one name (not a translation)
    bool addOn = false;              // names an add-on: a soundtrack, an expansion, a DLC pack
    uint32_t editions = 0;           // the kinds of edition it names ("重制版", "Game of the Year"), a bit each
    uint32_t editionWeight = 0;      // a title: of the text naming them, as the units weigh
    uint8_t cjkKinds = 0;            // of its CJK units: 1 Chinese characters, 2 kana or hangul
    // An entry's name borrowed from the game it extends (its Chinese name, then the rest of the
    // entry's English name): neither script alone names the entry, so no half of a title does.
    bool borrowed = false;
    uint32_t seriesNumber = 0;       // a title's number before a colon and a subtitle, 0 when none
    // A title: a Latin and a CJK name side by side, each whole. An entry: an English and a
    // Chinese name from two fields (only latinNumbers is kept for it).
    bool twoNames = false;
    std::vector<uint32_t> latinNumbers, cjkNumbers;  // of each of the two names, sorted, distinct
};

// Units of a title.
TitleUnits titleUnits(std::string_view title);
// Units of a pool entry or a folder: CJK characters of cn (of en when cn has none), words of en
// (of cn when en has none), numbers of both. Pass the same text twice for a single name.
TitleUnits entryUnits(std::string_view en, std::string_view cn);

// Shared weight per script: the longest common subsequence of the CJK characters plus half
// (rounded up) of the common characters it leaves out, and the letters of the common words.
uint32_t sharedCjk(const TitleUnits& title, const TitleUnits& entry);
uint32_t sharedWords(const TitleUnits& title, const TitleUnits& entry);

// The score from the entry's totals and the shared weights; at most 1, and 0 when nothing is
// shared.
float scoreUnits(const TitleUnits& title, const TitleUnits& entry, uint32_t sharedCjkWeight, uint32_t sharedWordWeight);
float scoreTitle(const TitleUnits& title, const TitleUnits& entry);
// scoreUnits without the number and add-on penalties and the one-name cut, taking any entry's
// halves as names: never below it (the same float operations with fewer terms), from the totals
// alone.
float scoreBound(const TitleUnits& title, uint32_t entryCjk, uint32_t entryWords, uint32_t sharedCjkWeight,
                 uint32_t sharedWordWeight, bool oneName = false);

// Units of every cleaned form of gameName (cleanTitleForms); a form that is a part of the title
// carries the share of the whole title it leaves out, which counts as unexplained text.
std::vector<TitleUnits> titleFormUnits(std::string_view gameName);
std::vector<TitleUnits> titleFormUnits(const std::vector<TitleForm>& forms);

// "eldenring", "HOLLOWKNIGHT": a name's words run together, as install folders may write them.
// For each form naming the whole game without a space, with a run of kMinJoinedRun letters or
// more in one case that is no known word (CamelCase the units split), adds the form with the run split into the
// fewest known words (a Roman numeral may end a run in capitals). Such a form explains a little
// less than the title, as an edition form does. known tells the pool's words (lower case).
using KnownWord = std::function<bool(const std::string&)>;
constexpr size_t kMinJoinedRun = 7;
void addJoinedWordForms(std::vector<TitleForm>& forms, const KnownWord& known);

// Short names. A title that is the part of an entry's name before its subtitle ("只狼" for
// "只狼：影逝二度", "Sekiro" for "Sekiro™: Shadows Die Twice") or the initials of the words
// before its number with that number ("BG3" for "Baldur's Gate 3", "FFXIV") names that entry
// when no other game shares it. Keys are tagged by kind; full is the key of the whole name, by
// which an entry's editions and add-ons (whose names extend it) are told from other games.
struct ShortKey {
    std::string key;
    std::string full;
    std::vector<uint32_t> numbers;  // of the whole name: a sequel extends a name by its number
    bool acronym = false;
    bool addOn = false;
    bool edition = false;  // a remaster or a bundle of a game listed beside it
};
std::vector<ShortKey> entryShortKeys(std::string_view name);
// The keys a cleaned title may be a short name by.
std::vector<std::string> titleShortKeys(std::string_view cleanedTitle);
// A short name explains a title below 精确: the rest of the entry's name is not in it.
constexpr float kShortNameScore = 0.9f;
// An exact name that may mean another listing (a remaster listed beside it, a name cut off):
// above every option's cut, below 精确.
constexpr float kListingOpenScore = 0.99f;
// Whether a name names an add-on (a soundtrack, an expansion, a DLC, a bonus, a VR version).
bool namesAddOn(std::string_view name);

// The scorer's threshold for the option's index 0..6.
float cleanedThreshold(int32_t simThresholdIndex);

// Two best entries (of different games) closer than this leave the title unmatched: the title
// does not tell them apart, and a guess would more often be wrong than right.
constexpr float kTieGap = 0.02f;

// How strongly a listing claims a name it shares with other listings: the game before its
// add-ons (a soundtrack, a bonus, a VR version), then the listing that carries more names (a
// Chinese name, a nickname): the store's main listing.
int32_t listingRank(std::string_view name, std::string_view nameCn, std::string_view nickname);
constexpr int32_t kListingRanks = 8;  // listingRank stays below this
// A name as compared for containment: folded, lower-case, letters, digits and CJK only. Of two
// names a title holds, the longer is the one it names: "Call of Duty: Black Ops - Multiplayer"
// over "Call of Duty: Black Ops". keyWeight counts a CJK character as two letters.
std::string nameKeyOf(std::string_view name);
// One character of a name as nameKeyOf keeps it (folded, lower-case), 0 when the key leaves it out.
char32_t nameKeyChar(char32_t c);
uint32_t keyWeight(std::string_view key);
// How near-tied candidates are told apart, by appid: the highest rank, when one candidate alone
// has it and it is above 0, goes first.
using RankOf = std::function<int32_t(int32_t appid)>;

// Candidates sorted best first, one per appid: when the best are within kTieGap, keeps them only
// if all of them carry one name (after folding, spaces and punctuation aside): one game listed
// twice by the store, a re-release under its old name. The newest entry (highest appid) then
// goes first, being the one sold and installed today. Before that, the one candidate of the
// highest rank goes first. Otherwise clears them.
void cutNearTies(std::vector<MatchCandidate>& sortedCandidates, const RankOf& rankOf = RankOf());
