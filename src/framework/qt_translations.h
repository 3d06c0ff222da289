#pragma once
// Qt's own texts (message-box buttons, the file dialog, the edit controls' context menu) in the
// language of the current resource module: Qt's translation of qtbase for that language, as the
// system installs it under QLibraryInfo::TranslationsPath. UI thread only, once a QApplication exists.
#include <string>

// Installs qtbase_<language>.qm from Qt's translations folder, replacing one installed before; "en",
// an empty tag or a tag that is not lower-case letters and digits removes it. True when a
// translation is installed afterwards; a missing or unreadable file leaves Qt's English, silently.
bool AfxLoadQtTranslations(const std::string& language);

// The same for the language the current resource module names.
bool AfxLoadQtTranslationsForModule();
