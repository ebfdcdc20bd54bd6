#include "match/title_score.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "data/options.h"
#include "match/clean.h"
#include "match/normalize.h"
#include "match/rules.h"

namespace {

// Penalties, tuned on real menu titles against the real pool (bench_quality).
constexpr float kContradiction = 0.30f;  // both sides have text in a script and share none of it
constexpr float kUnexplained = 0.40f;    // times the share of the title's text the entry lacks
// A script of the title the entry has no text in (missing data, not a contradiction) counts as
// covered to this degree.
constexpr float kMissingCredit = 0.7f;
constexpr float kLettersPerCjk = 2.0f;   // a CJK character weighs as much as this many letters
constexpr float kOtherNumber = 0.30f;      // both sides carry numbers and none is common
constexpr float kOneSidedNumber = 0.25f; // a number only one side carries: a sequel, usually
constexpr float kSeriesNumber = 0.05f;   // the title's place in its series, left out by the entry
// A title naming an add-on against an entry that names none, or the other way round: the
// store lists a game's add-ons under the game's own name followed by the kind of add-on.
constexpr float kAddOnMismatch = 0.15f;
// The kinds of add-on, as store titles name them (folded, lower case).
constexpr std::u32string_view kAddOnCjk[] = {U"原声带", U"扩充包", U"扩展包", U"资料片", U"追加",
                                             U"组合包", U"季票",   U"特典",   U"设定集"};
constexpr std::string_view kAddOnWords[] = {"soundtrack", "ost", "dlc", "expansion", "append", "artbook", "pack", "demo",
                                            "bonus", "vr", "language"};
// A title read without its edition words ("重制版", "HD") explains a little less than the title:
// a remaster is often sold under the base game's entry. An entry naming another edition than the
// title (or one the title does not name) is another listing of the game.
constexpr float kEditionDropped = 0.05f;
constexpr float kOtherEdition = 0.10f;
// Both name an edition, of other kinds: translations name editions loosely ("终极版" for a
// "Definitive Edition"), and the edition listing beats the base game by more than kTieGap.
constexpr float kEditionNamedOtherwise = 0.02f;
// A bilingual title whose one script part is the entry's name and whose other part disagrees.
constexpr float kDisagree = 0.15f;
constexpr uint32_t kMinFullLetters = 4;
// An entry that shares with a longer title no more than kThinCjk characters and no word (or one
// word and no character) explains too little of it to be the game: "游牧生存" is not "XERA：生存".
constexpr uint32_t kThinCjk = 2;
constexpr float kThinCover = 0.15f;
// The kinds of CJK text a name holds (TitleUnits::cjkKinds).
constexpr uint8_t kHan = 1, kKanaHangul = 2;
// Fewer shared units than this in a script do not count as a match by themselves: one
// character or one digit agrees by chance too often.
constexpr uint32_t kMinSharedCjk = 2;
constexpr uint32_t kMinSharedLetters = 2;
// Characters of one text taken into account: titles are far shorter, and the common subsequence
// costs the product of the two lengths.
constexpr size_t kMaxCjkUnits = 256;

bool isApostrophe(char32_t c) { return c == U'\'' || c == U'\u2019'; }

constexpr std::string_view kRoman[] = {"",   "i",   "ii",   "iii", "iv", "v",   "vi",   "vii",  "viii", "ix", "x",
                                       "xi", "xii", "xiii", "xiv", "xv", "xvi", "xvii", "xviii", "xix", "xx"};

// The number a Latin word stands for, 0 when none. Single letters only count in capitals (the
// V of "Raiden V"); "I" never does, being a word far more often than a numeral.
uint32_t romanValue(const std::string& lowerWord, bool capital) {
    if (lowerWord.size() == 1 && (!capital || lowerWord == "i")) return 0;
    for (uint32_t v = 1; v < std::size(kRoman); ++v)
        if (lowerWord == kRoman[v]) return v;
    return 0;
}

bool isCjkNumeral(char32_t c) { return std::u32string_view(U"零一二两三四五六七八九十").find(c) != std::u32string_view::npos; }

std::string cjkNumber(const std::u32string& t, size_t from, size_t to) {
    std::vector<std::string> run;
    for (size_t k = from; k < to; ++k) run.push_back(utf8Encode(std::u32string_view(&t[k], 1)));
    return parseCjkNum1To99(run);
}

// 1..99 in Chinese numerals, as names write them: 七, 十二, 二十, 二十三.
std::u32string cjkNumeral(uint32_t v) {
    constexpr std::u32string_view kDigits = U"零一二三四五六七八九";
    std::u32string out;
    if (v >= 20) out.push_back(kDigits[v / 10]);
    if (v >= 10) out.push_back(U'十');
    if (v % 10 != 0 || v < 10) out.push_back(kDigits[v % 10]);
    return out;
}

struct Scan {
    std::vector<uint32_t> cjk;
    std::vector<std::string> words;
    std::vector<uint32_t> numbers;
    uint32_t editions = 0;
    uint32_t editionWeight = 0;  // of the text naming them: letters, a CJK character as kLettersPerCjk
    uint8_t cjkKinds = 0;
    uint32_t seriesNumber = 0;
    bool addOn = false;
};

// Kinds of edition, one bit each, as either script names them: "重製版" is "Remastered",
// "年度版" "Game of the Year", "威力加強版" "Powerup Kit". An edition word is no text of the
// game's name: the kinds are compared on their own (kOtherEdition).
enum EditionKind : uint32_t {
    kRemaster = 1u << 0, kGoty = 1u << 1, kPowerUpKit = 1u << 2, kDirectorsCut = 1u << 3, kDefinitive = 1u << 4,
    kDeluxe = 1u << 5, kUltimate = 1u << 6, kComplete = 1u << 7, kEnhanced = 1u << 8, kAnniversary = 1u << 9,
    kGold = 1u << 10, kSpecial = 1u << 11, kHd = 1u << 12, kFinal = 1u << 13,
};
struct CjkEdition {
    std::u32string_view word;  // folded
    uint32_t kind;
};
constexpr CjkEdition kCjkEditions[] = {
    {U"高清复刻版", kHd | kRemaster}, {U"像素复刻版", kRemaster}, {U"导演剪辑版", kDirectorsCut}, {U"威力加强版", kPowerUpKit},
    {U"威力加强", kPowerUpKit},       {U"年度版", kGoty},         {U"重制版", kRemaster},         {U"重置版", kRemaster},
    {U"复刻版", kRemaster},           {U"高清版", kHd},           {U"终极版", kUltimate},         {U"完全版", kComplete},
    {U"完整版", kComplete},           {U"决定版", kDefinitive},   {U"豪华版", kDeluxe},           {U"周年版", kAnniversary},
    {U"增强版", kEnhanced},           {U"黄金版", kGold},         {U"特别版", kSpecial},           {U"最终版", kFinal},
};
// Latin names of the kinds: a word of its own, or a word naming an "Edition" (the two words go).
struct LatinEdition {
    std::string_view words;  // lower case, space separated, as scanned ("directors" keeps no apostrophe)
    uint32_t kind;
};
constexpr LatinEdition kLatinEditions[] = {
    {"remastered", kRemaster},  {"remaster", kRemaster},    {"remake", kRemaster},        {"goty", kGoty},
    {"game of the year", kGoty}, {"powerup kit", kPowerUpKit}, {"power up kit", kPowerUpKit}, {"directors cut", kDirectorsCut},
    {"hd", kHd},
};
constexpr LatinEdition kNamedEditions[] = {
    {"definitive", kDefinitive}, {"deluxe", kDeluxe}, {"ultimate", kUltimate}, {"complete", kComplete}, {"enhanced", kEnhanced},
    {"anniversary", kAnniversary}, {"gold", kGold}, {"special", kSpecial},
};

// The first letters and characters of the tables' names: most words and characters open none,
// and are passed over at one look.
struct EditionInitials {
    std::string latin;
    std::u32string cjk;
};
const EditionInitials& editionInitials() {
    static const EditionInitials initials = [] {
        EditionInitials i;
        for (const LatinEdition& e : kLatinEditions)
            if (i.latin.find(e.words.front()) == std::string::npos) i.latin.push_back(e.words.front());
        for (const CjkEdition& e : kCjkEditions)
            if (i.cjk.find(e.word.front()) == std::u32string::npos) i.cjk.push_back(e.word.front());
        return i;
    }();
    return initials;
}

// Takes the edition names out of a name's words (in text order) into kinds.
void takeLatinEditions(std::vector<std::string>& words, uint32_t& kinds, uint32_t& weight) {
    for (size_t i = 0; i < words.size();) {
        size_t taken = 0;
        const bool opens = editionInitials().latin.find(words[i].front()) != std::string::npos;
        for (const LatinEdition& e : kLatinEditions) {
            if (!opens) break;
            size_t n = 0, at = 0;
            for (; i + n < words.size() && at < e.words.size(); ++n) {
                const size_t end = std::min(e.words.find(' ', at), e.words.size());
                if (e.words.substr(at, end - at) != words[i + n]) break;
                at = end + 1;
            }
            if (at > e.words.size()) {
                taken = n + (i + n < words.size() && words[i + n] == "edition");  // "Game of the Year Edition"
                kinds |= e.kind;
                break;
            }
        }
        if (!taken && i + 1 < words.size() && words[i + 1] == "edition")
            for (const LatinEdition& e : kNamedEditions)
                if (words[i] == e.words) taken = 2, kinds |= e.kind;
        for (size_t k = i; k < i + taken; ++k) weight += static_cast<uint32_t>(words[k].size());
        if (taken) words.erase(words.begin() + static_cast<std::ptrdiff_t>(i), words.begin() + static_cast<std::ptrdiff_t>(i + taken));
        else ++i;
    }
}

// "古墓丽影8：地下世界": a number between a series' name and a colon is the game's place in the
// series; the subtitle after it names the game, and stores often leave the number out.
bool opensSubtitle(const std::u32string& t, size_t i) {
    while (i < t.size() && t[i] == U' ') ++i;
    return i + 1 < t.size() && t[i] == U':' && std::any_of(t.begin() + static_cast<std::ptrdiff_t>(i), t.end(), isCjkUnit);
}

// "古剑奇谭三(Gujian3)", "侠客风云传(Tale of Wuxia)": a Chinese name followed by a bracketed
// Latin gloss of itself. The gloss goes (the name is one, not two), so a title written in
// Chinese alone covers it.
void dropLatinGloss(std::u32string& t) {
    size_t end = t.size();
    while (end > 0 && t[end - 1] == U' ') --end;
    if (end == 0 || (t[end - 1] != U')' && t[end - 1] != U']')) return;
    const char32_t open = t[end - 1] == U')' ? U'(' : U'[';
    const size_t at = t.rfind(open, end - 1);
    if (at == std::u32string::npos || at == 0) return;
    const auto cjkIn = [&](size_t from, size_t to) { return std::any_of(t.begin() + from, t.begin() + to, isCjkUnit); };
    if (cjkIn(0, at) && !cjkIn(at, end)) t.resize(at);
}

Scan scan(std::string_view text, bool dropGloss = false) {
    Scan s;
    std::u32string t = utf8Decode(text);
    for (char32_t& c : t) c = foldChar(c);
    if (dropGloss) dropLatinGloss(t);
    s.addOn = std::any_of(std::begin(kAddOnCjk), std::end(kAddOnCjk), [&](std::u32string_view w) { return t.find(w) != t.npos; });
    for (size_t i = 0; i < t.size();) {
        const char32_t c = t[i];
        if (isCjkUnit(c)) {
            const auto edition = editionInitials().cjk.find(c) == std::u32string::npos
                                     ? std::end(kCjkEditions)
                                     : std::find_if(std::begin(kCjkEditions), std::end(kCjkEditions),
                                                    [&](const CjkEdition& e) { return t.compare(i, e.word.size(), e.word) == 0; });
            if (edition != std::end(kCjkEditions)) {
                s.editions |= edition->kind;
                s.editionWeight += static_cast<uint32_t>(kLettersPerCjk) * static_cast<uint32_t>(edition->word.size());
                i += edition->word.size();
                continue;
            }
            // Numerals ending a word of CJK text are a sequel number: 最终幻想十五 = 最终幻想XV.
            size_t j = i;
            while (j < t.size() && isCjkNumeral(t[j])) ++j;
            const bool endsWord = j > i && (j == t.size() || !isCjkUnit(t[j])) && i > 0 && isCjkUnit(t[i - 1]);
            const std::string value = endsWord ? cjkNumber(t, i, j) : std::string();
            if (!value.empty()) {
                s.numbers.push_back(static_cast<uint32_t>(std::stoul(value)));
                if (opensSubtitle(t, j)) s.seriesNumber = s.numbers.back();
                i = j;
                continue;
            }
            // A numeral run is taken whole, so each character is looked at once.
            for (const size_t end = std::max(j, i + 1); i < end; ++i)
                if (s.cjk.size() < kMaxCjkUnits) s.cjk.push_back(t[i]);
        } else if (c >= 0x2160 && c <= 0x217B) {  // Ⅰ..Ⅻ, ⅰ..ⅻ
            s.numbers.push_back((c - 0x2160) % 16 + 1);
            ++i;
        } else if (isDigit(c)) {
            const size_t from = i;
            uint32_t v = 0;
            for (; i < t.size() && isDigit(t[i]); ++i) v = std::min<uint32_t>(v * 10 + (t[i] - U'0'), 999999999u);
            // A number opening a Chinese word is part of the name, written either way: "7日杀"
            // is "七日杀". A number after the name stays a sequel number ("巫师3").
            const bool opensWord = (from == 0 || !isCjkUnit(t[from - 1])) && i < t.size() && isCjkUnit(t[i]);
            if (opensWord && v >= 1 && v <= 99) {
                for (char32_t n : cjkNumeral(v))
                    if (s.cjk.size() < kMaxCjkUnits) s.cjk.push_back(n);
                continue;
            }
            s.numbers.push_back(v);
            if (from > 0 && isCjkUnit(t[from - 1]) && opensSubtitle(t, i)) s.seriesNumber = v;
        } else if (isLetter(c)) {
            std::string w;
            const bool capital = c <= U'Z';
            for (; i < t.size(); ++i) {
                if (isLetter(t[i])) {
                    // "TheLongDark": a capital after a small letter starts a word, as install
                    // folders and typed names join a name's words without spaces.
                    if (!w.empty() && t[i] <= U'Z' && t[i - 1] >= U'a') break;
                    w.push_back(static_cast<char>(t[i] | 0x20));
                } else if (!isApostrophe(t[i]) || w.empty() || i + 1 >= t.size() || !isLetter(t[i + 1])) {
                    // "Baldur's" and "Baldurs" are one word, as people type names without it.
                    break;
                }
            }
            const uint32_t roman = romanValue(w, capital);
            if (roman > 0) s.numbers.push_back(roman);
            else s.words.push_back(std::move(w));
        } else {
            ++i;
        }
    }
    takeLatinEditions(s.words, s.editions, s.editionWeight);
    for (uint32_t c : s.cjk) s.cjkKinds |= isKanaOrHangul(c) ? kKanaHangul : kHan;
    for (const std::string& w : s.words)
        s.addOn = s.addOn || std::find(std::begin(kAddOnWords), std::end(kAddOnWords), w) != std::end(kAddOnWords);
    return s;
}

TitleUnits finish(std::vector<uint32_t> cjk, std::vector<std::string> words, std::vector<uint32_t> numbers) {
    TitleUnits u;
    u.cjkOrder = cjk;
    std::sort(cjk.begin(), cjk.end());
    std::sort(words.begin(), words.end());
    // Each word once: a name repeated ("Brotato 土豆兄弟(Brotato)") or a word repeated in a
    // name ("Zero Escape: Zero Time Dilemma") explains nothing more.
    words.erase(std::unique(words.begin(), words.end()), words.end());
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    u.cjkWeight = static_cast<uint32_t>(cjk.size());
    for (const std::string& w : words) u.wordWeight += static_cast<uint32_t>(w.size());
    u.cjk = std::move(cjk);
    u.words = std::move(words);
    u.numbers = std::move(numbers);
    return u;
}

// One script's part of the score, weighted by the title's text in that script; adds the part's
// weight to parts.
float scriptScore(uint32_t title, uint32_t entry, uint32_t shared, uint32_t minShared, float weight, float& parts) {
    if (title == 0) return 0.0f;
    parts += weight;
    if (entry == 0) return kMissingCredit * weight;
    if (shared < minShared) return -kContradiction * weight;
    const float unexplained = kUnexplained * static_cast<float>(title - shared) / static_cast<float>(title);
    return (static_cast<float>(shared) / static_cast<float>(entry) - unexplained) * weight;
}

}  // namespace

