#include "match/clean.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "data/utf8.h"
#include "match/text.h"

namespace {

struct FoldPair {
    uint32_t from, to;
};

constexpr FoldPair kTraditionalToSimplified[] = {
#include "fold_table.inc"
};

// Release words, trainer and patch words, as download sites and trainer catalogues append
// them to a game's name. Matched on the folded text, so traditional spellings count too.
constexpr std::u32string_view kNoiseWords[] = {
    U"汉化补丁", U"汉化版", U"汉化组", U"汉化", U"免安装版", U"免安装", U"绿色版", U"注册机", U"简体中文版",
    U"繁体中文版", U"简体中文", U"繁体中文", U"官方中文版", U"官方中文", U"中文版", U"正式版", U"硬盘版",
    U"破解版", U"破解补丁", U"免cd补丁", U"补丁", U"学习版", U"修改器", U"更新", U"64位", U"32位", U"steam版",
};

// Marks of free text about a patch, its makers or a forum post, as patch descriptions follow a
// game's name with them: "《古墓丽影8：地下世界》可用简中汉化", "3DM汉化组制作《…》完整汉化".
// What follows a mark, up to the next bracketed title, is about the patch, not the game.
constexpr std::u32string_view kNoteMarks[] = {
    U"汉化", U"中文", U"简中", U"繁中", U"简体", U"繁体", U"补丁", U"修正", U"制作", U"提取", U"提供", U"分享",
    U"转载", U"文本来自", U"转自", U"作者", U"权限", U"@", U"楼", U"积分", U"论坛", U"http", U"www.",
};

// Scene and repack group tags (whole Latin words, any case), as release names carry them.
constexpr std::string_view kGroupTags[] = {
    "3dm", "ali213", "codex", "plaza", "skidrow", "reloaded", "flt", "cpy", "tenoke", "rune", "empress",
    "dodi", "fitgirl", "repack", "gog", "tkchs", "x64", "x86",
};
// Latin release words (a build number may follow): early-access, demo and patched builds carry
// them in trainer catalogues.
constexpr std::string_view kReleaseWords[] = {"early access", "earlyaccess", "build", "update", "demo"};

// Edition words: a remaster, a bundle or a re-release of a game, as stores and trainer catalogues
// name it. The game is often sold (and catalogued) under the base game's entry.
constexpr std::u32string_view kEditionWords[] = {
    U"像素复刻版", U"导演剪辑版", U"威力加强版", U"年度版", U"重制版", U"重置版", U"复刻版", U"高清版", U"终极版",
    U"完全版", U"完整版", U"决定版", U"豪华版", U"周年版", U"增强版", U"典藏版", U"黄金版", U"特别版", U"最终版",
    U"合集",
};
constexpr std::string_view kLatinEditionWords[] = {"hd", "remastered", "remake", "goty", "redux"};

// Bracket pairs. The first kTitleBrackets hold a title or a name in Chinese typography; the
// others hold notes (a translation, a date, a bit width) when they end the title.
constexpr std::array<std::pair<char32_t, char32_t>, 8> kBrackets{{
    {U'《', U'》'}, {U'「', U'」'}, {U'『', U'』'}, {U'【', U'】'},
    {U'(', U')'}, {U'（', U'）'}, {U'[', U']'}, {U'〔', U'〕'},
}};
constexpr size_t kTitleBrackets = 4;

// Code points of a title looked at; real titles are far shorter, and the bracket and word scans
// grow with the square of the length.
constexpr size_t kMaxTitleChars = 512;

char32_t lower(char32_t c) { return c >= U'A' && c <= U'Z' ? c + 32 : c; }
bool isCjkNumeral(char32_t c) { return std::u32string_view(U"零一二两三四五六七八九十百").find(c) != std::u32string_view::npos; }
bool isSpaceOrPunct(char32_t c) {
    return c == U' ' || c == U'\t' || std::u32string_view(U"-_:：·・/|~～,，.。!！?？、&+").find(c) != std::u32string_view::npos;
}

// A title as parallel original and folded code points; edits keep the two aligned.
struct Text {
    std::u32string raw, folded;

