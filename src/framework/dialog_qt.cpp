#include "framework/dialog.h"

#include <QActionGroup>
#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "framework/command_guard.h"
#include "framework/data_exchange.h"
#include "framework/dialog_anchors.h"
#include "framework/dialog_controls.h"
#include "framework/dialog_window.h"
#include "framework/framework_text.h"
#include "framework/icon.h"
#include "framework/qt_string.h"
#include "framework/win_app.h"

namespace {

constexpr int kMaxMenuDepth = 8;

Qt::WindowFlags FlagsFor(const DialogTemplate& tmpl, bool systemMenu) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (systemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (HasStyle(tmpl.styles, "minimizebox")) flags |= Qt::WindowMinimizeButtonHint;
    return flags;
}

void FillMenu(QMenu& target, const CMenu& source, const std::function<void(UINT)>& choose, int depth) {
    if (depth > kMaxMenuDepth) return;
    // Each run of radio items shares an exclusive group: that is what makes Qt draw a radio mark
    // instead of a check box.
    QActionGroup* radioGroup = nullptr;
    for (const CMenu::Item& item : source.Items()) {
        if (item.flags != MF_STRING || !item.radio) radioGroup = nullptr;
        if (item.flags == MF_SEPARATOR) {
            target.addSeparator();
        } else if (item.flags == MF_POPUP) {
            if (item.popup == nullptr) continue;
            QMenu* sub = target.addMenu(ToQString(item.text));
            FillMenu(*sub, *item.popup, choose, depth + 1);
        } else {
            QAction* action = target.addAction(ToQString(item.text));
            action->setCheckable(item.radio || item.checked);
            if (item.radio) {
                if (radioGroup == nullptr) radioGroup = new QActionGroup(&target);
                radioGroup->addAction(action);
            }
            action->setChecked(item.checked);
            const UINT id = item.id;
            QObject::connect(action, &QAction::triggered, &target, [choose, id] { choose(id); });
        }
    }
}

// What a dialog may take of its screen: the free area (without panels and docks) less its frame.
QSize RoomOnScreen(const QWidget* owner) {
    const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    constexpr int kFrameWidth = 16;   // both borders
    constexpr int kFrameHeight = 48;  // the title bar and the lower border
    const QSize free = screen->availableGeometry().size();
    return {std::max(free.width() - kFrameWidth, 200), std::max(free.height() - kFrameHeight, 150)};
}
}  // namespace

CDialog::~CDialog() {
    DestroyDialogWindow();
    // Nothing may reach a destroyed main window through the application any more.
    if (CWinApp* app = AfxGetApp(); app != nullptr && app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
}

QWidget* CDialog::OwnerWidget() const {
    if (m_pParentWnd != nullptr && m_pParentWnd->GetSafeHwnd() != nullptr) return m_pParentWnd->GetSafeHwnd();
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd != nullptr && app->m_pMainWnd != this) {
        return app->m_pMainWnd->GetSafeHwnd();
    }
    return nullptr;
}

bool CDialog::CreateDialogWindow() {
    if (m_given) {
        m_active = m_given;
    } else if (const DialogTemplate* found =
                   AfxGetResourceHandle().FindDialog(static_cast<int>(m_nIDTemplate))) {
        m_active = *found;  // a copy: the window's layout stays as it was created
    } else {
        return false;
    }
    const DialogTemplate& tmpl = *m_active;
    m_bHasSystemMenu = HasStyle(tmpl.styles, "sysmenu");

    const QFont font = DialogFont(tmpl.fontName, tmpl.fontSize);
    m_units = BaseUnitsOf(font);
    auto* window = new DialogWindow(*this, OwnerWidget(), FlagsFor(tmpl, m_bHasSystemMenu), m_bHasSystemMenu);
    window->setFont(font);
    window->setWindowTitle(ToQString(tmpl.caption));
    // A dialog larger than the screen's free area (a large scale factor, a small screen) never grows past
    // it: the controls then sit on a surface inside a scroll area, all of them still reachable.
    const QSize full(MapDialogX(m_units, tmpl.cx), MapDialogY(m_units, tmpl.cy));
    const QSize room = RoomOnScreen(OwnerWidget());
    QWidget* surface = window;
    QScrollArea* scroll = nullptr;
    if (full.width() > room.width() || full.height() > room.height()) {
        window->setFixedSize(full.boundedTo(room));
        scroll = new QScrollArea(window);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setGeometry(0, 0, window->width(), window->height());
        surface = new QWidget();
        surface->setFixedSize(full);
    } else {
        window->setFixedSize(full);
    }
    if (HICON icon = AfxLoadIcon(IDR_MAINFRAME)) window->setWindowIcon(*icon);
    m_hWnd = window;

    const ControlNotify notify = [this](int id, UINT code) { RouteCommand(static_cast<UINT>(id), code); };
    QWidget* previousTabStop = nullptr;
    m_nDefaultId = IDOK;
    for (const ControlTemplate& control : tmpl.controls) {
        QWidget* widget = CreateControl(control, m_units, surface, notify);
        if (widget == nullptr) continue;
        if (control.id != -1) widget->setObjectName(QStringLiteral("ctl%1").arg(control.id));
        QStringList anchors;
        for (const char* anchor : {"moveright", "movedown", "growright", "growdown"})
            if (HasStyle(control.styles, anchor)) anchors << QString::fromLatin1(anchor);
        if (!anchors.isEmpty()) {
            widget->setProperty("quarvelAnchors", anchors);
            widget->setProperty("quarvelRect", widget->geometry());
        }
        if (control.kind == "defbutton") m_nDefaultId = control.id;
        if (widget->focusPolicy() & Qt::TabFocus) {
            if (previousTabStop != nullptr) QWidget::setTabOrder(previousTabStop, widget);
            previousTabStop = widget;
        }
        m_controls.push_back(std::make_unique<CWnd>(widget, control.id));
    }
    if (scroll != nullptr) scroll->setWidget(surface);
    if (IsResizable(tmpl.styles)) window->MakeResizable(full, scroll, surface);
    window->PlaceMenuButton();
    ResetSystemMenu();
    if (CWinApp* app = AfxGetApp()) app->MainWindowCreated(this);
    return true;
}