namespace {

// "80 Days 环游世界八十天": a Latin name and a CJK name side by side, each whole, and the numbers
// of each (numerals inside the CJK name count: 八十). Not so when the second follows a dash
// ("Monster Hunter: World - 接待員服裝", a subtitle); a colon may join two names
// ("Wallpaper Engine：桌布引擎").
struct Halves {
    bool twoNames = false;
    std::vector<uint32_t> latin, cjk;
};

Halves splitHalves(std::string_view title) {
    Halves h;
    std::u32string t = utf8Decode(title);
    for (char32_t& c : t) c = foldChar(c);
    size_t firstCjk = t.size(), lastCjk = 0, firstLatin = t.size(), lastLatin = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        if (isCjkUnit(t[i])) firstCjk = std::min(firstCjk, i), lastCjk = i;
        else if (isLetter(t[i])) firstLatin = std::min(firstLatin, i), lastLatin = i;
    }
    if (firstCjk == t.size() || firstLatin == t.size()) return h;
    size_t cut;
    if (lastLatin < firstCjk) cut = firstCjk;
    else if (lastCjk < firstLatin) cut = firstLatin;
    else return h;
    for (size_t i = cut; i > 0 && !isLetter(t[i - 1]) && !isCjkUnit(t[i - 1]) && !isDigit(t[i - 1]); --i)
        if (t[i - 1] == U'-' || t[i - 1] == U'–') return h;
    const std::u32string first = t.substr(0, cut), second = t.substr(cut);
    const bool latinFirst = cut == firstCjk;
    const std::u32string& cjkHalf = latinFirst ? second : first;
    h.latin = scan(utf8Encode(latinFirst ? first : second)).numbers;
    h.cjk = scan(utf8Encode(cjkHalf)).numbers;
    for (size_t i = 0; i < cjkHalf.size();) {
        size_t j = i;
        while (j < cjkHalf.size() && isCjkNumeral(cjkHalf[j])) ++j;
        const std::string v = j > i ? cjkNumber(cjkHalf, i, j) : std::string();
        if (!v.empty()) h.cjk.push_back(static_cast<uint32_t>(std::stoul(v)));
        i = std::max(j, i + 1);
    }
    for (std::vector<uint32_t>* n : {&h.latin, &h.cjk}) {
        std::sort(n->begin(), n->end());
        n->erase(std::unique(n->begin(), n->end()), n->end());
    }
    h.twoNames = true;
    return h;
}

