#pragma once
// CListCtrl: the report-mode list view of a dialog (template kind "listview") as rows of texts under a
// column header. It wraps the control's window for as long as the dialog's window exists. UI thread only.
#include <vector>

#include "framework/wnd.h"
#include "platform/win_types.h"

class QTreeWidget;

class CListCtrl {
public:
    // A control that is not a list view gives an object on which every call does nothing.
    explicit CListCtrl(CWnd* control);

    // Replaces the columns (and drops every row).
    void SetColumns(const std::vector<CString>& headings);
    void DeleteAllItems();
    // Appends one row; cells beyond the columns are ignored. Returns the row's index, or -1.
    int AddItem(const std::vector<CString>& cells);
    int GetItemCount() const;
    CString GetItemText(int item, int column) const;
    // Selects and shows the row (-1: none).
    void SetCurSel(int item);
    // Widens each column to its texts.
    void FitColumns();
    // The selected row, or -1.
    int GetCurSel() const;
    // The column whose header was clicked last (LVN_COLUMNCLICK), or -1.
    int ClickedColumn() const;
    // Shows the column the rows are sorted by, and how, in the header (-1: none).
    void SetSortIndicator(int column, bool ascending);

private:
#ifdef _WIN32
    HWND m_view = nullptr;  // the common controls' list view
#else
    QTreeWidget* m_view = nullptr;
#endif
};
