#include "app/panels.h"

void drawLocalFolderButtons(const PanelOptions&) {}