bool readsAsTwoNames(std::string_view name) {
    const Halves h = splitHalves(name);
    return h.twoNames && h.latin == h.cjk;
}

}  // namespace

TitleUnits titleUnits(std::string_view title) {
    Scan s = scan(title);
    TitleUnits u = finish(std::move(s.cjk), std::move(s.words), std::move(s.numbers));
    u.addOn = s.addOn;
    u.editions = s.editions;
    u.editionWeight = s.editionWeight;
    u.cjkKinds = s.cjkKinds;
    u.seriesNumber = s.seriesNumber;
    if (u.cjkWeight > 0 && u.wordWeight > 0) {
        Halves h = splitHalves(title);
        u.twoNames = h.twoNames;
        u.latinNumbers = std::move(h.latin);
        u.cjkNumbers = std::move(h.cjk);
    }
    return u;
}

TitleUnits entryUnits(std::string_view en, std::string_view cn) {
    Scan e = scan(en);

    if (en == cn) {
        TitleUnits u = finish(std::move(e.cjk), std::move(e.words), std::move(e.numbers));
        // "太吾绘卷 The Scroll Of Taiwu": a name given in both scripts is two names of one game.
        u.oneName = !(u.cjkWeight > 0 && u.wordWeight > 0 && readsAsTwoNames(en));
        u.addOn = e.addOn;
        u.editions = e.editions;
        u.cjkKinds = e.cjkKinds;
        return u;
    }
    Scan c = scan(cn, true);
    std::vector<uint32_t> numbers = e.numbers;
    numbers.insert(numbers.end(), c.numbers.begin(), c.numbers.end());
    const bool cjkFromCn = !c.cjk.empty(), wordsFromEn = !e.words.empty();
    TitleUnits u = finish(cjkFromCn ? std::move(c.cjk) : std::move(e.cjk), wordsFromEn ? std::move(e.words) : std::move(c.words),
                          std::move(numbers));
    u.oneName = !(cjkFromCn && wordsFromEn);
    u.addOn = e.addOn || c.addOn;
    u.editions = e.editions | c.editions;
    u.cjkKinds = cjkFromCn ? c.cjkKinds : e.cjkKinds;
    if (!u.oneName) {
        u.twoNames = true;
        u.latinNumbers = std::move(e.numbers);
        std::sort(u.latinNumbers.begin(), u.latinNumbers.end());
        u.latinNumbers.erase(std::unique(u.latinNumbers.begin(), u.latinNumbers.end()), u.latinNumbers.end());
    }
    return u;
}