    void erase(size_t pos, size_t len) {
        raw.erase(pos, len);
        folded.erase(pos, len);
    }
    // Replaces [pos, pos+len) with one space, so the words around it stay apart.
    void blank(size_t pos, size_t len) {
        erase(pos, len);
        raw.insert(pos, 1, U' ');
        folded.insert(pos, 1, U' ');
    }
};

// Latin word boundaries on the folded text.
bool wordStart(const std::u32string& f, size_t i) { return i == 0 || !(isLetter(f[i - 1]) || isDigit(f[i - 1])); }
bool wordEnd(const std::u32string& f, size_t i) { return i >= f.size() || !(isLetter(f[i]) || isDigit(f[i])); }

// "v1.0-v1.14.4.0", "v.22997", "V20201118", "Ver1.0.1", "1.0.2", "2018.09.09", "494439": a v
// (or ver) followed by a digit (or ".digit"), digits with at least one dot, or a long digit run;
// ranges joined by '-' go with them.
size_t versionLength(const std::u32string& f, size_t i) {
    size_t j = i;
    if (lower(f[j]) == U'v') {
        if (!wordStart(f, i)) return 0;
        ++j;
        if (j + 1 < f.size() && lower(f[j]) == U'e' && lower(f[j + 1]) == U'r') j += 2;  // "Ver1.0.1"
        if (j < f.size() && f[j] == U'.') ++j;
        if (j >= f.size() || !isDigit(f[j])) return 0;
    } else if (isLetter(f[j]) && wordStart(f, i) && j + 1 < f.size() && isDigit(f[j + 1])) {
        // "b13287" (a build), "S05.06" (a season patch): one letter, then a long or dotted number.
        size_t k = j + 1;
        while (k < f.size() && isDigit(f[k])) ++k;
        const bool dotted = k + 1 < f.size() && f[k] == U'.' && isDigit(f[k + 1]);
        if (!dotted && (k - j - 1 < 4 || !wordEnd(f, k))) return 0;
        j = k;
    } else {
        if (!isDigit(f[j]) || (i > 0 && (isLetter(f[i - 1]) || isDigit(f[i - 1])))) return 0;
        size_t k = j;
        while (k < f.size() && isDigit(f[k])) ++k;
        // Five digits or more standing alone are a build number ("494439"), never a title's.
        const bool build = k - j >= 5 && (k == f.size() || !(isLetter(f[k]) || f[k] == U'.'));
        if (!build && (k + 1 >= f.size() || f[k] != U'.' || !isDigit(f[k + 1]))) return 0;
    }
    // "Sniper Elite V2", "DiRT Rally 2.0": one digit after a V, or a whole number .0, ends many
    // names; a version either has more to it or a range.
    const size_t numberFrom = isDigit(f[i]) ? i : j;
    const bool oneDigit = numberFrom + 1 >= f.size() || !isDigit(f[numberFrom + 1]);
    const bool point0 = isDigit(f[i]) && oneDigit && numberFrom + 2 < f.size() && f[numberFrom + 1] == U'.' && f[numberFrom + 2] == U'0' &&
                        wordEnd(f, numberFrom + 3) && (numberFrom + 3 >= f.size() || f[numberFrom + 3] != U'.');
    const bool bareV = lower(f[i]) == U'v' && j == i + 1 && oneDigit && wordEnd(f, numberFrom + 1) &&
                       (numberFrom + 1 >= f.size() || f[numberFrom + 1] != U'.');
    if ((bareV || point0) && !(numberFrom + 3 < f.size() && f[numberFrom + 3] == U'-') &&
        !(numberFrom + 1 < f.size() && f[numberFrom + 1] == U'-'))
        return 0;
    while (j < f.size() && (isDigit(f[j]) || isLetter(f[j]) || f[j] == U'.' || f[j] == U'_')) ++j;
    // The upper end of a range, whatever its form: "-v1.07", "-Update1", "-U6", "-1号升级档".
    if (j + 1 < f.size() && f[j] == U'-' && f[j + 1] != U' ')
        while (j < f.size() && f[j] != U' ') ++j;
    return j - i;
}

void stripVersions(Text& t) {
    for (size_t i = 0; i < t.folded.size();) {
        const size_t len = versionLength(t.folded, i);
        if (len > 0) t.blank(i, len);
        else ++i;
    }
}

// The store's name beside CJK text tells where the release came from ("steam版", "steam辐射2",
// "辐射1steam"); before a Latin word it may open a game's name ("Steam Marines"), and stays.
void blankStoreName(Text& t) {
    constexpr std::u32string_view kStore = U"steam";
    for (size_t p = 0; p + kStore.size() <= t.folded.size(); ++p) {
        bool same = p == 0 || !isLetter(t.folded[p - 1]);
        for (size_t k = 0; same && k < kStore.size(); ++k) same = lower(t.folded[p + k]) == kStore[k];
        if (!same) continue;
        size_t next = p + kStore.size(), prev = p;
        while (next < t.folded.size() && t.folded[next] == U' ') ++next;
        while (prev > 0 && t.folded[prev - 1] == U' ') --prev;
        const bool cjkAfter = next < t.folded.size() && isCjkUnit(t.folded[next]);
        // At the end, where notes cut from it left it ("上古卷轴4 Steam 汉化"): after a CJK name.
        const bool endsCjk = next == t.folded.size() && prev > 0 &&
                             (isCjkUnit(t.folded[prev - 1]) || isDigit(t.folded[prev - 1]));
        if (cjkAfter || endsCjk) t.blank(p, kStore.size());
    }
}

// Blanks every whole Latin word w (any case; with numbered, digits may follow it: "Update10").
void blankLatinWord(Text& t, std::string_view w, bool numbered) {
    for (size_t i = 0; i + w.size() <= t.folded.size(); ++i) {
        size_t to = i + w.size();
        bool same = wordStart(t.folded, i);
        for (size_t k = 0; same && k < w.size(); ++k) same = lower(t.folded[i + k]) == static_cast<char32_t>(w[k]);
        if (!same) continue;
        if (numbered) while (to < t.folded.size() && isDigit(t.folded[to])) ++to;
        if (!wordEnd(t.folded, to)) continue;
        size_t from = i;
        if (from > 0 && t.folded[from - 1] == U'@') --from;  // "@TKCHS"
        t.blank(from, to - from);
    }
}

void stripNoiseWords(Text& t) {
    for (std::u32string_view w : kNoiseWords) {
        for (size_t p; (p = t.folded.find(w)) != std::u32string::npos;) {
            size_t from = p;
            // "二十九项修改器", "+12修改器": the count before the trainer word goes with it.
            if (w == U"修改器") {
                if (from > 0 && t.folded[from - 1] == U'项') --from;
                while (from > 0 && (isCjkNumeral(t.folded[from - 1]) || isDigit(t.folded[from - 1]) ||
                                    t.folded[from - 1] == U'+'))
                    --from;
            }
            t.blank(from, p + w.size() - from);
        }
    }
    for (std::string_view w : kGroupTags) blankLatinWord(t, w, false);
    for (std::string_view w : kReleaseWords) blankLatinWord(t, w, true);
    blankStoreName(t);
}

void stripSymbols(Text& t) {
    for (size_t i = 0; i < t.folded.size();) {
        const char32_t c = t.folded[i];
        if (c == U'™' || c == U'®' || c == U'©' || c == U'℠') t.erase(i, 1);
        else ++i;
    }
}

void trim(Text& t) {
    size_t a = 0, b = t.folded.size();
    while (a < b && isSpaceOrPunct(t.folded[a])) ++a;
    while (b > a && isSpaceOrPunct(t.folded[b - 1])) --b;
    t.raw = t.raw.substr(a, b - a);
    t.folded = t.folded.substr(a, b - a);
    // Runs of spaces left by the removals become one.
    for (size_t i = 1; i < t.folded.size();) {
        if (t.folded[i] == U' ' && t.folded[i - 1] == U' ') t.erase(i, 1);
        else ++i;
    }
}

Text cleanText(Text t) {
    stripSymbols(t);
    stripVersions(t);
    stripNoiseWords(t);
    trim(t);
    return t;
}

int bracketIndex(char32_t open) {
    for (size_t k = 0; k < kBrackets.size(); ++k)
        if (kBrackets[k].first == open) return static_cast<int>(k);
    return -1;
}

// An opening or a closing bracket of any kind.
bool isBracketMark(char32_t c) {
    return std::any_of(kBrackets.begin(), kBrackets.end(), [&](const auto& b) { return b.first == c || b.second == c; });
}

// The end of the bracket group opening at i (index of its closing character), or npos.
size_t closingOf(const std::u32string& f, size_t i) {
    const int k = bracketIndex(f[i]);
    if (k < 0) return std::u32string::npos;
    int depth = 0;
    for (size_t j = i; j < f.size(); ++j) {
        if (f[j] == kBrackets[static_cast<size_t>(k)].first) ++depth;
        else if (f[j] == kBrackets[static_cast<size_t>(k)].second && --depth == 0) return j;
    }
    return std::u32string::npos;
}

// "Enchanted Edition", "Definitive Edition": the word naming an edition goes with it.
void blankNamedEdition(Text& t) {
    constexpr std::u32string_view kEdition = U"edition";
    for (size_t p = t.folded.find(kEdition); p != std::u32string::npos; p = t.folded.find(kEdition, p + 1)) {
        if (!wordStart(t.folded, p) || !wordEnd(t.folded, p + kEdition.size()) || p < 2 || t.folded[p - 1] != U' ') continue;
        size_t from = p - 1;
        while (from > 0 && isLetter(t.folded[from - 1])) --from;
        if (from == p - 1) continue;
        t.blank(from, p + kEdition.size() - from);
        p = from;
    }
}

// The edition words of a folded text blanked, the word naming an edition with them.
void blankEditionWords(Text& t) {
    for (std::u32string_view w : kEditionWords)
        for (size_t p; (p = t.folded.find(w)) != std::u32string::npos;) t.blank(p, w.size());
    for (std::string_view w : kLatinEditionWords) blankLatinWord(t, w, false);
    blankNamedEdition(t);
}

size_t firstNoteMark(const std::u32string& f, size_t from) {
    size_t at = std::u32string::npos;
    for (std::u32string_view m : kNoteMarks) at = std::min(at, f.find(m, from));
    return at;
}

// Blanks each bracket group that holds a note (a group tag, a version, a patch word) rather than
// a name: "【天邈汉化组】", "【5.2版】", "[v1.2]". A bracketed name in another script stays.
void dropNoteBrackets(Text& t) {
    for (size_t i = 0; i < t.folded.size(); ++i) {
        const size_t close = closingOf(t.folded, i);
        if (close == std::u32string::npos) continue;
        Text inner{t.raw.substr(i + 1, close - i - 1), t.folded.substr(i + 1, close - i - 1)};
        const bool note = firstNoteMark(inner.folded, 0) != std::u32string::npos;
        inner = cleanText(std::move(inner));
        if (note || inner.folded.empty() || inner.folded.size() < 2) t.blank(i, close - i + 1);
    }
}

// Letters a Latin name after a note has at least (before any CJK text or the next mark).
constexpr size_t kMinLatinName = 4;
constexpr char32_t kFirstCjk = 0x2E80;

bool isMarkAt(const std::u32string& f, size_t i) {
    return std::any_of(std::begin(kNoteMarks), std::end(kNoteMarks), [&](std::u32string_view m) { return f.compare(i, m.size(), m) == 0; });
}

// Where the note holding the mark at `at` begins: its word ("游侠LMAO汉化组", "完全汉化补丁",
// "illidan2004制作", "》无名汉化组") is the makers' name or the kind of patch, unless that word
// opens the title and so holds the game's name ("闪之轨迹3贴吧汉化").
size_t noteStart(const std::u32string& f, size_t at) {
    size_t from = at;
    while (from > 0 && f[from - 1] != U' ' && !isBracketMark(f[from - 1])) --from;
    size_t before = from;
    while (before > 0 && f[before - 1] == U' ') --before;
    return before == 0 ? at : from;
}

// Blanks each run of free text from a note to the next bracketed title, to a name in Latin
// letters after a space ("奇异人生 虎头汉化精校补丁 Life is Strange™"), or to the end. A Latin
// word a mark follows ("xxgt1992 提取", "由 MacCoy 制作", "LMAO汉化组") credits a maker, and the
// note goes on.
void cutNotes(Text& t) {
    const std::u32string& f = t.folded;
    for (size_t mark = firstNoteMark(f, 0); mark != std::u32string::npos; mark = firstNoteMark(f, mark + 1)) {
        const size_t at = noteStart(f, mark);
        size_t end = mark;
        while (end < f.size()) {
            const int k = bracketIndex(f[end]);
            if (k >= 0 && static_cast<size_t>(k) < kTitleBrackets) break;
            if (end > at && f[end - 1] == U' ' && isLetter(f[end])) {
                size_t letters = 0, j = end;
                for (; j < f.size() && f[j] < kFirstCjk && !isMarkAt(f, j); ++j) letters += isLetter(f[j]);
                while (j < f.size() && f[j] == U' ') ++j;
                const bool credit = j < f.size() && isMarkAt(f, j);
                if (letters >= kMinLatinName && !credit) break;
            }
            ++end;
        }
        t.blank(at, end - at);
        mark = at;
    }
}

// "塔獵手 ~艾爾莎的試煉~", "大家一起閱讀空氣。3 ──傳承篇──", "恋神-无用女神-": a subtitle set off by
// a pair of the same marks at the end of a title reads as a bracket there.
void bracketTrailingSubtitle(Text& t) {
    size_t end = t.folded.size();
    while (end > 0 && t.folded[end - 1] == U' ') --end;
    if (end == 0) return;
    const char32_t mark = t.folded[end - 1];
    if (mark != U'~' && mark != U'-' && mark != U'\u2500' && mark != U'\u2015') return;
    size_t close = end - 1;
    while (close > 0 && t.folded[close - 1] == mark) --close;
    const size_t innerEnd = close;
    while (close > 0 && t.folded[close - 1] != mark) --close;
    if (close == 0 || close == innerEnd) return;  // no opening mark, or nothing between
    size_t open = close - 1;
    while (open > 0 && t.folded[open - 1] == mark) --open;
    if (open == 0) return;  // the title would be all subtitle
    // A hyphen also joins Latin words ("Spider-Man-"): it sets off CJK text only.
    if (mark == U'-' && std::none_of(t.folded.begin() + static_cast<std::ptrdiff_t>(close),
                                     t.folded.begin() + static_cast<std::ptrdiff_t>(innerEnd), isCjkUnit))
        return;
    const auto set = [&](size_t from, size_t to, char32_t c) {
        t.erase(from, to - from);
        t.raw.insert(from, 1, c);
        t.folded.insert(from, 1, c);
    };
    set(innerEnd, end, U')');
    set(open, close, U'(');
}

}  // namespace

