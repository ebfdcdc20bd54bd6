// The game table "GameTable" at the bottom of the left panel.
#pragma once
#include "app/table_logic.h"

#include <cstdint>

// Row indices into dummyGames, -1 = none. They are not adjusted by a sort.
extern int32_t gHlRow;            // highlighted row
extern int32_t gRightDownRow;     // row on which the right button went down
extern int32_t g_lastClickedRow;  // anchor of a Shift range of tick boxes

// The header click waiting to be applied (see SortRequest).
extern SortRequest gTableSort;

// Merges download results, then draws the table filling the rest of the current region.
// Holds gMatchMtx while it sorts and draws rows.
void drawGameTable();

// Test support: row globals to -1, no pending sort, no open context menu.
void resetTableState();
