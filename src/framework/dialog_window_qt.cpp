#include "framework/dialog_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>

#include "framework/dialog.h"
#include "framework/dialog_anchors.h"
#include "framework/framework_text.h"
#include "framework/qt_string.h"
#include "ids/resource_ids.h"

namespace {
constexpr int kMenuButtonSize = 12;
}  // namespace

DialogWindow::DialogWindow(CDialog& owner, QWidget* parent, Qt::WindowFlags flags, bool systemMenu)
    : QDialog(parent, flags), m_owner(owner) {
    if (!systemMenu) return;
    m_menuButton = new QToolButton(this);
    m_menuButton->setObjectName(QStringLiteral("systemMenuButton"));
    m_menuButton->setArrowType(Qt::DownArrow);
    m_menuButton->setAutoRaise(true);
    m_menuButton->setFocusPolicy(Qt::NoFocus);
    m_menuButton->setToolTip(ToQString(LoadFrameworkString(IDS_FW_MENU_BUTTON_TIP)));
    QObject::connect(m_menuButton, &QToolButton::clicked, this, [this] {
        m_owner.TrackSystemMenu(m_menuButton->mapToGlobal(QPoint(0, m_menuButton->height())));
    });

    auto* shortcut = new QAction(this);
    shortcut->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Space));
    shortcut->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QAction::triggered, this,
                     [this] { m_owner.TrackSystemMenu(mapToGlobal(QPoint(0, 0))); });
    addAction(shortcut);
}

void DialogWindow::PlaceMenuButton() {
    if (m_menuButton == nullptr) return;
    m_menuButton->setGeometry(width() - kMenuButtonSize - 1, 1, kMenuButtonSize, kMenuButtonSize);
    m_menuButton->raise();
}

void DialogWindow::MakeResizable(const QSize& templateSize, QScrollArea* scroll, QWidget* surface) {
    m_templateSize = templateSize;
    m_scroll = scroll;
    m_surface = surface;
    setMinimumSize(scroll != nullptr ? size() : templateSize);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setSizeGripEnabled(true);
}

void DialogWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    PlaceMenuButton();
    if (m_templateSize.isEmpty()) return;
    QSize room = size();
    if (m_scroll != nullptr) {
        // On a screen smaller than the template the surface keeps at least the template's size.
        m_scroll->setGeometry(0, 0, width(), height());
        room = m_scroll->viewport()->size().expandedTo(m_templateSize);
        m_surface->setFixedSize(room);
    }
    const int dx = room.width() - m_templateSize.width(), dy = room.height() - m_templateSize.height();
    for (QWidget* control : m_surface->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        const QVariant anchors = control->property("quarvelAnchors");
        if (!anchors.isValid()) continue;
        const QRect at = control->property("quarvelRect").toRect();
        std::vector<std::string> styles;
        for (const QString& style : anchors.toStringList()) styles.push_back(style.toStdString());
        const AnchoredRect r = AnchorRect({at.x(), at.y(), at.width(), at.height()}, styles, dx, dy);
        control->setGeometry(r.x, r.y, r.cx, r.cy);
    }
}

void DialogWindow::keyPressEvent(QKeyEvent* event) {
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier && event->key() == Qt::Key_Escape) {
        m_owner.RouteCommand(IDCANCEL, BN_CLICKED);
        return;
    }
    if (modifiers == Qt::NoModifier && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        m_owner.PressDefault();
        return;
    }
    QWidget::keyPressEvent(event);  // not QDialog's: it would handle Enter and Esc its own way
}

void DialogWindow::QueueCancel() {
    // Queued so the handler (which may open message boxes) does not run inside Qt's close handling.
    QPointer<DialogWindow> self(this);
    QTimer::singleShot(0, this, [self] {
        if (self) self->m_owner.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
    });
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    // The close box and Alt+F4: the window closes only when the dialog ends.
    event->ignore();
    QueueCancel();
}

void DialogWindow::reject() { QueueCancel(); }

void DialogWindow::accept() {
    QPointer<DialogWindow> self(this);
    QTimer::singleShot(0, this, [self] {
        if (self) self->m_owner.RouteCommand(IDOK, BN_CLICKED);
    });
}

void DialogWindow::contextMenuEvent(QContextMenuEvent* event) {
    if (m_menuButton == nullptr) return;
    m_owner.TrackSystemMenu(event->globalPos());
    event->accept();
}