uint32_t sharedCjk(const TitleUnits& t, const TitleUnits& e) {
    const std::vector<uint32_t>& a = t.cjkOrder;
    const std::vector<uint32_t>& b = e.cjkOrder;
    if (a.empty() || b.empty()) return 0;
    std::vector<uint32_t> row(b.size() + 1, 0);
    for (uint32_t c : a) {
        uint32_t diag = 0;
        for (size_t j = 1; j <= b.size(); ++j) {
            const uint32_t up = row[j];
            row[j] = c == b[j - 1] ? diag + 1 : std::max(row[j], row[j - 1]);
            diag = up;
        }
    }
    // Characters both sides share out of order count half (rounded up): a swapped pair
    // (香辛料 / 辛香料) is a variant spelling more often than another name.
    uint32_t common = 0;
    for (size_t i = 0, j = 0; i < t.cjk.size() && j < e.cjk.size();) {
        if (t.cjk[i] < e.cjk[j]) ++i;
        else if (e.cjk[j] < t.cjk[i]) ++j;
        else ++common, ++i, ++j;
    }
    return row[b.size()] + (common - row[b.size()] + 1) / 2;
}

uint32_t sharedWords(const TitleUnits& t, const TitleUnits& e) {
    uint32_t n = 0;
    for (size_t i = 0, j = 0; i < t.words.size() && j < e.words.size();) {
        if (t.words[i] < e.words[j]) ++i;
        else if (e.words[j] < t.words[i]) ++j;
        else n += static_cast<uint32_t>(t.words[i].size()), ++i, ++j;
    }
    return n;
}

