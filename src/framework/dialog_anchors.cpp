#include "framework/dialog_anchors.h"

#include <algorithm>

namespace {
bool Has(const std::vector<std::string>& styles, const char* style) {
    return std::find(styles.begin(), styles.end(), style) != styles.end();
}
}  // namespace

AnchoredRect AnchorRect(const AnchoredRect& original, const std::vector<std::string>& styles, int dx,
                        int dy) {
    dx = std::max(dx, 0);
    dy = std::max(dy, 0);
    AnchoredRect r = original;
    if (Has(styles, "moveright")) r.x += dx;
    if (Has(styles, "movedown")) r.y += dy;
    if (Has(styles, "growright")) r.cx += dx;
    if (Has(styles, "growdown")) r.cy += dy;
    return r;
}

bool IsResizable(const std::vector<std::string>& dialogStyles) { return Has(dialogStyles, "thickframe"); }
