#include "app/panels.h"

void drawAiPanel() {}
void pollAi() {}
