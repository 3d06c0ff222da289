#include "framework/dialog_units.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "framework/qt_string.h"

namespace {

// MulDiv: a * b / c rounded half away from zero, without intermediate overflow.
int MulDiv(int a, int b, int c) {
    if (c == 0) return 0;
    long long product = static_cast<long long>(a) * b;
    long long divisor = c;
    if (divisor < 0) {
        product = -product;
        divisor = -divisor;
    }
    const long long magnitude = ((product < 0 ? -product : product) + divisor / 2) / divisor;
    return static_cast<int>(product < 0 ? -magnitude : magnitude);
}

bool IsWindowsDialogFace(const QString& face) {
    static const char* const kFaces[] = {
        "MS Shell Dlg", "MS Shell Dlg 2", "MS Sans Serif", "Microsoft Sans Serif",
        "Tahoma",       "Segoe UI",       "System"};
    for (const char* known : kFaces) {
        if (face.compare(QLatin1String(known), Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

QString SansSerifFamily() {
    const QStringList families = QFontDatabase::families();
    for (const char* preferred : {"DejaVu Sans", "Liberation Sans", "Noto Sans", "FreeSans"}) {
        if (families.contains(QLatin1String(preferred))) return QLatin1String(preferred);
    }
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

double LogicalDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
    return dpi > 0 ? dpi : 96.0;
}

}  // namespace

QFont DialogFont(const CString& faceName, int pointSize) {
    const QString face = ToQString(faceName);
    QString family = face;
    if (face.isEmpty() || IsWindowsDialogFace(face) || !QFontDatabase::families().contains(face)) {
        family = SansSerifFamily();
    }
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    const int points = pointSize > 0 && pointSize < 72 ? pointSize : 8;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(points * LogicalDpi() / 72.0))));
    return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {std::max(1, (width / 26 + 1) / 2), std::max(1, metrics.height())};
}

int MapDialogX(const DialogBaseUnits& units, int x) { return MulDiv(x, units.cx, 4); }
int MapDialogY(const DialogBaseUnits& units, int y) { return MulDiv(y, units.cy, 8); }

QRect MapDialogRect(const DialogBaseUnits& units, int x, int y, int cx, int cy) {
    return QRect(MapDialogX(units, x), MapDialogY(units, y), MapDialogX(units, cx), MapDialogY(units, cy));
}
