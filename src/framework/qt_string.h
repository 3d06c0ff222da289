#pragma once
// Conversions between the system's UTF-16 CString and QString (both hold UTF-16 code units, so
// nothing is lost either way). Pure functions; any thread.
#include <QString>

#include "platform/win_types.h"

inline QString ToQString(const CString& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline CString ToCString(const QString& text) { return text.toStdU16String(); }

// Removes the mnemonic markers of a control text as a static control shows it: "&x" shows x, "&&"
// shows one '&'.
QString StripMnemonics(const QString& text);