void CDialog::DestroyDialogWindow() {
    if (m_hWnd == nullptr) return;
    // First no more posts can reach this window, then the widgets go.
    if (CWinApp* app = AfxGetApp()) app->MainWindowDestroyed(this);
    QWidget* window = m_hWnd;
    m_hWnd = nullptr;
    m_controls.clear();
    m_systemMenu.Clear();
    m_active.reset();
    delete window;
}

void CDialog::ResetSystemMenu() {
    m_systemMenu.Clear();
    if (!m_bHasSystemMenu || !m_active) return;
    if (HasStyle(m_active->styles, "minimizebox")) {
        m_systemMenu.AppendMenuW(MF_STRING, SC_MINIMIZE, LoadFrameworkString(IDS_FW_MENU_MINIMIZE));
    }
    m_systemMenu.AppendMenuW(MF_SEPARATOR);
    m_systemMenu.AppendMenuW(MF_STRING, SC_CLOSE, LoadFrameworkString(IDS_FW_MENU_CLOSE));
}

INT_PTR CDialog::DoModal() {
    if (m_hWnd != nullptr) return -1;  // already running
    m_bEnded = false;
    m_nModalResult = -1;
    if (!CreateDialogWindow()) return -1;

    BOOL focusDefault = TRUE;
    AfxRunGuarded([&] { focusDefault = OnInitDialog(); });
    if (!m_bEnded && m_hWnd != nullptr) {
        m_hWnd->setWindowModality(Qt::ApplicationModal);
        m_hWnd->show();
        if (focusDefault) FocusFirstTabStop();
        QEventLoop loop;
        m_loop = &loop;
        if (!m_bEnded) loop.exec(QEventLoop::DialogExec);
        m_loop = nullptr;
    }
    DestroyDialogWindow();
    return m_nModalResult;
}

void CDialog::FocusFirstTabStop() {
    for (const auto& control : m_controls) {
        QWidget* widget = control->GetSafeHwnd();
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() && !widget->isHidden()) {
            widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void CDialog::EndDialog(int nResult) {
    m_nModalResult = nResult;
    m_bEnded = true;
    if (m_loop != nullptr) m_loop->exit(nResult);
}

CMenu* CDialog::GetSystemMenu(BOOL bRevert) {
    if (m_hWnd == nullptr || !m_bHasSystemMenu) return nullptr;
    if (bRevert) {
        ResetSystemMenu();
        return nullptr;
    }
    return &m_systemMenu;
}

void CDialog::TrackSystemMenu(const QPoint& globalPos) {
    if (m_hWnd == nullptr || !m_bHasSystemMenu) return;
    auto* menu = new QMenu(m_hWnd);
    menu->setObjectName(QStringLiteral("systemMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<QWidget> window(m_hWnd);
    // The choice is handled from the event loop once the popup has closed, like WM_SYSCOMMAND.
    FillMenu(
        *menu, m_systemMenu,
        [this, window](UINT id) {
            QTimer::singleShot(0, window, [this, window, id] {
                if (window && window == m_hWnd) SendMessage(WM_SYSCOMMAND, id, 0);
            });
        },
        0);
    menu->popup(globalPos);
}

void CDialog::OnSysCommand(UINT nID, LPARAM) {
    switch (nID & 0xFFF0u) {
        case SC_CLOSE:
            RouteCommand(IDCANCEL, BN_CLICKED);
            break;
        case SC_MINIMIZE:
            ShowWindow(SW_MINIMIZE);
            break;
        case SC_MOVE:
            if (m_hWnd != nullptr && m_hWnd->windowHandle() != nullptr)
                m_hWnd->windowHandle()->startSystemMove();
            break;
        default:
            break;
    }
}

void CDialog::RouteCommand(UINT id, UINT code) {
    if (m_hWnd == nullptr) return;
    AfxRunGuarded([&] { OnCommand(id, code); });
}

void CDialog::PressDefault() {
    // A focused push button takes Enter itself; otherwise the default button's id, IDOK without one.
    if (auto* button = qobject_cast<QPushButton*>(m_hWnd->focusWidget())) {
        button->click();
        return;
    }
    if (CWnd* item = GetDlgItem(m_nDefaultId); item != nullptr && !item->GetSafeHwnd()->isEnabled()) return;
    RouteCommand(static_cast<UINT>(m_nDefaultId), BN_CLICKED);
}

LRESULT CDialog::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_hWnd == nullptr) return 0;
    switch (message) {
        case WM_SETICON: {
            if (auto icon = reinterpret_cast<HICON>(lParam)) m_hWnd->setWindowIcon(*icon);
            return 0;
        }
        case WM_COMMAND:
            RouteCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_CLOSE:
            RouteCommand(IDCANCEL, BN_CLICKED);
            return 0;
        case WM_SYSCOMMAND:
            AfxRunGuarded([&] { OnSysCommand(static_cast<UINT>(wParam), lParam); });
            return 0;
        default:
            break;
    }
    auto it = m_messages.find(message);
    if (it == m_messages.end()) return 0;
    auto handler = it->second;
    LRESULT result = 0;
    AfxRunGuarded([&] { result = handler(wParam, lParam); });
    return result;
}
