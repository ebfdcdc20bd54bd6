// Cleaning and folding of the titles real menus hold: "原子之心 v1.0-v1.14.4.0 二十九项修改器",
// "《战斗位置：太平洋》汉化", "三國志13 威力加強版". Pure functions, UTF-8 in and out.
#pragma once
#include "data/utf8.h"  // utf8Decode, utf8Encode
#include <string>
#include <string_view>
#include <vector>

// One character folded for comparison: traditional -> simplified (table generated from OpenCC),
// full-width ASCII -> ASCII, the ideographic space -> space. Everything else is returned as is.
char32_t foldChar(char32_t c);
std::string foldTitle(std::string_view title);
// Whether a character is a CJK unit of a name: an ideograph, a kana or a hangul syllable.
bool isCjkUnit(char32_t c);
// Whether a CJK unit is a kana or a hangul syllable rather than a Chinese character.
bool isKanaOrHangul(char32_t c);
// The letters and digits of names in Latin script: ASCII only (a title is folded first).
inline bool isLetter(char32_t c) { return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z'); }
inline bool isDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

// A cleaned form of a title. part: the text of a bracket inside the title, which leaves the rest
// of the title unexplained; edition: the title without its edition words ("重制版", "HD"),
// as a remaster is often listed under the base game's entry; the other forms name the whole game.
struct TitleForm {
    std::string text;
    bool part = false;
    bool edition = false;
    bool joined = false;  // letters run together, split into known words (addJoinedWordForms)
};

// The title without its noise (version strings, trainer, patch and release words, group tags,
// ™ ® ©, trailing bracketed notes), in the title's own script. The first form is the whole
// title cleaned; the names on either side of a '/' and the text inside 《》「」【】 follow as
// alternative titles, as does the whole title without its edition words. Never empty: a title
// that is all noise gives itself, trimmed.
std::vector<TitleForm> cleanTitleForms(std::string_view title);

// Whether a name holds an edition word ("重置版", "HD", "Remastered"): a remaster or a bundle of a
// game listed beside it.
bool namesEdition(std::string_view name);
// The name without its edition words ("Skyrim Special Edition" -> "Skyrim"), or empty
// when it holds none: the base game a remaster or a bundle is listed beside.
std::string editionBase(std::string_view name);

// Whether a title breaks off inside a title bracket ("《未上锁的房间"): the name it held may have
// lost its end, so it cannot name one listing for sure.
bool cutInsideBracket(std::string_view title);
