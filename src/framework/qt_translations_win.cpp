// The Win32 backend has no Qt: message boxes and the file dialog are the system's own, in the system's
// language, so there is nothing to install.
#include "framework/qt_translations.h"

bool AfxLoadQtTranslations(const std::string&) { return false; }

bool AfxLoadQtTranslationsForModule() { return false; }
