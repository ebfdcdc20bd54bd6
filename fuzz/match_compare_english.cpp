// compareEnglish on any two byte strings: a score in [0, 1], symmetric,
// bit-identical with precomputed keys.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>

#include "fuzz/check.h"
#include "match/compare.h"

using fuzzcheck::check;

namespace {

// The plain cubic scan over the two keys, as the comparison is defined.
float referenceEnglish(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return 0.0f;
    const std::string ka = englishKey(a);
    const std::string kb = englishKey(b);
    if (ka.empty() || kb.empty()) return 0.0f;
    if (ka == kb) return 1.0f;
    size_t best = 0;
    for (size_t i = 0; i < ka.size(); ++i)
        for (size_t j = 0; j < kb.size(); ++j) {
            size_t k = 0;
            while (i + k < ka.size() && j + k < kb.size() && ka[i + k] == kb[j + k]) ++k;
            if (k > best) best = k;
        }
    return static_cast<float>(best) / static_cast<float>(std::max(ka.size(), kb.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider fdp(data, size);
    const std::string a = fdp.ConsumeRandomLengthString(1024);
    const std::string b = fdp.ConsumeRemainingBytesAsString();

    const float s = compareEnglish(a, b);
    fuzzcheck::checkScore(s);
    check(fuzzcheck::sameBits(s, compareEnglish(b, a)));
    if (a.size() <= 256 && b.size() <= 256) check(fuzzcheck::sameBits(s, referenceEnglish(a, b)));
    const std::string ka = englishKey(a);
    const std::string kb = englishKey(b);
    check(fuzzcheck::sameBits(compareEnglishKeys(ka, kb), s));
    for (char c : ka) check((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'));
    return 0;
}