namespace {

// Whether one half of a two-name title is the entry's whole name in its script (cjkFull,
// wordsFull) and its numbers are among the other half's: "Grand Theft Auto: Vice City
// 侠盗猎车手3：罪恶都市" numbers the series its own way, "The Sims 4 豪華派對" is a part of the game.
bool namedByHalf(const TitleUnits& t, bool cjkFull, bool wordsFull) {
    const auto within = [](const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
        return std::includes(b.begin(), b.end(), a.begin(), a.end());
    };
    return t.twoNames && ((wordsFull && within(t.latinNumbers, t.cjkNumbers)) || (cjkFull && within(t.cjkNumbers, t.latinNumbers)));
}

// The weighted sum of the script parts and their total weight; false when nothing counts.
bool scriptParts(const TitleUnits& t, uint32_t entryCjk, uint32_t entryWords, uint32_t sharedCjkWeight,
                 uint32_t sharedWordWeight, uint32_t sharedEditions, bool halvesName, float& sum, float& parts) {
    if (sharedCjkWeight < kMinSharedCjk && sharedWordWeight < kMinSharedLetters) return false;
    parts = 0.0f;
    sum = scriptScore(t.cjkWeight, entryCjk, sharedCjkWeight, kMinSharedCjk, kLettersPerCjk * static_cast<float>(t.cjkWeight),
                      parts);
    sum += scriptScore(t.wordWeight, entryWords, sharedWordWeight, kMinSharedLetters, static_cast<float>(t.wordWeight), parts);
    // An edition both name counts as text both share, in whichever script each names it.
    const float editions = t.editions == 0 ? 0.0f
                                           : static_cast<float>(t.editionWeight) * static_cast<float>(std::popcount(sharedEditions)) /
                                                 static_cast<float>(std::popcount(t.editions));
    sum += editions;
    parts += editions;
    // "80 Days 环游世界八十天" against "80 Days" / "80天": one script part is the entry's whole
    // name in that script, and the other is often another translation than the store's. The
    // floor depends on the full part alone, so the score still never decreases as a weight grows.
    const bool cjkFull = t.cjkWeight >= kMinSharedCjk && sharedCjkWeight == t.cjkWeight && entryCjk == t.cjkWeight;
    const bool wordsFull = t.wordWeight >= kMinFullLetters && sharedWordWeight == t.wordWeight && entryWords == t.wordWeight;
    if (halvesName && namedByHalf(t, cjkFull, wordsFull)) sum = std::max(sum, (1.0f - kDisagree) * parts);
    return parts > 0.0f;
}

}  // namespace

namespace {

// One name written in two scripts: text in a script the title lacks is left unexplained, so the
// script parts' sum counts by this share of the entry's text.
float oneNameShare(const TitleUnits& t, uint32_t entryCjk, uint32_t entryWords) {
    const float cjk = kLettersPerCjk * static_cast<float>(entryCjk), words = static_cast<float>(entryWords);
    const float judged = (t.cjkWeight > 0 ? cjk : 0.0f) + (t.wordWeight > 0 ? words : 0.0f);
    return judged / (cjk + words);
}

// The penalty for titleNumbers (the title's, or one half's) against the entry's numbers.

// latin: the title's numbers are those of Latin text alone (the whole title, or its Latin half),
// judged against the entry's English name: Chinese names often number a series their own way
// ("极品飞车12：无间风云" is "Need for Speed: Undercover", "杀手5：赦免" "Hitman: Absolution").
float numbersPenalty(const TitleUnits& t, const std::vector<uint32_t>& titleNumbers, bool latin, const TitleUnits& e,
                     uint32_t sharedCjkWeight, uint32_t sharedWordWeight) {
    const std::vector<uint32_t>& entryNumbers = latin && e.twoNames ? e.latinNumbers : e.numbers;
    const uint32_t entryCjk = e.cjkWeight, entryWords = e.wordWeight;
    float penalty = 0.0f;
    if (titleNumbers != entryNumbers) {
        // Sequel numbers: a number each side lacks is another game of the series; a number only
        // one side has is an edition, a year or a missing part of the name.
        const bool titleExtra = !std::includes(entryNumbers.begin(), entryNumbers.end(), titleNumbers.begin(), titleNumbers.end());
        const bool entryExtra = !std::includes(titleNumbers.begin(), titleNumbers.end(), entryNumbers.begin(), entryNumbers.end());
        // The title's place in the series (before a subtitle, or a 1 the first game's listing
        // leaves out), where the entry's name is all of the title's text.
        std::vector<uint32_t> withoutOrdinal = titleNumbers;
        withoutOrdinal.erase(std::remove_if(withoutOrdinal.begin(), withoutOrdinal.end(),
                                            [&](uint32_t n) {
                                                return (n == 1 || (n == t.seriesNumber && n > 0)) &&
                                                       !std::binary_search(entryNumbers.begin(), entryNumbers.end(), n);
                                            }),
                             withoutOrdinal.end());
        const bool ordinalOnly = withoutOrdinal == entryNumbers && sharedCjkWeight == t.cjkWeight && entryCjk == t.cjkWeight &&
                                 sharedWordWeight == t.wordWeight && entryWords == t.wordWeight;
        penalty += ordinalOnly ? kSeriesNumber : titleExtra && entryExtra ? kOtherNumber : kOneSidedNumber;
    }
    return penalty;
}

}  // namespace

