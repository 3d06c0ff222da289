#pragma once
// How the controls of a dialog that can be resized (template style "thickframe") follow its size: each
// control's template styles say which of its edges move with the dialog's right and bottom edges
// ("moveright", "movedown": the control moves; "growright", "growdown": it grows). Controls without them
// keep their place. The dialog never gets smaller than its template. Pure functions; any thread.
#include <string>
#include <vector>

struct AnchoredRect {
    int x = 0, y = 0, cx = 0, cy = 0;  // pixels
};

// Where a control placed at `original` (for the template's size) goes when the dialog is `dx` and `dy`
// pixels larger than that.
AnchoredRect AnchorRect(const AnchoredRect& original, const std::vector<std::string>& styles, int dx, int dy);

// Whether the template's controls follow the dialog's size at all.
bool IsResizable(const std::vector<std::string>& dialogStyles);
