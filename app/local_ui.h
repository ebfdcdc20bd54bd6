// Window-side pieces of local matching that the left panel draws besides the panels.h API.
#pragma once

// The summary popup of the local library match, opened when the job ends (both modes).
void drawLibraryMatchSummary();
