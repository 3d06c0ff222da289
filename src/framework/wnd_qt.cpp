#include "framework/wnd.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QVariant>
#include <algorithm>

#include "framework/qt_string.h"

namespace {

QString TextArgument(LPARAM lParam) {
    const auto* text = reinterpret_cast<const char16_t*>(lParam);
    return text == nullptr ? QString() : QString::fromUtf16(text);
}

// Copies text and its terminator into the caller's buffer; returns the length without it.
LRESULT CopyOut(const QString& text, LPARAM lParam) {
    auto* out = reinterpret_cast<char16_t*>(lParam);
    if (out == nullptr) return -1;
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
    std::copy(units, units + text.size(), out);
    out[text.size()] = u'\0';
    return text.size();
}

LRESULT ComboMessage(QComboBox* combo, UINT message, WPARAM wParam, LPARAM lParam) {
    const int count = combo->count();
    const int index = static_cast<int>(wParam);
    switch (message) {
        case CB_ADDSTRING:
            combo->addItem(TextArgument(lParam));
            return count;
        case CB_INSERTSTRING:
            // Like Windows, -1 or a position past the end appends; Qt keeps the current entry current.
            if (index < 0 || index > count) {
                combo->addItem(TextArgument(lParam));
                return count;
            }
            combo->insertItem(index, TextArgument(lParam));
            return index;
        case CB_GETCOUNT:
            return count;
        case CB_GETCURSEL:
            return combo->currentIndex();
        case CB_SETCURSEL:
            // Like Windows, -1 (or any bad index) clears the selection; only a real entry is reported.
            combo->setCurrentIndex(index >= 0 && index < count ? index : -1);
            return index >= 0 && index < count ? index : CB_ERR;
        case CB_GETLBTEXTLEN:
            return index >= 0 && index < count ? combo->itemText(index).size() : CB_ERR;
        case CB_GETLBTEXT:
            return index >= 0 && index < count ? CopyOut(combo->itemText(index), lParam) : CB_ERR;
        case CB_RESETCONTENT:
            combo->clear();
            return 0;
        default:
            return 0;
    }
}

LRESULT ListMessage(QListWidget* list, UINT message, WPARAM wParam, LPARAM lParam) {
    const int count = list->count();
    const int index = static_cast<int>(wParam);
    const bool valid = index >= 0 && index < count;
    switch (message) {
        case LB_ADDSTRING:
            list->addItem(TextArgument(lParam));
            return count;
        case LB_GETCOUNT:
            return count;
        case LB_GETCURSEL: {
            const auto selected = list->selectedItems();
            return selected.isEmpty() ? LB_ERR : list->row(selected.front());
        }
        case LB_SETCURSEL:
            if (!valid) {
                list->clearSelection();
                return LB_ERR;
            }
            list->setCurrentRow(index);
            return index;
        case LB_GETTEXTLEN:
            return valid ? list->item(index)->text().size() : LB_ERR;
        case LB_GETTEXT:
            return valid ? CopyOut(list->item(index)->text(), lParam) : LB_ERR;
        case LB_RESETCONTENT:
            list->clear();
            return 0;
        default:
            return 0;
    }
}

LRESULT ButtonMessage(QAbstractButton* button, UINT message, WPARAM wParam) {
    switch (message) {
        case BM_GETCHECK:
            return button->isChecked() ? BST_CHECKED : BST_UNCHECKED;
        case BM_SETCHECK:
            if (button->isCheckable()) button->setChecked(wParam == BST_CHECKED);
            return 0;
        default:
            return 0;
    }
}

LRESULT EditMessage(QLineEdit* edit, UINT message, WPARAM wParam) {
    switch (message) {
        case EM_SETREADONLY:
            edit->setReadOnly(wParam != 0);
            return TRUE;
        case EM_LIMITTEXT:
            edit->setMaxLength(wParam == 0 ? 32767 : static_cast<int>(std::min<WPARAM>(wParam, 0x7FFFFFFF)));
            return 0;
        case EM_SETSEL:
            edit->selectAll();
            return 0;  // the framework asks only for all of it (0, -1)
        default:
            return 0;
    }
}

}  // namespace

