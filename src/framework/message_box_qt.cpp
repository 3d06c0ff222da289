#include "framework/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "framework/message_box_request.h"
#include "framework/qt_string.h"
#include "framework/win_app.h"

namespace {

QMessageBox::Icon IconOf(UINT type) {
    switch (type & MB_ICONMASK) {
        case MB_ICONSTOP:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::Warning;
    }
}

QMessageBox::StandardButtons ButtonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MB_YESNO:
            return QMessageBox::Yes | QMessageBox::No;
        case MB_YESNOCANCEL:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        default:
            return QMessageBox::Ok;
    }
}

int ResultOf(QMessageBox::StandardButton button, UINT type) {
    switch (button) {
        case QMessageBox::Ok:
            return IDOK;
        case QMessageBox::Yes:
            return IDYES;
        case QMessageBox::No:
            return IDNO;
        case QMessageBox::Cancel:
            return IDCANCEL;
        default:
            // Closed without a button: an OK-only box reports OK, a Yes/No box No, others Cancel.
            if ((type & MB_TYPEMASK) == MB_OK) return IDOK;
            if ((type & MB_TYPEMASK) == MB_YESNO) return IDNO;
            return IDCANCEL;
    }
}

QWidget* OwnerWindow() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    CWinApp* app = AfxGetApp();
    return app != nullptr && app->m_pMainWnd != nullptr ? app->m_pMainWnd->GetSafeHwnd() : nullptr;
}

// The boxes open now, the innermost last, with where each keeps an answer given from outside it.
struct OpenBox {
    QPointer<QMessageBox> box;
    int* answered;
};
std::vector<OpenBox> g_open;

}  // namespace

void AfxCloseMessageBoxes(int result) {
    const std::vector<OpenBox> open = g_open;
    for (auto it = open.rbegin(); it != open.rend(); ++it) {
        if (!it->box) continue;
        *it->answered = result;
        it->box->done(0);
    }
}

int AfxMessageBox(const CString& text, UINT nType) {
    const MessageBoxRequest request = MessageBoxRequestFor(text, nType);
    const UINT type = request.type;

    QMessageBox box(IconOf(type), ToQString(request.caption), ToQString(text), ButtonsOf(type),
                    OwnerWindow());
    box.setWindowModality(Qt::ApplicationModal);
    int answered = 0;
    // A copy, so an answerer may replace itself while it runs.
    if (MessageBoxAnswerer answerer = CurrentMessageBoxAnswerer()) {
        QPointer<QMessageBox> guard(&box);
        QTimer::singleShot(0, &box, [&answered, answerer, guard, request] {
            const int result = answerer(request);
            if (guard) {
                answered = result;
                guard->done(0);
            }
        });
    }
    g_open.push_back({QPointer<QMessageBox>(&box), &answered});
    const int button = box.exec();
    g_open.erase(
        std::remove_if(g_open.begin(), g_open.end(), [&box](const OpenBox& o) { return o.box == &box; }),
        g_open.end());
    if (answered != 0) return answered;
    return ResultOf(static_cast<QMessageBox::StandardButton>(button), type);
}
