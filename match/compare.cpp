#include "match/compare.h"

#include <algorithm>
#include <cstring>

#include "match/text.h"

namespace {

bool isAsciiLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isRomanLetter(unsigned char c) {
    return c == 'I' || c == 'V' || c == 'X' || c == 'i' || c == 'v' || c == 'x';
}

// Keys of up to kLocal characters stay on the stack; longer ones spill.
struct CharBuf {
    static constexpr size_t kLocal = 96;
    uint32_t local[kLocal];
    std::vector<uint32_t> heap;
    size_t n = 0;

    void push(uint32_t v) {
        if (n < kLocal && heap.empty()) {
            local[n++] = v;
            return;
        }
        if (heap.empty()) heap.assign(local, local + n);
        heap.push_back(v);
        ++n;
    }
    const uint32_t* data() const { return heap.empty() ? local : heap.data(); }
};

// Whether the title holds a Chinese ideograph, scanning as the comparison
// requires: a three- or four-byte character cut off by the end means "no".
bool holdsChinese(std::string_view t) {
    const size_t n = t.size();
    size_t i = 0;
    while (i < n) {
        const auto c = static_cast<unsigned char>(t[i]);
        const size_t len = utf8SeqLen(c);
        if (len >= 3) {
            if (len > n - i) return false;
            if (isChineseChar(c, t, i)) return true;
        }
        i += len;
    }
    return false;
}

// Walks the title's characters and emits the key's characters as
// (pointer, length) pairs; returns latinDropped.
template <class Emit>
bool walkChineseKey(std::string_view t, Emit&& emit) {
    static constexpr const char* CHINESE_DIGITS[10] = {"零", "一", "二", "三", "四",
                                                       "五", "六", "七", "八", "九"};
    struct Roman {
        std::string_view numeral;
        std::string_view chinese;
    };
    static constexpr Roman ROMAN[] = {
        {"XX", "二十"},   {"XIX", "十九"}, {"XVIII", "十八"}, {"XVII", "十七"}, {"XVI", "十六"},
        {"XV", "十五"},   {"XIV", "十四"}, {"XIII", "十三"},  {"XII", "十二"},  {"XI", "十一"},
        {"X", "十"},      {"IX", "九"},    {"VIII", "八"},    {"VII", "七"},    {"VI", "六"},
        {"V", "五"},      {"IV", "四"},    {"III", "三"},     {"II", "二"},     {"I", "一"},
    };
    const auto emitDigit = [&](int d) { emit(CHINESE_DIGITS[d], size_t{3}); };
    const size_t n = t.size();
    // Length of the character at i, 0 when it is cut off by the end (the
    // character list ends before it).
    const auto charAt = [&](size_t i) -> size_t {
        const size_t len = utf8SeqLen(static_cast<unsigned char>(t[i]));
        return len <= n - i ? len : 0;
    };

    bool dropped = false;
    bool prevLetter = false;
    size_t i = 0;
    while (i < n) {
        const size_t len = charAt(i);
        if (len == 0) break;
        const auto c = static_cast<unsigned char>(t[i]);
        if (c >= 0x80) {
            const auto b1 = len == 3 ? static_cast<unsigned char>(t[i + 1]) : 0;
            const auto b2 = len == 3 ? static_cast<unsigned char>(t[i + 2]) : 0;
            if (len == 3 && c == 0xEF && b1 == 0xBC && b2 >= 0x90 && b2 <= 0x99)
                emitDigit(b2 - 0x90);
            else
                emit(t.data() + i, len);
            prevLetter = false;
            i += len;
            continue;
        }
        if (c >= '0' && c <= '9') {
            emitDigit(c - '0');
            prevLetter = false;
            ++i;
            continue;
        }
        if (!isAsciiLetter(c)) {
            prevLetter = false;
            ++i;
            continue;
        }
        if (prevLetter) {  // inside a Latin word
            dropped = true;
            ++i;
            continue;
        }
        size_t j = i;
        while (j < n && isRomanLetter(static_cast<unsigned char>(t[j]))) ++j;
        const size_t run = j - i;
        bool numeral = false;
        if (run > 0) {
            const size_t next = j < n ? charAt(j) : 0;
            numeral = next == 0 || next > 1 || !isAsciiLetter(static_cast<unsigned char>(t[j]));
        }
        if (numeral && run <= 5) {
            char upper[5];
            for (size_t k = 0; k < run; ++k)
                upper[k] = static_cast<char>(t[i + k] >= 'a' ? t[i + k] - 'a' + 'A' : t[i + k]);
            const std::string_view key(upper, run);
            const Roman* hit = nullptr;
            for (const Roman& r : ROMAN)
                if (r.numeral == key) hit = &r;
            if (hit) {
                for (size_t k = 0; k < hit->chinese.size(); k += 3) emit(hit->chinese.data() + k, size_t{3});
                prevLetter = true;
                i = j;
                continue;
            }
        }
        dropped = true;
        prevLetter = true;
        i = run > 0 ? j : i + 1;
    }
    return dropped;
}

// Matched share of the shorter key, lowered for one- and two-character keys, minus the
// length penalty; never below 0. Shared by the score and its bound so both round alike.
float finishChineseScore(size_t matched, size_t minLen, float penalty) {
    float ratio = static_cast<float>(matched) / static_cast<float>(minLen);
    if (minLen == 1)
        ratio -= 0.18f;
    else if (minLen == 2)
        ratio -= 0.1f;
    const float score = ratio - penalty;
    return score > 0.0f ? score : 0.0f;
}

float chineseScore(const uint32_t* a, size_t na, bool fa, const uint32_t* b, size_t nb,
                   bool fb) {
    const bool aLonger = na > nb;
    const uint32_t* longer = aLonger ? a : b;
    const uint32_t* shorter = aLonger ? b : a;
    const size_t maxLen = aLonger ? na : nb;
    const size_t minLen = aLonger ? nb : na;

    float penalty = static_cast<float>(maxLen - minLen) * 0.03f;
    if (fa || fb) penalty += 0.01f;

    size_t pos = 0;
    size_t matched = 0;
    for (size_t k = 0; k < minLen; ++k) {
        for (size_t j = pos; j < maxLen; ++j) {
            if (longer[j] == shorter[k]) {
                ++matched;
                pos = j + 1;
                break;
            }
        }
    }
    return finishChineseScore(matched, minLen, penalty);
}

size_t englishKeyInto(std::string_view t, char* out) {
    size_t n = 0;
    for (char ch : t) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 'A' && c <= 'Z')
            out[n++] = static_cast<char>(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            out[n++] = static_cast<char>(c);
    }
    return n;
}

