// compareEnglish on any two byte strings: a score in [0, 1], symmetric,
// bit-identical with precomputed keys and never above its bound.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "fuzz/match_check.h"
#include "match/compare.h"

using fuzzcheck::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider fdp(data, size);
    const std::string a = fdp.ConsumeRandomLengthString(1024);
    const std::string b = fdp.ConsumeRemainingBytesAsString();

    const float s = compareEnglish(a, b);
    fuzzcheck::checkScore(s);
    check(fuzzcheck::sameBits(s, compareEnglish(b, a)));
    const std::string ka = englishKey(a);
    const std::string kb = englishKey(b);
    check(fuzzcheck::sameBits(compareEnglishKeys(ka, kb), s));
    check(compareEnglishBound(ka, kb) >= s);
    check(compareEnglish(a, a) == (ka.empty() ? 0.0f : 1.0f));
    for (char c : ka) check((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'));
    return 0;
}
