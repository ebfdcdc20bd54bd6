#include "app/panels.h"

void drawDownloadButton(const PanelOptions&) {}
void pollDownload() {}
