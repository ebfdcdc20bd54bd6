// Comparison keys of game titles.
//
// normalizeForMatch is the key on which store search results are scored: ASCII
// letters lower-cased, digits kept, full-width letters and digits folded to
// ASCII, Roman-numeral symbols (Ⅰ..Ⅹ) and Chinese numerals written as decimal
// digits, CJK ideographs, kana and hangul copied, everything else (spacing,
// punctuation, symbols, other scripts) dropped; then trailing edition words
// (豪华版, 中文版, ...) are cut, however many are stacked, and a Roman numeral
// right after a CJK character becomes a number (生化危机iv -> 生化危机4).
// Its output holds only a-z, 0-9 and well-formed three-byte UTF-8 characters
// of those blocks; a malformed sequence is dropped rather than copied.
//
// normalizeGameName is the light key used to find a game by the name an AI
// answer quotes: spacing and the brackets 《》【】「」（） removed, ASCII
// letters lower-cased, everything else copied.
#pragma once
#include <string>
#include <string_view>
#include <vector>

std::string normalizeForMatch(std::string_view title);
// Same key written into out (cleared first), so a caller can reuse its buffer.
void normalizeForMatchInto(std::string_view title, std::string& out);

std::string normalizeGameName(std::string_view title);

// One of the 22 Chinese numeral characters 一..十 零 〇 壹..玖 拾.
bool isCjkDigitChar(std::string_view ch);

// Value of a run of numeral characters (one character each) as a decimal
// string, for the forms 一..九/零, 十, 十五, 五十, 二十三; empty for anything else
// (一十五, 十十, four or more characters, 〇 and the formal digits).
std::string parseCjkNum1To99(const std::vector<std::string>& run);
