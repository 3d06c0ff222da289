#include "framework/modal_helpers.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEventLoop>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <map>

#include "framework/qt_string.h"

void WhenModal(std::function<void(TestWindow modal)> step) {
    QTimer::singleShot(0, qApp, [step] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr) {
            modal->activateWindow();
            (void)QTest::qWaitForWindowActive(modal, 2000);
        }
        step(modal);
    });
}

ModalDeadline::ModalDeadline(int milliseconds) : m_timer(new QTimer) {
    m_timer->setSingleShot(true);
    QObject::connect(m_timer, &QTimer::timeout, [] {
        ADD_FAILURE() << "a modal window was still open at the deadline";
        while (QWidget* modal = QApplication::activeModalWidget()) {
            auto* dialog = qobject_cast<QDialog*>(modal);
            if (dialog == nullptr) break;
            dialog->done(IDCANCEL);
            dialog->reject();
            QCoreApplication::processEvents();
            if (QApplication::activeModalWidget() == modal) break;
        }
    });
    m_timer->start(milliseconds);
}

ModalDeadline::~ModalDeadline() { delete m_timer; }

bool WaitUntil(const std::function<bool()>& done, int milliseconds) {
    QDeadlineTimer deadline(milliseconds);
    while (!done() && !deadline.hasExpired()) {
        // Sleeps in the event dispatcher until something arrives (at most 10 ms at a time).
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

void ProcessPending() { QCoreApplication::sendPostedEvents(); }

bool UnderWine() { return false; }

bool HasControl(TestWindow dialog, int id) { return Control<QWidget>(dialog, id) != nullptr; }

CString ControlText(TestWindow dialog, int id) {
    QWidget* control = Control<QWidget>(dialog, id);
    QString text;
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        text = edit->text();
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        text = StripMnemonics(button->text());
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        text = label->text();
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        text = combo->currentText();
    } else if (auto* list = qobject_cast<QListWidget*>(control)) {
        text = list->currentItem() != nullptr ? list->currentItem()->text() : QString();
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
        text = StripMnemonics(group->title());
    }
    return ToCString(text);
}

std::vector<CString> ListItems(TestWindow dialog, int id) {
    std::vector<CString> items;
    if (auto* combo = Control<QComboBox>(dialog, id)) {
        for (int i = 0; i < combo->count(); ++i) items.push_back(ToCString(combo->itemText(i)));
    } else if (auto* list = Control<QListWidget>(dialog, id)) {
        for (int i = 0; i < list->count(); ++i) items.push_back(ToCString(list->item(i)->text()));
    }
    return items;
}

void SelectRow(TestWindow dialog, int id, int row) {
    if (auto* combo = Control<QComboBox>(dialog, id)) {
        combo->setCurrentIndex(row);
    } else if (auto* list = Control<QListWidget>(dialog, id)) {
        list->setCurrentRow(row);
    }
}

void TypeText(TestWindow dialog, int id, const CString& text) {
    if (auto* edit = Control<QLineEdit>(dialog, id)) edit->setText(ToQString(text));
}

void Click(TestWindow dialog, int id) {
    auto* button = Control<QAbstractButton>(dialog, id);
    if (button == nullptr) return;
    // A check box or radio button takes clicks on its mark and label only: its mark is at the left.
    const bool marked =
        qobject_cast<QCheckBox*>(button) != nullptr || qobject_cast<QRadioButton*>(button) != nullptr;
    const QPoint at = marked ? QPoint(button->height() / 2, button->height() / 2) : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, at);
}

bool ChooseText(TestWindow dialog, int id, const CString& text) {
    auto* combo = Control<QComboBox>(dialog, id);
    const int at = combo != nullptr ? combo->findText(ToQString(text)) : -1;
    if (at < 0) return false;
    combo->setCurrentIndex(at);
    return true;
}

void PressKey(TestWindow dialog, int id, Key key) {
    FocusControl(dialog, id);
    static const std::map<Key, Qt::Key> kKeys = {{Key::Return, Qt::Key_Return},
                                                 {Key::Enter, Qt::Key_Enter},
                                                 {Key::Escape, Qt::Key_Escape},
                                                 {Key::Down, Qt::Key_Down},
                                                 {Key::F4, Qt::Key_F4}};
    if (QWidget* control = Control<QWidget>(dialog, id)) QTest::keyClick(control, kKeys.at(key));
}

