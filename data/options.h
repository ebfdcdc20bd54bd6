// The left panel's match mode and job options. The frame owns one instance for the
// window's life (nothing is saved between runs); jobs get copies of it when they start.
#pragma once
#include <cstdint>

struct PanelOptions {
    int32_t matchMode = 0;         // 0 network, 1 local
    int32_t dataSource = 0;        // index into {"Steam"}
    char localDir[512] = {0};
    bool matchImages = true;
    bool imgTypeJpg = true, imgTypePng = true, imgTypeBmp = true;
    bool imgTypeWebp = true, imgTypeAvif = true, imgTypeGif = true;
    int32_t imageLimitIndex = 0;   // 0 = 不限, n = at most n images
    int32_t existingResourceMode = 0;  // 0 忽略, 1 覆盖
    int32_t existingMatchMode = 0;     // 0 忽略, 1 覆盖
    int32_t simThresholdIndex = 4;     // 0..6 = 30%..90% (matchThreshold, match/rules.h)
    bool cleanTitles = true;           // "智能清洗标题": match on cleaned, folded titles
};