float scoreBound(const TitleUnits& t, uint32_t entryCjk, uint32_t entryWords, uint32_t sharedCjkWeight,
                 uint32_t sharedWordWeight, bool oneName) {
    float sum = 0.0f, parts = 0.0f;
    // Every edition the title names shared: the score only grows with the editions' weight, and
    // scaling a larger sum by the same share keeps it the larger.
    if (!scriptParts(t, entryCjk, entryWords, sharedCjkWeight, sharedWordWeight, t.editions, true, sum, parts)) return 0.0f;
    float bound = sum * (oneName ? oneNameShare(t, entryCjk, entryWords) : 1.0f) / parts - kUnexplained * t.outside;
    // Kana or hangul alone may meet an entry without text in them (scoreUnits).
    if (t.cjkKinds == kKanaHangul && entryCjk > 0 &&
        scriptParts(t, 0, entryWords, sharedCjkWeight, sharedWordWeight, t.editions, true, sum, parts))
        bound = std::max(bound, sum * (oneName ? oneNameShare(t, 0, entryWords) : 1.0f) / parts - kUnexplained * t.outside);
    return bound;
}

float scoreUnits(const TitleUnits& t, const TitleUnits& e, uint32_t sharedCjkWeight, uint32_t sharedWordWeight) {
    // "스타듀 밸리 - Stardew Valley" against "Stardew Valley" / "星露谷物语": a Korean or Japanese
    // name beside a Chinese one is text the entry has none in, not a name that disagrees.
    const bool otherLanguage = t.cjkKinds == kKanaHangul && (e.cjkKinds & kKanaHangul) == 0;
    const uint32_t entryCjk = otherLanguage ? 0 : e.cjkWeight, entryWords = e.wordWeight;
    float sum = 0.0f, parts = 0.0f;
    if (!scriptParts(t, entryCjk, entryWords, sharedCjkWeight, sharedWordWeight, t.editions & e.editions, !e.borrowed, sum, parts))
        return 0.0f;
    float penalty = kUnexplained * t.outside + (t.addOn != e.addOn ? kAddOnMismatch : 0.0f);
    // The title's other half may name the same edition another way ("Definitive Edition 终极版").
    if ((e.editions & ~t.editions) != 0) penalty += t.editions != 0 ? kEditionNamedOtherwise : kOtherEdition;
    else if (t.editions != 0 && e.editions == 0) penalty += kEditionDropped;
    const bool thinCjk = sharedWordWeight == 0 && sharedCjkWeight <= kThinCjk && t.cjkWeight > sharedCjkWeight;
    const bool thinWord = sharedCjkWeight == 0 && e.words.size() == 1 && sharedWordWeight < t.wordWeight;
    if (thinCjk || thinWord) penalty += kThinCover;
    if (e.oneName) sum *= oneNameShare(t, entryCjk, entryWords);
    float numberPenalty = numbersPenalty(t, t.numbers, t.cjkWeight == 0, e, sharedCjkWeight, sharedWordWeight);
    const bool cjkFull = sharedCjkWeight == t.cjkWeight && entryCjk == t.cjkWeight;
    const bool wordsFull = sharedWordWeight == t.wordWeight && entryWords == t.wordWeight;
    // A half that is the entry's name is judged by its own numbers, below 精确: the other half
    // still numbers the game otherwise.
    const auto byHalf = [&](const std::vector<uint32_t>& half, bool latin) {
        numberPenalty =
            std::min(numberPenalty, std::max(kSeriesNumber, numbersPenalty(t, half, latin, e, sharedCjkWeight, sharedWordWeight)));
    };
    if (!e.borrowed && namedByHalf(t, cjkFull && t.cjkWeight >= kMinSharedCjk, false)) byHalf(t.cjkNumbers, false);
    if (!e.borrowed && namedByHalf(t, false, wordsFull && t.wordWeight >= kMinFullLetters)) byHalf(t.latinNumbers, true);
    return sum / parts - penalty - numberPenalty;
}

float scoreTitle(const TitleUnits& t, const TitleUnits& e) {
    return scoreUnits(t, e, sharedCjk(t, e), sharedWords(t, e));
}

namespace {

constexpr std::string_view kSmallWords[] = {"of", "to", "in", "on", "at", "my", "no", "go"};

// The fewest known words run splits into (two at least), or empty.
std::string splitJoined(const std::string& run, const KnownWord& known) {
    constexpr size_t kMaxRun = 40, kMaxPiece = 24, kNone = std::numeric_limits<size_t>::max();
    const size_t n = run.size();
    if (n > kMaxRun) return std::string();
    std::string lower = run;
    for (char& c : lower) c = static_cast<char>(c | 0x20);
    if (known(lower)) return std::string();
    const bool capitals = std::all_of(run.begin(), run.end(), [](char c) { return c <= 'Z'; });
    std::vector<size_t> pieces(n + 1, kNone), from(n + 1, 0);
    pieces[0] = 0;
    for (size_t i = 2; i <= n; ++i)
        for (size_t j = i >= kMaxPiece ? i - kMaxPiece : 0; j + 2 <= i; ++j) {
            if (pieces[j] == kNone || pieces[j] + 1 >= pieces[i]) continue;
            const std::string piece = lower.substr(j, i - j);
            const bool roman = i == n && j > 0 && romanValue(piece, capitals) > 1;
            // Two letters join names too often by chance ("PR AG MATA"), but for a few small words.
            if (i - j < 3 && !roman && std::find(std::begin(kSmallWords), std::end(kSmallWords), piece) == std::end(kSmallWords))
                continue;
            if (roman || known(piece)) pieces[i] = pieces[j] + 1, from[i] = j;
        }
    if (pieces[n] == kNone || pieces[n] < 2) return std::string();
    std::string out;
    for (size_t i = n; i > 0; i = from[i]) out.insert(0, (from[i] > 0 ? " " : "") + run.substr(from[i], i - from[i]));
    return out;
}

}  // namespace

