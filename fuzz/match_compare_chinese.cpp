// compareChinese on any two byte strings: bit-identical with the comparison as defined and
// with precomputed keys.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz/check.h"
#include "match/compare.h"
#include "match/text.h"

using fuzzcheck::check;

namespace {

bool holdsChineseRef(const std::string& t) {
    for (size_t i = 0; i < t.size();) {
        const auto c = static_cast<unsigned char>(t[i]);
        const size_t len = utf8SeqLen(c);
        if (len >= 3 && len > t.size() - i) return false;
        if (isChineseChar(c, t, i)) return true;
        i += len;
    }
    return false;
}

// The comparison as defined, on the key strings and their character lists.
float referenceChinese(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return 0.0f;
    if (a == b) return 1.0f;
    if (!holdsChineseRef(a) || !holdsChineseRef(b)) return 0.0f;
    bool fa = false, fb = false;
    const std::string ka = buildChineseKey(a, fa);
    const std::string kb = buildChineseKey(b, fb);
    if (ka.empty() || kb.empty()) return 0.0f;
    const auto A = tokenizeUtf8(ka);
    const auto B = tokenizeUtf8(kb);
    const auto& longer = A.size() > B.size() ? A : B;
    const auto& shorter = A.size() > B.size() ? B : A;
    const size_t minLen = shorter.size(), maxLen = longer.size();
    float penalty = static_cast<float>(maxLen - minLen) * 0.03f;
    if (fa || fb) penalty += 0.01f;
    size_t pos = 0, matched = 0;
    for (const std::string& s : shorter) {
        for (size_t j = pos; j < maxLen; ++j)
            if (longer[j] == s) {
                ++matched;
                pos = j + 1;
                break;
            }
    }
    float ratio = static_cast<float>(matched) / static_cast<float>(minLen);
    if (minLen == 1) ratio -= 0.18f;
    else if (minLen == 2) ratio -= 0.1f;
    return ratio - penalty > 0.0f ? ratio - penalty : 0.0f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider fdp(data, size);
    const std::string a = fdp.ConsumeRandomLengthString(512);
    const std::string b = fdp.ConsumeRemainingBytesAsString();

    const float s = compareChinese(a, b);
    fuzzcheck::checkScore(s);
    check(fuzzcheck::sameBits(s, referenceChinese(a, b)));
    const ChineseKey ka = makeChineseKey(a);
    const ChineseKey kb = makeChineseKey(b);
    check(fuzzcheck::sameBits(compareChineseKeys(ka, kb), s));

    return 0;
}