BOOL CWnd::ShowWindow(int nCmdShow) {
    if (m_hWnd == nullptr) return FALSE;
    const BOOL wasVisible = m_hWnd->isVisible() ? TRUE : FALSE;
    switch (nCmdShow) {
        case SW_HIDE:
            m_hWnd->hide();
            break;
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
            m_hWnd->showMinimized();
            break;
        case SW_RESTORE:
        case SW_SHOWNORMAL:
            m_hWnd->showNormal();
            break;
        default:
            m_hWnd->show();
            break;
    }
    return wasVisible;
}

BOOL CWnd::IsWindowVisible() const { return m_hWnd != nullptr && m_hWnd->isVisible() ? TRUE : FALSE; }

BOOL CWnd::IsIconic() const { return m_hWnd != nullptr && m_hWnd->window()->isMinimized() ? TRUE : FALSE; }

BOOL CWnd::EnableWindow(BOOL bEnable) {
    if (m_hWnd == nullptr) return FALSE;
    const BOOL wasDisabled = m_hWnd->isEnabled() ? FALSE : TRUE;
    m_hWnd->setEnabled(bEnable != FALSE);
    return wasDisabled;
}

void CWnd::ShowDimmed(BOOL bDimmed) {
    if (m_hWnd == nullptr) return;
    QPalette palette = m_hWnd->palette();
    const QPalette standard = QApplication::palette(m_hWnd);
    for (const auto role : {QPalette::Text, QPalette::WindowText}) {
        palette.setColor(QPalette::Active, role,
                         standard.color(bDimmed ? QPalette::Disabled : QPalette::Active, role));
        palette.setColor(QPalette::Inactive, role,
                         standard.color(bDimmed ? QPalette::Disabled : QPalette::Inactive, role));
    }
    m_hWnd->setPalette(palette);
    m_hWnd->setProperty("quarvelDimmed", bDimmed != FALSE);
}

BOOL CWnd::IsDimmed() const {
    return m_hWnd != nullptr && m_hWnd->property("quarvelDimmed").toBool() ? TRUE : FALSE;
}

void CWnd::SetToolTipText(const CString& text) {
    if (m_hWnd != nullptr) m_hWnd->setToolTip(ToQString(text));
}

CString CWnd::GetToolTipText() const { return m_hWnd != nullptr ? ToCString(m_hWnd->toolTip()) : CString(); }

void CWnd::SetFocus() {
    if (m_hWnd != nullptr) m_hWnd->setFocus(Qt::OtherFocusReason);
}

void CWnd::SetWindowText(const CString& text) {
    if (m_hWnd == nullptr) return;
    const QString value = ToQString(text);
    if (auto* edit = qobject_cast<QLineEdit*>(m_hWnd)) {
        edit->setText(value);
        edit->setCursorPosition(0);  // a long value shows its beginning, as an edit control does
    } else if (auto* label = qobject_cast<QLabel*>(m_hWnd)) {
        label->setText(StripMnemonics(value));
    } else if (auto* button = qobject_cast<QAbstractButton*>(m_hWnd)) {
        button->setText(value);
    } else if (auto* group = qobject_cast<QGroupBox*>(m_hWnd)) {
        group->setTitle(value);
    } else if (m_hWnd->isWindow()) {
        m_hWnd->setWindowTitle(value);
    }
}

CString CWnd::GetWindowText() const {
    if (m_hWnd == nullptr) return {};
    if (auto* edit = qobject_cast<QLineEdit*>(m_hWnd)) return ToCString(edit->text());
    if (auto* label = qobject_cast<QLabel*>(m_hWnd)) return ToCString(label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(m_hWnd)) return ToCString(button->text());
    if (auto* group = qobject_cast<QGroupBox*>(m_hWnd)) return ToCString(group->title());
    if (auto* combo = qobject_cast<QComboBox*>(m_hWnd)) return ToCString(combo->currentText());
    if (m_hWnd->isWindow()) return ToCString(m_hWnd->windowTitle());
    return {};
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_hWnd == nullptr) return 0;
    if (auto* combo = qobject_cast<QComboBox*>(m_hWnd)) return ComboMessage(combo, message, wParam, lParam);
    if (auto* list = qobject_cast<QListWidget*>(m_hWnd)) return ListMessage(list, message, wParam, lParam);
    if (auto* edit = qobject_cast<QLineEdit*>(m_hWnd)) return EditMessage(edit, message, wParam);
    if (auto* button = qobject_cast<QAbstractButton*>(m_hWnd)) return ButtonMessage(button, message, wParam);
    return 0;
}
