#include "app/panels.h"

void drawLibraryMatchButton(const PanelOptions&) {}
void pollLibraryMatch() {}
