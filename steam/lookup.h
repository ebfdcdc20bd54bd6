// Manual lookups of one game: by a name the user may edit, or by a store appid. Opened
// from the game table's context menu; each runs its request on gDlgThread and writes its
// candidates into the target row with the method "手动查询".
//
// gDlgThread is kept joinable and joined when the result is collected (the thread has
// finished by then) or at shutdown, so it can never write into a list that is gone.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "data/game.h"

// Set by the table's context menu, read by the dialogs (frame thread only).
extern int32_t gDlgTargetRow;          // row the result goes to, -1 = none
extern bool gOpenDlgQueryByName;       // one-shot requests to open the popups
extern bool gOpenDlgQueryByAppid;
extern char gDlgInputName[256];        // search text, UTF-8
extern char gDlgInputAppid[64];        // appid as typed
// gDlgCancel (data/jobs.h) is raised at shutdown: a running lookup gives up its request at once.

// Under gMatchMtx: installs the candidates into the row (an out-of-range row is left alone).
void applyCandidatesToRow(int32_t row, std::vector<MatchCandidate> cands);

// The title of an app details answer without the full reader: the first "name" at or
// after the first "data" (else from the start); only \" \/ \\ \n \t are decoded, every other
// escape (\u included) is kept as written. Empty when there is none.
std::string extractAppDetailsTitle(const std::string& body);

// The appid field read with atoi rules (leading blanks, sign, digits); 0 when there are
// no digits or the number does not fit.
int32_t parseAppidInput(const char* text);

// Thread bodies; each writes gDlgStatus and then raises gDlgDone.
void lookupByNameWork(std::string text, int32_t row);
void lookupByAppidWork(int32_t appid, int32_t row, std::string gameName);

// "确定" of "输入游戏名查询##dqn": starts the by-name lookup for gDlgInputName and
// gDlgTargetRow; an empty text or a negative row does nothing. True when started.
bool confirmLookupByName();
// "确定" of "输入Steam游戏编号查询##dqa": validates gDlgInputAppid ("请输入有效的 appid
// (正整数)" otherwise) and starts the by-appid lookup. True when started.
bool confirmLookupByAppid();
// "取消" of either dialog: empties the status.
void cancelLookupDialog();
// Frame, every frame: when a lookup has finished, joins it, clears the flags and the
// status. True when it collected one (the open dialog then closes).
bool collectLookup();

// gDlgStatus, copied under gDlgMtx.
std::string dlgStatusCopy();
void setDlgStatus(const std::string& text);
