#include "framework/dialog_controls.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

#include "framework/afx_defs.h"
#include "framework/icon.h"
#include "framework/qt_string.h"

namespace {

// A drop-down list that reports losing the focus and the closing of its list, as a Windows combo box
// does with CBN_KILLFOCUS and CBN_CLOSEUP.
class NotifyingComboBox : public QComboBox {
public:
    NotifyingComboBox(int id, ControlNotify notify, QWidget* parent)
        : QComboBox(parent), m_id(id), m_notify(std::move(notify)) {}

    void hidePopup() override {
        QComboBox::hidePopup();
        // Qt applies the picked entry only after closing the list; the notification waits for it so
        // that a reader of the selection sees the new entry.
        QPointer<NotifyingComboBox> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self) self->m_notify(self->m_id, CBN_CLOSEUP);
        });
    }

protected:
    void focusOutEvent(QFocusEvent* event) override {
        QComboBox::focusOutEvent(event);
        // While the own list is open the focus visits it only for a moment: not a real loss.
        if (event->reason() == Qt::PopupFocusReason || view()->isVisible()) return;
        const QWidget* now = QApplication::focusWidget();
        if (now != nullptr && now->window() == view()->window()) return;
        m_notify(m_id, CBN_KILLFOCUS);
    }

private:
    int m_id;
    ControlNotify m_notify;
};

// A group box drawn the Windows way: an etched frame whose top line runs through the middle of the
// title, so a template's controls sit inside it where the template placed them.
class FramedGroupBox : public QGroupBox {
public:
    FramedGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

    // The title starts one average character in and must end one before the right edge.
    int TitleRoom() const { return width() - 2 * TitleIndent(fontMetrics()); }
    static int TitleIndent(const QFontMetrics& metrics) { return std::max(1, metrics.averageCharWidth()); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QFontMetrics metrics(font());
        const QRect frame = rect().adjusted(0, metrics.height() / 2, -2, -2);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(frame);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawRect(frame.translated(1, 1));
        if (title().isEmpty()) return;
        const int left = TitleIndent(metrics);
        const QString text = StripMnemonics(title());
        const QRect label(left, 0, std::min(metrics.horizontalAdvance(text), width() - 2 * left),
                          metrics.height());
        painter.fillRect(label, palette().color(QPalette::Window));
        painter.setPen(
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }
};

QWidget* CreateButton(const ControlTemplate& control, QWidget* parent, const ControlNotify& notify) {
    auto* button = new QPushButton(ToQString(control.text), parent);
    // The dialog, not Qt, decides what Enter does (see DialogWindow).
    button->setAutoDefault(false);
    button->setDefault(control.kind == "defbutton");
    const int id = control.id;
    QObject::connect(button, &QPushButton::clicked, button, [notify, id] { notify(id, BN_CLICKED); });
    return button;
}

// A radio button; the radio buttons of one dialog form one group, as consecutive ones do on Windows.
QWidget* CreateRadio(const ControlTemplate& control, QWidget* parent, const ControlNotify& notify) {
    auto* radio = new QRadioButton(ToQString(control.text), parent);
    radio->setAutoExclusive(true);
    const int id = control.id;
    QObject::connect(radio, &QRadioButton::clicked, radio, [notify, id] { notify(id, BN_CLICKED); });
    return radio;
}

// Enter (or the keypad's) on a list view's selected row activates the row, as Windows' list view does,
// instead of reaching the dialog's default button.
class ListEnterFilter : public QObject {
public:
    ListEnterFilter(QTreeWidget* view, std::function<void()> activate)
        : QObject(view), m_view(view), m_activate(std::move(activate)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_view || event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!enter || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
        if (m_view->currentItem() == nullptr || !m_view->currentItem()->isSelected()) return false;
        m_activate();
        return true;
    }

private:
    QTreeWidget* m_view;
    std::function<void()> m_activate;
};

// A list view in report mode: one row per item, the columns under a header (see framework/list_ctrl.h).
QWidget* CreateListView(const ControlTemplate& control, QWidget* parent, const ControlNotify& notify) {
    auto* view = new QTreeWidget(parent);
    const int id = control.id;
    // A click on a header and a double-click on a row reach the dialog as Windows' list view tells them.
    view->header()->setSectionsClickable(true);
    QObject::connect(view->header(), &QHeaderView::sectionClicked, view, [view, notify, id](int section) {
        view->setProperty("quarvelClickedColumn", section);
        notify(id, LVN_COLUMNCLICK);
    });
    view->installEventFilter(new ListEnterFilter(view, [notify, id] { notify(id, LVN_ITEMACTIVATE); }));
    QObject::connect(view, &QTreeWidget::itemDoubleClicked, view,
                     [notify, id](QTreeWidgetItem*, int) { notify(id, LVN_ITEMACTIVATE); });
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setItemsExpandable(false);
    view->setAllColumnsShowFocus(true);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setFrameShape(HasStyle(control.styles, "border") ? QFrame::StyledPanel : QFrame::NoFrame);
    view->setColumnCount(0);
    return view;
}

QWidget* CreateEdit(const ControlTemplate& control, QWidget* parent) {
    auto* edit = new QLineEdit(ToQString(control.text), parent);
    edit->setReadOnly(HasStyle(control.styles, "readonly"));
    edit->setFrame(HasStyle(control.styles, "border") || HasStyle(control.styles, "clientedge"));
    if (HasStyle(control.styles, "right")) edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    if (HasStyle(control.styles, "center")) edit->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    edit->setMaxLength(32767);  // an edit control's default limit
    return edit;
}

QWidget* CreateStatic(const ControlTemplate& control, QWidget* parent) {
    auto* label = new QLabel(StripMnemonics(ToQString(control.text)), parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (HasStyle(control.styles, "center")) horizontal = Qt::AlignHCenter;
    if (HasStyle(control.styles, "right")) horizontal = Qt::AlignRight;
    label->setAlignment(horizontal | Qt::AlignTop);
    return label;
}

QWidget* CreateIcon(const ControlTemplate& control, QWidget* parent) {
    auto* label = new QLabel(parent);
    bool ok = false;
    const int iconId = ToQString(control.text).toInt(&ok);
    if (HICON icon = ok ? AfxLoadIcon(iconId) : nullptr) label->setPixmap(icon->pixmap(32, 32));
    return label;
}

QWidget* CreateCombo(const ControlTemplate& control, QWidget* parent, const ControlNotify& notify) {
    auto* combo = new NotifyingComboBox(control.id, notify, parent);
    combo->setEditable(false);
    combo->setInsertPolicy(QComboBox::InsertAtBottom);
    return combo;
}

QWidget* CreateList(const ControlTemplate& control, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSortingEnabled(HasStyle(control.styles, "sort"));
    list->setFrameShape(HasStyle(control.styles, "border") ? QFrame::StyledPanel : QFrame::NoFrame);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return list;
}

// Qt's line edit keeps this margin left and right of its text inside the contents rectangle, and one
// pixel plus the cursor's width beyond the text before it starts scrolling.
constexpr int kLineEditMargin = 2;

int EditRoom(const QLineEdit& edit) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.rect = edit.rect();
    const QStyle* style = edit.style();
    option.lineWidth = edit.hasFrame() ? style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit) : 0;
    option.state |= QStyle::State_Sunken;
    if (edit.isReadOnly()) option.state |= QStyle::State_ReadOnly;
    const QRect contents =
        style->subElementRect(QStyle::SE_LineEditContents, &option, &edit).marginsRemoved(edit.textMargins());
    const int cursor = style->pixelMetric(QStyle::PM_TextCursorWidth, &option, &edit);
    return contents.width() - 2 * kLineEditMargin - 1 - cursor;
}