void addJoinedWordForms(std::vector<TitleForm>& forms, const KnownWord& known) {
    const size_t n = forms.size();
    for (size_t k = 0; k < n; ++k) {
        // A folder's name is one word: a title with spaces writes its words apart.
        if (forms[k].part || forms[k].text.find(' ') != std::string::npos) continue;
        const std::string text = forms[k].text;
        std::string split;
        bool changed = false;
        for (size_t i = 0; i < text.size();) {
            size_t j = i;
            while (j < text.size() && ((text[j] >= 'a' && text[j] <= 'z') || (text[j] >= 'A' && text[j] <= 'Z'))) ++j;
            if (j == i) {
                split.push_back(text[i++]);
                continue;
            }
            const std::string run = text.substr(i, j - i);
            // One case throughout: CamelCase is split by the units already, and a capitalised
            // word ("Metaphor") is one word.
            const bool oneCase = std::all_of(run.begin(), run.end(), [](char c) { return c >= 'a'; }) ||
                                 std::all_of(run.begin(), run.end(), [](char c) { return c <= 'Z'; });
            const std::string words = run.size() >= kMinJoinedRun && oneCase ? splitJoined(run, known) : std::string();
            changed = changed || !words.empty();
            split += words.empty() ? run : words;
            i = j;
        }
        if (changed && std::none_of(forms.begin(), forms.end(), [&](const TitleForm& f) { return f.text == split; }))
            forms.push_back(TitleForm{split, false, false, true});
    }
}

std::vector<TitleUnits> titleFormUnits(std::string_view gameName) { return titleFormUnits(cleanTitleForms(gameName)); }

std::vector<TitleUnits> titleFormUnits(const std::vector<TitleForm>& forms) {
    std::vector<TitleUnits> out;
    const auto weight = [](const TitleUnits& u) { return kLettersPerCjk * static_cast<float>(u.cjkWeight) + static_cast<float>(u.wordWeight); };
    float whole = 0.0f;  // the longest form naming the whole game: a part leaves the rest of it
    for (const TitleForm& f : forms) {
        out.push_back(titleUnits(f.text));
        if (f.edition || f.joined) out.back().outside = kEditionDropped / kUnexplained;
        if (!f.part) whole = std::max(whole, weight(out.back()));
    }
    for (size_t i = 0; i < forms.size(); ++i) {
        const float part = weight(out[i]);
        if (forms[i].part && whole > 0.0f && part < whole) out[i].outside = 1.0f - part / whole;
    }
    return out;
}

namespace {

// Key characters of a short name: fewer CJK characters than this (or Latin characters, when it
// has none) name too many games by chance.
constexpr size_t kMinShortCjk = 2;
constexpr size_t kMinShortLatin = 6;
constexpr size_t kMinAcronymWords = 2;
constexpr size_t kMaxAcronymLetters = 5;

std::u32string nameKey(std::string_view name);

bool longEnough(const std::u32string& key) {
    const auto cjk = static_cast<size_t>(std::count_if(key.begin(), key.end(), isCjkUnit));
    return cjk > 0 ? cjk >= kMinShortCjk : key.size() >= kMinShortLatin;
}

// The name before its first subtitle mark: ':' (full-width folded), " - ", '–', '—'.
std::string_view beforeSubtitle(std::string_view name) {
    size_t at = std::string_view::npos;
    for (std::string_view mark : {":", "\xef\xbc\x9a", " - ", "\xe2\x80\x93", "\xe2\x80\x94"}) at = std::min(at, name.find(mark));
    return at == std::string_view::npos ? std::string_view() : name.substr(0, at);
}

}  // namespace

namespace {

// The acronym key of a Latin name: the initials of the words before its first number, then the
// number ("Red Dead Redemption 2": "rdr2"); empty when it has none.
std::string acronymOf(std::string_view name) {
    // Most names have no number in digits or capital Roman letters: nothing to decode.
    if (std::none_of(name.begin(), name.end(), [](char c) { return (c >= '0' && c <= '9') || c == 'I' || c == 'V' || c == 'X'; }))
        return std::string();
    std::u32string t = utf8Decode(name);
    for (char32_t& c : t) c = foldChar(c);
    if (std::any_of(t.begin(), t.end(), isCjkUnit)) return std::string();
    std::string initials;
    size_t words = 0;
    uint32_t number = 0;
    for (size_t i = 0; number == 0 && i < t.size();) {
        if (!isLetter(t[i]) && !isDigit(t[i])) {
            ++i;
            continue;
        }
        size_t j = i;
        if (isDigit(t[i])) {
            for (; j < t.size() && isDigit(t[j]) && number < 1000; ++j) number = number * 10 + (t[j] - U'0');
        } else {
            std::string w;
            for (; j < t.size() && (isLetter(t[j]) || (isApostrophe(t[j]) && j + 1 < t.size() && isLetter(t[j + 1]))); ++j)
                if (isLetter(t[j])) w.push_back(static_cast<char>(t[j] | 0x20));
            const uint32_t roman = words > 0 ? romanValue(w, t[i] <= U'Z') : 0;
            if (roman > 0) number = roman;
            else initials.push_back(w.front()), ++words;
        }
        i = j;
    }
    if (number == 0 || number >= 1000 || words < kMinAcronymWords || words > kMaxAcronymLetters) return std::string();
    return initials + std::to_string(number);
}

}  // namespace