void FocusControl(TestWindow dialog, int id) {
    if (QWidget* control = Control<QWidget>(dialog, id)) control->setFocus();
}

int FocusedControl(TestWindow dialog) {
    QWidget* focus = dialog != nullptr ? dialog->focusWidget() : nullptr;
    for (; focus != nullptr && focus != dialog; focus = focus->parentWidget()) {
        const QString name = focus->objectName();
        if (name.startsWith(QStringLiteral("ctl"))) return name.mid(3).toInt();
    }
    return 0;
}

int EditLimit(TestWindow dialog, int id) {
    auto* edit = Control<QLineEdit>(dialog, id);
    return edit != nullptr ? edit->maxLength() : 0;
}

bool IsControlShown(TestWindow dialog, int id) {
    QWidget* control = Control<QWidget>(dialog, id);
    return control != nullptr && control->isVisible();
}

bool IsControlEnabled(TestWindow dialog, int id) {
    QWidget* control = Control<QWidget>(dialog, id);
    return control != nullptr && control->isEnabled();
}

bool IsWindowShown(TestWindow window) { return window != nullptr && window->isVisible(); }

CString WindowCaption(TestWindow window) {
    return window != nullptr ? ToCString(window->windowTitle()) : CString();
}

PixelRect ControlRect(TestWindow dialog, int id) {
    QWidget* control = Control<QWidget>(dialog, id);
    if (control == nullptr) return {};
    const QRect r = control->geometry();
    return {r.x(), r.y(), r.width(), r.height()};
}

PixelRect ClientRect(TestWindow window) {
    return window != nullptr ? PixelRect{0, 0, window->width(), window->height()} : PixelRect{};
}

void ResizeWindowBy(TestWindow window, int dx, int dy) {
    if (window == nullptr) return;
    window->resize(window->width() + dx, window->height() + dy);
    QCoreApplication::processEvents();
}

bool IsReadOnly(TestWindow dialog, int id) {
    auto* edit = Control<QLineEdit>(dialog, id);
    return edit != nullptr && edit->isReadOnly();
}

bool IsChecked(TestWindow dialog, int id) {
    auto* button = Control<QAbstractButton>(dialog, id);
    return button != nullptr && button->isChecked();
}

int ListRows(TestWindow dialog, int id) {
    auto* list = Control<QTreeWidget>(dialog, id);
    return list != nullptr ? list->topLevelItemCount() : -1;
}

int ListOverflowPx(TestWindow dialog, int id) {
    auto* list = Control<QTreeWidget>(dialog, id);
    if (list == nullptr) return -1;
    int columns = 0;
    for (int c = 0; c < list->columnCount(); ++c) columns += list->columnWidth(c);
    return std::max(0, columns - list->viewport()->width());
}

CString ToolTipOf(TestWindow dialog, int id) {
    QWidget* control = Control<QWidget>(dialog, id);
    return control != nullptr ? ToCString(control->toolTip()) : CString();
}

bool IsDimmed(TestWindow dialog, int id) {
    QWidget* control = Control<QWidget>(dialog, id);
    return control != nullptr && control->property("quarvelDimmed").toBool();
}

CString ListCell(TestWindow dialog, int id, int row, int column) {
    auto* list = Control<QTreeWidget>(dialog, id);
    QTreeWidgetItem* item = list != nullptr ? list->topLevelItem(row) : nullptr;
    return item != nullptr ? ToCString(item->text(column)) : CString();
}

void ClickListHeader(TestWindow dialog, int id, int column) {
    auto* list = Control<QTreeWidget>(dialog, id);
    if (list == nullptr) return;
    QHeaderView* header = list->header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void DoubleClickListRow(TestWindow dialog, int id, int row) {
    auto* list = Control<QTreeWidget>(dialog, id);
    QTreeWidgetItem* item = list != nullptr ? list->topLevelItem(row) : nullptr;
    if (item == nullptr) return;
    const QPoint at = list->visualItemRect(item).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void PressEscape(TestWindow dialog) {
    if (dialog != nullptr)
        QTest::keyClick(dialog, Qt::Key_Escape);  // a key the focused child leaves reaches it
}

bool HasIcon(TestWindow window) { return window != nullptr && !window->windowIcon().isNull(); }
