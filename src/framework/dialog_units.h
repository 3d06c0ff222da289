#pragma once
// Dialog units: template rectangles are in units of the dialog font (a quarter of the font's average
// character width horizontally, an eighth of its height vertically), so a template laid out for one
// font and language scales with the font it is shown in. UI thread (font metrics need the GUI).
#include "platform/win_types.h"

struct DialogBaseUnits {
    int cx = 0;  // average character width in pixels
    int cy = 0;  // character height in pixels
};

#ifndef _WIN32  // the Qt backend's conversions; on Win32 the dialog manager converts
#include <QFont>
#include <QRect>

// The font a template asks for. The Windows dialog fonts ("MS Shell Dlg", "MS Sans Serif" ...) do not
// exist here and are mapped to an installed sans-serif family; the size in points becomes pixels at
// the screen's logical resolution, as Windows sizes dialog fonts.
QFont DialogFont(const CString& faceName, int pointSize);

// The Windows rule: the width of the 52 Latin letters divided by 26, rounded half up after halving,
// and the font's full line height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// Converts one template rectangle (x, y, cx, cy in dialog units) to pixels, each value on its own
// with rounding to the nearest pixel, as the Windows dialog manager does.
QRect MapDialogRect(const DialogBaseUnits& units, int x, int y, int cx, int cy);
int MapDialogX(const DialogBaseUnits& units, int x);
int MapDialogY(const DialogBaseUnits& units, int y);
#endif
