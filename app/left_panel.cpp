#include "app/panels.h"

void drawModeAndOptions(PanelOptions&) {}
void drawStartButtons(PanelOptions&) {}
