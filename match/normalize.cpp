#include "match/normalize.h"

#include <cstdint>

#include "match/text.h"

namespace {

// A three-byte UTF-8 character packed into one integer for table look-ups.
constexpr uint32_t pack3(const char* s) {
    return (static_cast<uint32_t>(static_cast<unsigned char>(s[0])) << 16) |
           (static_cast<uint32_t>(static_cast<unsigned char>(s[1])) << 8) |
           static_cast<uint32_t>(static_cast<unsigned char>(s[2]));
}

uint32_t pack3At(std::string_view s, size_t i) { return pack3(s.data() + i); }

bool isCont(unsigned char b) { return (b & 0xC0) == 0x80; }

struct Numeral {
    uint32_t ch;
    int parse;  // value in the number parser's digit table, -1 when absent
    int dd;     // per-character fallback value; 10 for the two tens
    bool ten;
};

// The 22-character numeral set with both digit tables folded in.
constexpr Numeral kNumerals[] = {
    {pack3("一"), 1, 1, false},  {pack3("二"), 2, 2, false},  {pack3("三"), 3, 3, false},
    {pack3("四"), 4, 4, false},  {pack3("五"), 5, 5, false},  {pack3("六"), 6, 6, false},
    {pack3("七"), 7, 7, false},  {pack3("八"), 8, 8, false},  {pack3("九"), 9, 9, false},
    {pack3("十"), -1, 10, true}, {pack3("零"), 0, 0, false},  {pack3("〇"), -1, 0, false},
    {pack3("壹"), -1, 1, false}, {pack3("贰"), -1, 2, false}, {pack3("叁"), -1, 3, false},
    {pack3("肆"), -1, 4, false}, {pack3("伍"), -1, 5, false}, {pack3("陆"), -1, 6, false},
    {pack3("柒"), -1, 7, false}, {pack3("捌"), -1, 8, false}, {pack3("玖"), -1, 9, false},
    {pack3("拾"), -1, 10, true},
};

// One bit per value of the low six bits of a numeral's last byte: most other
// characters fail this test and skip the table scan.
constexpr uint64_t numeralTailMask() {
    uint64_t m = 0;
    for (const Numeral& n : kNumerals) m |= uint64_t{1} << (n.ch & 0x3F);
    return m;
}
constexpr uint64_t kNumeralTailMask = numeralTailMask();

const Numeral* findNumeral(uint32_t packed) {
    if (!((kNumeralTailMask >> (packed & 0x3F)) & 1)) return nullptr;
    for (const Numeral& n : kNumerals)
        if (n.ch == packed) return &n;
    return nullptr;
}

const char* mapValue(uint32_t packed) {
    struct Entry {
        uint32_t key;
        const char* value;
    };
    static constexpr Entry MAP[] = {
        {pack3("Ⅰ"), "1"}, {pack3("Ⅱ"), "2"}, {pack3("Ⅲ"), "3"}, {pack3("Ⅳ"), "4"},
        {pack3("Ⅴ"), "5"}, {pack3("Ⅵ"), "6"}, {pack3("Ⅶ"), "7"}, {pack3("Ⅷ"), "8"},
        {pack3("Ⅸ"), "9"}, {pack3("Ⅹ"), "10"},
    };
    if ((packed >> 8) != 0xE285) return nullptr;  // all of U+2160..U+2169 start E2 85
    for (const Entry& e : MAP)
        if (e.key == packed) return e.value;
    return nullptr;
}

// 1..99 from up to three numerals, -1 when the run is not an accepted form.
int parseRun(const Numeral* const* run, size_t count) {
    const auto digit = [](const Numeral* n, int lo) {
        return n && !n->ten && n->parse >= lo ? n->parse : -1;
    };
    const auto isTen = [](const Numeral* n) { return n && n->ten; };
    if (count == 1) {
        if (isTen(run[0])) return 10;
        return digit(run[0], 0);
    }
    if (count == 2) {
        if (isTen(run[0]) && digit(run[1], 1) >= 1) return 10 + digit(run[1], 1);
        if (isTen(run[1]) && digit(run[0], 2) >= 2) return digit(run[0], 2) * 10;
        return -1;
    }
    if (count == 3) {
        if (!isTen(run[1])) return -1;
        const int hi = digit(run[0], 2);
        const int lo = digit(run[2], 1);
        return hi >= 2 && lo >= 1 ? hi * 10 + lo : -1;
    }
    return -1;
}

void appendNumber(std::string& out, int v) {
    if (v >= 10) out.push_back(static_cast<char>('0' + v / 10));
    out.push_back(static_cast<char>('0' + v % 10));
}

// Converts the numeral run starting at i and returns the position after it.
size_t appendNumeralRun(std::string_view in, size_t i, std::string& out) {
    const Numeral* head[3] = {nullptr, nullptr, nullptr};
    size_t count = 0;
    size_t j = i;
    while (j + 3 <= in.size()) {
        const Numeral* n = findNumeral(pack3At(in, j));
        if (!n) break;
        if (count < 3) head[count] = n;
        ++count;
        j += 3;
    }
    const int v = count <= 3 ? parseRun(head, count) : -1;
    if (v >= 0) {
        appendNumber(out, v);
        return j;
    }
    // Not a number: every character on its own (一十五 -> 1105).
    for (size_t k = i; k < j; k += 3) appendNumber(out, findNumeral(pack3At(in, k))->dd);
    return j;
}

// Full-width digits and letters fold to ASCII, CJK/kana/hangul are copied,
// the rest (and any malformed sequence) is dropped.
void appendOther(std::string_view in, size_t i, size_t len, std::string& out) {
    if (len != 3) return;  // two-byte characters, stray bytes, and no kept block is four-byte
    const auto b0 = static_cast<unsigned char>(in[i]);
    const auto b1 = static_cast<unsigned char>(in[i + 1]);
    const auto b2 = static_cast<unsigned char>(in[i + 2]);
    if (!isCont(b1) || !isCont(b2)) return;
    const uint32_t cp = ((b0 & 0x0Fu) << 12) | ((b1 & 0x3Fu) << 6) | (b2 & 0x3Fu);
    if (cp >= 0xFF10 && cp <= 0xFF19) {
        out.push_back(static_cast<char>('0' + (cp - 0xFF10)));
    } else if (cp >= 0xFF21 && cp <= 0xFF3A) {
        out.push_back(static_cast<char>('a' + (cp - 0xFF21)));
    } else if (cp >= 0xFF41 && cp <= 0xFF5A) {
        out.push_back(static_cast<char>('a' + (cp - 0xFF41)));
    } else if ((cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
               (cp >= 0x3040 && cp <= 0x30FF) || (cp >= 0xAC00 && cp <= 0xD7AF)) {
        out.append(in.data() + i, 3);
    }
}

// The last byte first: it rules out almost every table entry without a memcmp.
bool endsWith(const std::string& s, std::string_view tail) {
    return s.size() >= tail.size() && !tail.empty() && s.back() == tail.back() &&
           std::string_view(s).substr(s.size() - tail.size()) == tail;
}

void cutSuffixes(std::string& out) {
    static constexpr std::string_view SUFFIX[] = {
        "数字豪华版", "豪华典藏版", "周年纪念版", "hd重制版", "高清重制版", "豪华版",
        "典藏版",     "限定版",     "收藏版",     "增强版",   "完整版",     "年度版",
        "黄金版",     "白金版",     "白银版",     "特别版",   "数字版",     "精装版",
        "银河版",     "中文版",     "英文版",     "重制版",   "终极版",     "高清版",
    };
    bool cut = true;
    while (cut) {
        cut = false;
        for (std::string_view s : SUFFIX) {
            if (endsWith(out, s)) {
                out.resize(out.size() - s.size());
                cut = true;
                break;
            }
        }
    }
}

void replaceRomanTail(std::string& out) {
    struct Entry {
        std::string_view key;
        std::string_view value;
    };
    static constexpr Entry ROMAN[] = {
        {"xii", "12"}, {"xi", "11"}, {"viii", "8"}, {"vii", "7"}, {"iii", "3"},
        {"ix", "9"},   {"iv", "4"},  {"vi", "6"},   {"ii", "2"},
    };
    for (const Entry& e : ROMAN) {
        if (!endsWith(out, e.key)) continue;
        const size_t at = out.size() - e.key.size();
        if (at == 0 || static_cast<unsigned char>(out[at - 1]) < 0x80) return;
        out.replace(at, e.key.size(), e.value);
        return;
    }
}

}  // namespace

bool isCjkDigitChar(std::string_view ch) {
    return ch.size() == 3 && findNumeral(pack3At(ch, 0)) != nullptr;
}

std::string parseCjkNum1To99(const std::vector<std::string>& run) {
    if (run.empty() || run.size() > 3) return std::string();
    const Numeral* head[3] = {nullptr, nullptr, nullptr};
    for (size_t k = 0; k < run.size(); ++k)
        head[k] = run[k].size() == 3 ? findNumeral(pack3At(run[k], 0)) : nullptr;
    const int v = parseRun(head, run.size());
    std::string out;
    if (v >= 0) appendNumber(out, v);
    return out;
}

void normalizeForMatchInto(std::string_view in, std::string& out) {
    out.clear();
    out.reserve(in.size());
    const size_t n = in.size();
    size_t i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(in[i]);
        if (c < 0x80) {
            if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
                out.push_back(static_cast<char>(c));
            else if (c >= 'A' && c <= 'Z')
                out.push_back(static_cast<char>(c - 'A' + 'a'));
            ++i;
            continue;
        }
        const size_t len = utf8SeqLen(c);
        if (len > n - i) break;
        if (len == 3) {
            const uint32_t packed = pack3At(in, i);
            if (const char* v = mapValue(packed)) {
                out += v;
                i += 3;
                continue;
            }
            if (findNumeral(packed)) {
                i = appendNumeralRun(in, i, out);
                continue;
            }
        }
        appendOther(in, i, len, out);
        i += len;
    }
    cutSuffixes(out);
    replaceRomanTail(out);
}

std::string normalizeForMatch(std::string_view title) {
    std::string out;
    normalizeForMatchInto(title, out);
    return out;
}

std::string normalizeGameName(std::string_view title) {
    static constexpr uint32_t BRACKETS[] = {
        pack3("《"), pack3("》"), pack3("【"), pack3("】"),
        pack3("「"), pack3("」"), pack3("（"), pack3("）"),
    };
    std::string out;
    out.reserve(title.size());
    const size_t n = title.size();
    size_t i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(title[i]);
        if (c < 0x80) {
            if (c >= 'A' && c <= 'Z')
                out.push_back(static_cast<char>(c - 'A' + 'a'));
            else if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
                out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        const size_t len = utf8SeqLen(c);
        if (len > n - i) break;
        bool bracket = false;
        if (len == 3) {
            const uint32_t packed = pack3At(title, i);
            for (uint32_t b : BRACKETS) bracket = bracket || b == packed;
        }
        if (!bracket) out.append(title.data() + i, len);
        i += len;
    }
    return out;
}
