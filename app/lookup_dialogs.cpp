#include "app/panels.h"

void drawLookupDialogs() {}
void pollLookup() {}