int ButtonRoom(const QPushButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.rect = button.rect();
    option.text = button.text();
    if (button.isDefault()) option.features |= QStyleOptionButton::DefaultButton;
    const QRect contents = button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
    // The margin Qt's own size hint keeps around a button's label.
    return contents.width() - button.style()->pixelMetric(QStyle::PM_ButtonMargin, &option, &button);
}

}  // namespace

int TextRoomOf(QWidget* control) {
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return EditRoom(*edit);
    if (auto* button = qobject_cast<QPushButton*>(control)) return ButtonRoom(*button);
    if (auto* group = dynamic_cast<FramedGroupBox*>(control)) return group->TitleRoom();
    if (auto* label = qobject_cast<QLabel*>(control); label != nullptr && label->pixmap().isNull()) {
        return label->contentsRect().width();
    }
    return -1;
}

int TextWidthOf(QWidget* control) {
    QString text;
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        text = edit->text();
    else if (auto* button = qobject_cast<QPushButton*>(control))
        text = StripMnemonics(button->text());
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        text = StripMnemonics(group->title());
    else if (auto* label = qobject_cast<QLabel*>(control))
        text = label->text();
    return control->fontMetrics().horizontalAdvance(text);
}

bool HasStyle(const std::vector<std::string>& styles, const char* style) {
    return std::find(styles.begin(), styles.end(), style) != styles.end();
}

QWidget* CreateControl(const ControlTemplate& control, const DialogBaseUnits& units, QWidget* parent,
                       const ControlNotify& notify) {
    QWidget* widget = nullptr;
    const std::string& kind = control.kind;
    if (kind == "button" || kind == "defbutton")
        widget = CreateButton(control, parent, notify);
    else if (kind == "edit")
        widget = CreateEdit(control, parent);
    else if (kind == "static")
        widget = CreateStatic(control, parent);
    else if (kind == "groupbox")
        widget = new FramedGroupBox(ToQString(control.text), parent);
    else if (kind == "icon")
        widget = CreateIcon(control, parent);
    else if (kind == "combobox")
        widget = CreateCombo(control, parent, notify);
    else if (kind == "listbox")
        widget = CreateList(control, parent);
    else if (kind == "listview")
        widget = CreateListView(control, parent, notify);
    else if (kind == "radiobutton")
        widget = CreateRadio(control, parent, notify);
    if (widget == nullptr) return nullptr;

    QRect rect = MapDialogRect(units, control.x, control.y, control.cx, control.cy);
    if (kind == "combobox") {
        // A combo box's template height includes its open list; closed it is one line high.
        const int closed = std::min(rect.height(), widget->sizeHint().height());
        const int itemHeight = std::max(1, widget->fontMetrics().height() + 2);
        static_cast<QComboBox*>(widget)->setMaxVisibleItems(
            std::max(1, (rect.height() - closed) / itemHeight));
        rect.setHeight(closed);
    } else if (kind == "icon") {
        rect.setSize(QSize(32, 32));  // an icon control takes the icon's own size
    }
    widget->setGeometry(rect);

    const bool tabStop = HasStyle(control.styles, "tabstop");
    if (kind == "static" || kind == "groupbox" || kind == "icon") {
        widget->setFocusPolicy(Qt::NoFocus);
    } else {
        widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
    }
    if (HasStyle(control.styles, "disabled")) widget->setEnabled(false);
    if (HasStyle(control.styles, "hidden")) widget->setVisible(false);
    return widget;
}
