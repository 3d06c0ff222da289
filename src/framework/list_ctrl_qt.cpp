#include "framework/list_ctrl.h"

#include <QHeaderView>
#include <QTreeWidget>

#include "framework/qt_string.h"
#include "framework/wnd.h"

CListCtrl::CListCtrl(CWnd* control)
    : m_view(control != nullptr ? qobject_cast<QTreeWidget*>(control->GetSafeHwnd()) : nullptr) {}

void CListCtrl::SetColumns(const std::vector<CString>& headings) {
    if (m_view == nullptr) return;
    m_view->clear();
    QStringList labels;
    for (const CString& heading : headings) labels << ToQString(heading);
    m_view->setColumnCount(static_cast<int>(labels.size()));
    m_view->setHeaderLabels(labels);
}

void CListCtrl::DeleteAllItems() {
    if (m_view != nullptr) m_view->clear();
}

int CListCtrl::AddItem(const std::vector<CString>& cells) {
    if (m_view == nullptr) return -1;
    QStringList texts;
    for (std::size_t i = 0; i < cells.size() && static_cast<int>(i) < m_view->columnCount(); ++i)
        texts << ToQString(cells[i]);
    m_view->addTopLevelItem(new QTreeWidgetItem(texts));
    return m_view->topLevelItemCount() - 1;
}

int CListCtrl::GetItemCount() const { return m_view != nullptr ? m_view->topLevelItemCount() : 0; }

CString CListCtrl::GetItemText(int item, int column) const {
    if (m_view == nullptr || item < 0 || item >= m_view->topLevelItemCount()) return {};
    return ToCString(m_view->topLevelItem(item)->text(column));
}

void CListCtrl::SetCurSel(int item) {
    if (m_view == nullptr) return;
    if (item < 0 || item >= m_view->topLevelItemCount()) {
        m_view->clearSelection();
        return;
    }
    m_view->setCurrentItem(m_view->topLevelItem(item));
    m_view->scrollToItem(m_view->topLevelItem(item));
}

void CListCtrl::FitColumns() {
    if (m_view == nullptr) return;
    for (int column = 0; column < m_view->columnCount(); ++column) m_view->resizeColumnToContents(column);
}

int CListCtrl::GetCurSel() const {
    if (m_view == nullptr || m_view->currentItem() == nullptr || !m_view->currentItem()->isSelected())
        return -1;
    return m_view->indexOfTopLevelItem(m_view->currentItem());
}

int CListCtrl::ClickedColumn() const {
    if (m_view == nullptr) return -1;
    const QVariant column = m_view->property("quarvelClickedColumn");
    return column.isValid() ? column.toInt() : -1;
}

void CListCtrl::SetSortIndicator(int column, bool ascending) {
    if (m_view == nullptr) return;
    m_view->header()->setSortIndicatorShown(column >= 0);
    m_view->header()->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}
