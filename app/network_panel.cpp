#include "app/panels.h"

void drawNetworkMatchButton(const PanelOptions&) {}
void pollNetworkMatch() {}