char32_t foldChar(char32_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) return c - 0xFF01 + 0x21;
    if (c == 0x3000) return U' ';
    if (c < 0x3400) return c;
    const auto* end = std::end(kTraditionalToSimplified);
    const auto* it = std::lower_bound(std::begin(kTraditionalToSimplified), end, static_cast<uint32_t>(c),
                                      [](const FoldPair& p, uint32_t v) { return p.from < v; });
    return it != end && it->from == c ? static_cast<char32_t>(it->to) : c;
}

bool isKanaOrHangul(char32_t c) { return (c >= 0x3041 && c <= 0x30FA) || (c >= 0xAC00 && c <= 0xD7AF); }

bool isCjkUnit(char32_t c) {
    return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0x20000 && c <= 0x3FFFF) || isKanaOrHangul(c);
}

std::string foldTitle(std::string_view title) {
    std::u32string s = utf8Decode(title);
    for (char32_t& c : s) c = foldChar(c);
    return utf8Encode(s);
}

namespace {

// Whether a folded, lower-case text may hold an edition word: the word scans that tell for sure
// cost far more than one look at each character, and most pool names hold none. A hint is the
// last character of a CJK edition word, or the first three letters of a Latin one.
bool mayNameEdition(const std::u32string& folded) {
    struct Hints {
        std::u32string cjkLast;
        std::vector<std::u32string> latinStart;
    };
    static const Hints hints = [] {
        Hints h;
        for (std::u32string_view w : kEditionWords)
            if (h.cjkLast.find(w.back()) == std::u32string::npos) h.cjkLast.push_back(w.back());
        std::vector<std::string_view> latin(std::begin(kLatinEditionWords), std::end(kLatinEditionWords));
        latin.push_back("edition");  // blankNamedEdition's
        for (std::string_view w : latin) h.latinStart.emplace_back(w.begin(), w.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(3, w.size())));
        return h;
    }();
    for (size_t i = 0; i < folded.size(); ++i) {
        const char32_t c = folded[i];
        if (c >= kFirstCjk ? hints.cjkLast.find(c) != std::u32string::npos
                           : std::any_of(hints.latinStart.begin(), hints.latinStart.end(),
                                         [&](const std::u32string& w) { return c == w[0] && folded.compare(i, w.size(), w) == 0; }))
            return true;
    }
    return false;
}

}  // namespace

