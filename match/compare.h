// Similarity of two titles, as single-precision floats from 0 to 1.
//
// compareChinese works on characters: both titles become a key in which every
// digit is a Chinese digit (4 -> 四, 15 -> 一五, full-width digits too), a
// standalone Roman numeral I..XX becomes its Chinese numeral (XV -> 十五) and
// every other Latin word is dropped (latinDropped records that). The keys are
// matched as ordered character sequences (greedy, walking the shorter key),
// minus 0.03 per character of length difference and 0.01 when a Latin word
// was dropped; keys of one or two characters lose a further 0.18 or 0.1.
// Titles without a Chinese ideograph score 0 unless byte-equal (then 1).
// Only when both keys have the same length does the argument order matter.
//
// compareEnglish keeps only ASCII letters (lower-cased) and digits of each
// title and returns the longest common substring of the two keys over the
// longer key's length; it is symmetric. Titles with empty keys score 0.
//
// Precomputed forms, for callers that compare one title against many (the
// offline matcher against the translated pool): build the key of each title
// once with makeChineseKey / englishKey and compare the keys. The results are
// bit-identical to the plain functions:
//   compareChineseKeys(makeChineseKey(a), makeChineseKey(b)) == compareChinese(a, b)
//   compareEnglishKeys(englishKey(a), englishKey(b))         == compareEnglish(a, b)
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

float compareChinese(std::string_view a, std::string_view b);
float compareEnglish(std::string_view a, std::string_view b);

// The Chinese comparison key of a title; latinDropped is set when a Latin
// word other than a Roman numeral I..XX was removed.
std::string buildChineseKey(std::string_view title, bool& latinDropped);

struct ChineseKey {
    std::string title;            // as given; byte-equal titles score 1
    bool comparable = false;      // title holds a Chinese ideograph and the key is not empty
    bool latinDropped = false;
    std::vector<uint32_t> chars;  // key characters, packed with utf8PackChar
};

ChineseKey makeChineseKey(std::string_view title);
float compareChineseKeys(const ChineseKey& a, const ChineseKey& b);

// ASCII letters lower-cased and digits of the title, in order.
std::string englishKey(std::string_view title);
float compareEnglishKeys(std::string_view keyA, std::string_view keyB);
