// Turning an AI answer ("name=cat1|cat2" lines) into per-row category previews restricted
// to the whitelist, and writing the previews into data.db. Both run on the frame thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "data/game.h"

struct AnalysisCounts {
    int32_t parsed = 0;     // lines holding '='
    int32_t matched = 0;    // of those, lines whose game was found (lines, not games)
    int32_t dropped = 0;    // category pieces outside the whitelist
    int32_t gameTotal = 0;  // games at analysis time
    bool invalid = false;   // no line held '='
};

struct WriteBackCounts {
    int32_t succeeded = 0;
    int32_t failed = 0;
    bool nothing = false;       // no preview to write
    bool openFail = false;      // data.db not openable or statement not preparable
    std::string error;          // why nothing was written (with openFail, or a busy database)
    DbFault fault = DbFault::None;  // the kind of that error
    std::string failReason;     // why the first failed game failed
    bool backupFail = false;    // the safety copy could not be made, so nothing was written
    std::string backupError;    // why, when backupFail
    std::string backupPath;     // the safety copy of this run, once it exists
};

// Popup text with an optional colour (colored false = the default text colour).
struct PopupLine {
    std::string text;
    bool colored = false;
    float r = 1, g = 1, b = 1, a = 1;
    bool wrapped = false;
};

// Appended to the paste message when the clipboard text did not fit into the box.
extern const char* const kPasteCutWarning;

// 粘贴AI结果: zero the whole box, then copy at most boxSize-1 bytes of text, ending on a
// character boundary. When the text was longer, the warning is left in gGenMsg/gGenOk and
// true says "生成结果##gen" must open.
bool pasteIntoPromptBox(char* box, size_t boxSize, const std::string& text);

// Replaces every entry of previews (keeping its length) from the answer text. Rows whose
// key occurs twice can only be reached through the first; a game named twice keeps the
// later line's categories.
AnalysisCounts analyzeAiAnswer(const std::string& answer, const std::vector<GameInfo>& games,
                               const std::vector<std::string>& whitelist, std::vector<std::string>& previews);
// The same on the box text (up to its first zero byte), dummyGames, gCategoryList and aiPreview.
AnalysisCounts analyzeAiAnswer(const char* box);

// 追加: the current categories then the preview's, trimmed, empty pieces and exact repeats left out.
std::string mergeCategories(const std::string& current, const std::string& preview);

// writeMode 0 覆盖 (the preview replaces the categories), 1 追加 (merged). Before the first
// write of the process into a database file, a copy of it is kept as <file>.bak; when
// that copy fails nothing is written. Written rows get their new category and an empty
// preview; failed rows keep both.
WriteBackCounts writeBackPreviews(int32_t writeMode, std::vector<GameInfo>& games,
                                  std::vector<std::string>& previews, const std::string& dbPath);
// The same on dummyGames, aiPreview and <exe dir>/data.db.
WriteBackCounts writeBackPreviews(int32_t writeMode);

// Makes the process forget which databases were already copied (tests).
void forgetDatabaseBackups();

// Content of the popups "分析结果##analyze" and "写入结果##write" (before their separator and 确定).
std::vector<PopupLine> analysisPopupLines(const AnalysisCounts& c);
std::vector<PopupLine> writePopupLines(const WriteBackCounts& c);