bool namesEdition(std::string_view name) {
    Text t;
    t.raw = utf8Decode(name);
    if (t.raw.size() > kMaxTitleChars) t.raw.resize(kMaxTitleChars);
    t.folded = t.raw;
    for (char32_t& c : t.folded) c = lower(foldChar(c));
    if (!mayNameEdition(t.folded)) return false;
    for (std::u32string_view w : kEditionWords)
        if (t.folded.find(w) != std::u32string::npos) return true;
    const std::u32string before = t.folded;
    for (std::string_view w : kLatinEditionWords) blankLatinWord(t, w, false);
    return t.folded != before;
}

std::string editionBase(std::string_view name) {
    Text t;
    t.raw = utf8Decode(name);
    if (t.raw.size() > kMaxTitleChars) t.raw.resize(kMaxTitleChars);
    t.folded = t.raw;
    for (char32_t& c : t.folded) c = lower(foldChar(c));
    if (!mayNameEdition(t.folded)) return std::string();
    const std::u32string before = t.folded;
    blankEditionWords(t);
    trim(t);
    // The raw text: its capitals tell a Roman numeral ("V") from a word.
    return t.folded == before ? std::string() : utf8Encode(t.raw);
}

bool cutInsideBracket(std::string_view title) {
    const std::u32string f = utf8Decode(title);
    for (size_t i = 0; i < f.size(); ++i) {
        const int k = bracketIndex(f[i]);
        if (k < 0 || static_cast<size_t>(k) >= kTitleBrackets) continue;
        const size_t end = closingOf(f, i);
        if (end == std::u32string::npos) return true;
        i = end;
    }
    return false;
}

