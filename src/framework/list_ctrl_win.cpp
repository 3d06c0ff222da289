// CListCtrl on the Win32 backend: the common controls' list view in report mode.
#include "framework/list_ctrl.h"

#include "framework/win32_window.h"

namespace {
bool IsListView(HWND window) {
    wchar_t name[32] = {};
    return window != nullptr && ::GetClassNameW(window, name, 32) > 0 && lstrcmpiW(name, WC_LISTVIEWW) == 0;
}

// Enter on a selected row activates it (LVN_ITEMACTIVATE to the dialog), as a double-click does, instead of
// the dialog manager giving it to the default button.
LRESULT CALLBACK EnterActivates(HWND view, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    const bool selected = ListView_GetNextItem(view, -1, LVNI_SELECTED) >= 0;
    if (message == WM_GETDLGCODE && wParam == VK_RETURN && selected)
        return ::DefSubclassProc(view, message, wParam, lParam) | DLGC_WANTALLKEYS;
    if (message == WM_KEYDOWN && wParam == VK_RETURN && selected) {
        NMITEMACTIVATE activate{};
        activate.hdr.hwndFrom = view;
        activate.hdr.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(view));
        activate.hdr.code = LVN_ITEMACTIVATE;
        activate.iItem = ListView_GetNextItem(view, -1, LVNI_SELECTED);
        ::SendMessageW(::GetParent(view), WM_NOTIFY, activate.hdr.idFrom,
                       reinterpret_cast<LPARAM>(&activate));
        return 0;
    }
    if (message == WM_CHAR && wParam == L'\r') return 0;  // no beep for the Enter just handled
    return ::DefSubclassProc(view, message, wParam, lParam);
}
}  // namespace

CListCtrl::CListCtrl(CWnd* control) {
    HWND window = control != nullptr ? control->GetSafeHwnd() : nullptr;
    if (!IsListView(window)) return;
    m_view = window;
    ListView_SetExtendedListViewStyle(m_view, LVS_EX_FULLROWSELECT);
    ::SetWindowSubclass(m_view, EnterActivates, 1, 0);  // once per window: the same id replaces itself
}

void CListCtrl::SetColumns(const std::vector<CString>& headings) {
    if (m_view == nullptr) return;
    DeleteAllItems();
    while (ListView_DeleteColumn(m_view, 0)) {
    }
    for (std::size_t i = 0; i < headings.size(); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<wchar_t*>(Wide(headings[i]));
        column.cx = 80;
        column.iSubItem = static_cast<int>(i);
        ListView_InsertColumn(m_view, static_cast<int>(i), &column);
    }
}

void CListCtrl::DeleteAllItems() {
    if (m_view != nullptr) ListView_DeleteAllItems(m_view);
}

int CListCtrl::AddItem(const std::vector<CString>& cells) {
    if (m_view == nullptr) return -1;
    HWND header = ListView_GetHeader(m_view);
    const int columns = header != nullptr ? Header_GetItemCount(header) : 0;
    if (columns <= 0) return -1;
    LVITEMW row{};
    row.mask = LVIF_TEXT;
    row.iItem = ListView_GetItemCount(m_view);
    const CString first = cells.empty() ? CString() : cells.front();
    row.pszText = const_cast<wchar_t*>(Wide(first));
    const int at = ListView_InsertItem(m_view, &row);
    if (at < 0) return -1;
    for (std::size_t i = 1; i < cells.size() && static_cast<int>(i) < columns; ++i) {
        ListView_SetItemText(m_view, at, static_cast<int>(i), const_cast<wchar_t*>(Wide(cells[i])));
    }
    return at;
}

int CListCtrl::GetItemCount() const { return m_view != nullptr ? ListView_GetItemCount(m_view) : 0; }

CString CListCtrl::GetItemText(int item, int column) const {
    if (m_view == nullptr || item < 0 || item >= GetItemCount()) return {};
    wchar_t buffer[1024] = {};
    ListView_GetItemText(m_view, item, column, buffer, 1024);
    return FromWide(buffer);
}

void CListCtrl::SetCurSel(int item) {
    if (m_view == nullptr) return;
    ListView_SetItemState(m_view, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (item < 0 || item >= GetItemCount()) return;
    ListView_SetItemState(m_view, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(m_view, item, FALSE);
}

void CListCtrl::FitColumns() {
    if (m_view == nullptr) return;
    HWND header = ListView_GetHeader(m_view);
    const int columns = header != nullptr ? Header_GetItemCount(header) : 0;
    for (int i = 0; i < columns; ++i) ListView_SetColumnWidth(m_view, i, LVSCW_AUTOSIZE_USEHEADER);
}

int CListCtrl::GetCurSel() const {
    return m_view != nullptr ? ListView_GetNextItem(m_view, -1, LVNI_SELECTED) : -1;
}

int CListCtrl::ClickedColumn() const {
    // Noted by the dialog's window procedure when the header's LVN_COLUMNCLICK passes (column + 1).
    return m_view != nullptr
               ? static_cast<int>(reinterpret_cast<INT_PTR>(::GetPropW(m_view, L"QuarvelColumn"))) - 1
               : -1;
}

void CListCtrl::SetSortIndicator(int column, bool ascending) {
    if (m_view == nullptr) return;
    HWND header = ListView_GetHeader(m_view);
    const int columns = header != nullptr ? Header_GetItemCount(header) : 0;
    for (int i = 0; i < columns; ++i) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        Header_GetItem(header, i, &item);
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (i == column) item.fmt |= ascending ? HDF_SORTUP : HDF_SORTDOWN;
        Header_SetItem(header, i, &item);
    }
}