// Length of the longest common substring, one diagonal at a time (no table).
size_t longestCommonRun(const char* a, size_t na, const char* b, size_t nb) {
    size_t best = 0;
    const auto diagonal = [&](const char* x, const char* y, size_t len) {
        size_t run = 0;
        for (size_t k = 0; k < len; ++k) {
            run = x[k] == y[k] ? run + 1 : 0;
            if (run > best) best = run;
        }
    };
    for (size_t off = 0; off < na; ++off) {
        const size_t len = std::min(na - off, nb);
        if (len <= best) break;
        diagonal(a + off, b, len);
    }
    for (size_t off = 1; off < nb; ++off) {
        const size_t len = std::min(nb - off, na);
        if (len <= best) break;
        diagonal(a, b + off, len);
    }
    return best;
}

float englishScore(const char* a, size_t na, const char* b, size_t nb) {
    if (na == 0 || nb == 0) return 0.0f;
    if (na == nb && std::memcmp(a, b, na) == 0) return 1.0f;
    const size_t common = longestCommonRun(a, na, b, nb);
    return static_cast<float>(common) / static_cast<float>(std::max(na, nb));
}

}  // namespace

std::string buildChineseKey(std::string_view title, bool& latinDropped) {
    std::string key;
    latinDropped = walkChineseKey(title, [&](const char* p, size_t len) { key.append(p, len); });
    return key;
}

float compareChinese(std::string_view a, std::string_view b) {
    if (a.empty() || b.empty()) return 0.0f;
    if (a == b) return 1.0f;
    if (!holdsChinese(a) || !holdsChinese(b)) return 0.0f;
    CharBuf ka;
    CharBuf kb;
    const bool fa = walkChineseKey(a, [&](const char* p, size_t len) { ka.push(utf8PackChar(p, len)); });
    const bool fb = walkChineseKey(b, [&](const char* p, size_t len) { kb.push(utf8PackChar(p, len)); });
    if (ka.n == 0 || kb.n == 0) return 0.0f;
    return chineseScore(ka.data(), ka.n, fa, kb.data(), kb.n, fb);
}

ChineseKey makeChineseKey(std::string_view title) {
    ChineseKey k;
    k.title.assign(title.data(), title.size());
    if (title.empty() || !holdsChinese(title)) return k;
    k.latinDropped = walkChineseKey(
        title, [&](const char* p, size_t len) { k.chars.push_back(utf8PackChar(p, len)); });
    k.comparable = !k.chars.empty();
    return k;
}

float compareChineseKeys(const ChineseKey& a, const ChineseKey& b) {
    if (a.title.empty() || b.title.empty()) return 0.0f;
    if (a.title == b.title) return 1.0f;
    if (!a.comparable || !b.comparable) return 0.0f;
    return chineseScore(a.chars.data(), a.chars.size(), a.latinDropped, b.chars.data(),
                        b.chars.size(), b.latinDropped);
}

std::string englishKey(std::string_view title) {
    std::string key(title.size(), '\0');
    key.resize(englishKeyInto(title, key.data()));
    return key;
}

float compareEnglish(std::string_view a, std::string_view b) {
    if (a.empty() || b.empty()) return 0.0f;
    constexpr size_t kLocal = 256;
    char localA[kLocal];
    char localB[kLocal];
    std::string heapA;
    std::string heapB;
    char* bufA = localA;
    char* bufB = localB;
    if (a.size() > kLocal) {
        heapA.resize(a.size());
        bufA = heapA.data();
    }
    if (b.size() > kLocal) {
        heapB.resize(b.size());
        bufB = heapB.data();
    }
    const size_t na = englishKeyInto(a, bufA);
    const size_t nb = englishKeyInto(b, bufB);
    return englishScore(bufA, na, bufB, nb);
}

float compareEnglishKeys(std::string_view keyA, std::string_view keyB) {
    return englishScore(keyA.data(), keyA.size(), keyB.data(), keyB.size());
}