std::vector<TitleForm> cleanTitleForms(std::string_view title) {
    Text t;
    t.raw = utf8Decode(title);
    if (t.raw.size() > kMaxTitleChars) t.raw.resize(kMaxTitleChars);
    const std::u32string original = t.raw;
    t.folded = t.raw;
    for (char32_t& c : t.folded) c = lower(foldChar(c));
    // A title followed by notes about its patch: the brackets are its names, the rest is explained.
    const bool noted = firstNoteMark(t.folded, 0) != std::u32string::npos;
    bracketTrailingSubtitle(t);
    dropNoteBrackets(t);
    if (noted) cutNotes(t);
    t = cleanText(std::move(t));

    struct Alternative {
        Text text;
        bool part = false, edition = false;
    };
    std::vector<Alternative> alternatives;
    auto inner = [&](size_t open, size_t close) {
        Text a{t.raw.substr(open + 1, close - open - 1), t.folded.substr(open + 1, close - open - 1)};
        trim(a);
        alternatives.push_back({std::move(a), !noted, false});
    };
    // Trailing bracketed notes (a translation, a repeat, a date, a part) leave the title: tried on
    // their own they name a part of the game or another game as often as the game.
    for (;;) {
        const size_t end = t.folded.size();
        size_t open = 0;
        while (open < end && closingOf(t.folded, open) != end - 1) ++open;
        if (open == 0 || open >= end || bracketIndex(t.folded[open]) < static_cast<int>(kTitleBrackets)) break;
        // "위쳐 3: 와일드 헌트 (The Witcher 3: Wild Hunt)": the note may be the store's name, and
        // "雀魂麻將(MahjongSoul)" may be a name with its bracket.
        inner(open, end - 1);
        alternatives.back().part = true;
        Text whole = t;
        whole.blank(open, 1);
        whole.blank(end - 1, 1);
        trim(whole);
        alternatives.push_back({std::move(whole), false, false});
        t.erase(open, end - open);
        trim(t);
    }
    // Titles in 《》「」【】 are tried on their own; the main form keeps their text. In a title
    // with notes, one such title is the game's name and the notes around it are explained; two
    // or more (two names, or a name and a tag) leave each other unexplained.
    const size_t titlesFrom = alternatives.size();
    for (size_t i = 0; i < t.folded.size(); ++i) {
        const int k = bracketIndex(t.folded[i]);
        const size_t close = k < 0 ? std::u32string::npos : closingOf(t.folded, i);
        if (close != std::u32string::npos && static_cast<size_t>(k) < kTitleBrackets) inner(i, close);
    }
    if (alternatives.size() - titlesFrom > 1)
        for (size_t k = titlesFrom; k < alternatives.size(); ++k) alternatives[k].part = true;
    for (size_t i = 0; i < t.folded.size();) {
        const char32_t c = t.folded[i];
        if (isBracketMark(c))
            t.blank(i, 1);
        else
            ++i;
    }
    trim(t);

    // "寒霜朋克/冰汽时代": two names of one game, each tried on its own.
    // A slash between two Latin letters is part of one name: "Fate/EXTELLA".
    for (size_t slash = t.folded.find(U'/'); slash != std::u32string::npos; slash = t.folded.find(U'/', slash + 1)) {
        if (slash > 0 && slash + 1 < t.folded.size() && isLetter(t.folded[slash - 1]) && isLetter(t.folded[slash + 1])) continue;
        Text a{t.raw.substr(0, slash), t.folded.substr(0, slash)}, b{t.raw.substr(slash + 1), t.folded.substr(slash + 1)};
        // "WARRIORS OROCHI 4/無双OROCHI３ - Legendary Weapons Pack": the part after the dash
        // belongs to both names.
        const size_t dash = b.folded.find(U" - ");
        if (dash != std::u32string::npos && a.folded.find(U" - ") == std::u32string::npos) {
            a.raw += b.raw.substr(dash);
            a.folded += b.folded.substr(dash);
        }
        trim(a);
        trim(b);
        alternatives.push_back({std::move(a), false, false});
        alternatives.push_back({std::move(b), false, false});
    }
    Text base = t;
    blankEditionWords(base);
    trim(base);
    if (base.folded.size() != t.folded.size()) {
        // Before the parts: a part with the same text leaves more of the title unexplained.
        alternatives.insert(alternatives.begin(), {std::move(base), false, true});
    }
    std::vector<TitleForm> forms{{utf8Encode(t.raw), false}};
    if (t.folded.empty()) {
        Text plain{original, {}};
        plain.folded = plain.raw;
        trim(plain);
        forms.front().text = utf8Encode(plain.raw);
    }
    for (const Alternative& a : alternatives) {
        std::string s = utf8Encode(a.text.raw);
        if (a.text.folded.size() >= 2 && std::none_of(forms.begin(), forms.end(), [&](const TitleForm& f) { return f.text == s; }))
            forms.push_back(TitleForm{std::move(s), a.part, a.edition});
    }
    return forms;
}