std::vector<ShortKey> entryShortKeys(std::string_view name) {
    std::vector<ShortKey> out;
    const std::u32string prefix = nameKey(beforeSubtitle(name));
    const std::string acronym = acronymOf(name);
    const bool byPrefix = longEnough(prefix);
    if (!byPrefix && acronym.empty()) return out;  // most names: nothing more to work out
    const Scan whole = scan(name);
    std::vector<uint32_t> numbers = whole.numbers;
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    const bool edition = namesEdition(name);
    const std::u32string full = nameKey(name);
    const std::string fullText = utf8Encode(full);
    if (byPrefix && prefix != full) out.push_back(ShortKey{"p" + utf8Encode(prefix), fullText, numbers, false, whole.addOn, edition});
    if (!acronym.empty()) out.push_back(ShortKey{"a" + acronym, fullText, numbers, true, whole.addOn, edition});
    return out;
}

std::vector<std::string> titleShortKeys(std::string_view cleanedTitle) {
    std::vector<std::string> out;
    const std::u32string key = nameKey(cleanedTitle);
    if (longEnough(key)) out.push_back("p" + utf8Encode(key));
    // "GTAV", "BG3", "RDR2", "FFXIV", "GTA 5": a few letters, then a number in digits or Roman.
    std::u32string t;
    for (char32_t c : utf8Decode(cleanedTitle))
        if (c != U' ') t.push_back(foldChar(c));
    size_t letters = 0;
    while (letters < t.size() && isLetter(t[letters])) ++letters;
    std::string lowerLetters;
    for (size_t i = 0; i < letters; ++i) lowerLetters.push_back(static_cast<char>(t[i] | 0x20));
    if (letters == t.size()) {
        // The longest Roman numeral ending the letters, leaving two initials at least.
        for (size_t from = kMinAcronymWords; from < letters; ++from) {
            const bool capitals = std::all_of(t.begin() + static_cast<std::ptrdiff_t>(from), t.end(), [](char32_t c) { return c <= U'Z'; });
            const uint32_t v = romanValue(lowerLetters.substr(from), capitals);
            if (v > 0 && from <= kMaxAcronymLetters) {
                out.push_back("a" + lowerLetters.substr(0, from) + std::to_string(v));
                break;
            }
        }
    } else if (letters >= kMinAcronymWords && letters <= kMaxAcronymLetters && t.size() - letters <= 2 &&
               std::all_of(t.begin() + static_cast<std::ptrdiff_t>(letters), t.end(), isDigit) && t[letters] != U'0') {
        out.push_back("a" + lowerLetters + utf8Encode(t.substr(letters)));
    }
    return out;
}

bool namesAddOn(std::string_view name) { return scan(name).addOn; }

float cleanedThreshold(int32_t simThresholdIndex) {
    // The option's 30%..90% in steps of 10 points become 50%..95% in steps of 7.5: the default
    // 70% gives 80%, where this scorer's wrong share stays low.
    return 0.5f + 0.075f * static_cast<float>(std::clamp<int32_t>(simThresholdIndex, 0, 6));
}

namespace {

// A candidate's name as compared for one title: folded, lower-case, letters, digits and CJK only.
std::u32string nameKey(std::string_view name) {
    std::u32string k;
    for (char32_t c : utf8Decode(name))
        if (const char32_t kc = nameKeyChar(c)) k.push_back(kc);
    return k;
}

}  // namespace

int32_t listingRank(std::string_view name, std::string_view nameCn, std::string_view nickname) {
    int32_t names = 1 + (!nameCn.empty() && nameCn != name) + (!nickname.empty() && nickname != name && nickname != nameCn);
    const bool addOn = namesAddOn(name) || namesAddOn(nameCn);
    return (addOn ? 0 : 4) + names;
}

char32_t nameKeyChar(char32_t c) {
    if (c < 0x80) return isDigit(c) || isLetter(c) ? c | 0x20 : 0;  // most names: ASCII alone
    c = foldChar(c);
    if (c >= U'A' && c <= U'Z') c += 32;
    return isCjkUnit(c) || isLetter(c) || isDigit(c) ? c : 0;
}

std::string nameKeyOf(std::string_view name) { return utf8Encode(nameKey(name)); }

uint32_t keyWeight(std::string_view key) {
    uint32_t w = 0;
    for (char32_t c : utf8Decode(key)) w += isCjkUnit(c) ? static_cast<uint32_t>(kLettersPerCjk) : 1u;
    return w;
}

void cutNearTies(std::vector<MatchCandidate>& c, const RankOf& rankOf) {
    if (c.size() < 2 || c[0].score - c[1].score >= kTieGap) return;
    size_t tied = 1;
    while (tied < c.size() && c[0].score - c[tied].score < kTieGap) ++tied;
    if (rankOf) {
        size_t best = 0;
        int32_t bestRank = rankOf(c[0].appid), count = 1;
        for (size_t i = 1; i < tied; ++i) {
            const int32_t r = rankOf(c[i].appid);
            if (r > bestRank) best = i, bestRank = r, count = 1;
            else if (r == bestRank) ++count;
        }
        if (count == 1 && bestRank > 0) {
            std::rotate(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(best), c.begin() + static_cast<std::ptrdiff_t>(best) + 1);
            return;
        }
    }
    const std::u32string key = nameKey(c[0].name);
    size_t newest = 0;
    for (size_t i = 1; i < c.size() && c[0].score - c[i].score < kTieGap; ++i) {
        if (nameKey(c[i].name) != key) {
            c.clear();
            return;
        }
        if (c[i].appid > c[newest].appid) newest = i;
    }
    std::rotate(c.begin(), c.begin() + static_cast<std::ptrdiff_t>(newest), c.begin() + static_cast<std::ptrdiff_t>(newest) + 1);
}
