#include "framework/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

#include "platform/resources/resource_module.h"

namespace {

// Owned by the Qt application (its child), so it goes with it; this only points at it.
QPointer<QTranslator>& Installed() {
    static QPointer<QTranslator> translator;
    return translator;
}

bool IsPlainTag(const std::string& language) {
    if (language.empty() || language.size() > 16) return false;
    for (char c : language) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

void RemoveInstalled() {
    if (QTranslator* old = Installed()) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }
}

}  // namespace

bool AfxLoadQtTranslations(const std::string& language) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return false;
    RemoveInstalled();
    if (!IsPlainTag(language) || language == "en") return false;
    auto* translator = new QTranslator(app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_") + QString::fromStdString(language), folder) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    Installed() = translator;
    return true;
}

bool AfxLoadQtTranslationsForModule() { return AfxLoadQtTranslations(AfxGetResourceHandle().Language()); }
