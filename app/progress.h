// Bottom line of the window (progress bar and status line) and the wait dialog.
#pragma once

// Merges finished download results into dummyGames (frame thread, before the table).
void mergePendingDownloadResults();
// Inside the child "ProgressBar"; width is the main window's content width.
void drawProgressArea(float width);
// Drawn after the main window while gWaitState.active is set; anim is the spinner phase.
void drawWaitDialog(float& anim, float dt);
