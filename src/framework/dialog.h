#pragma once
// CDialog: a modal dialog built from a dialog template of the current resource module. The object
// outlives its window: DoModal creates the window, runs it and destroys it again; members that data
// exchange filled stay readable afterwards. UI thread only; the creator owns the object.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "framework/afx_defs.h"
#include "framework/dialog_units.h"
#include "framework/menu.h"
#include "framework/wnd.h"
#include "platform/resources/resource_module.h"

class CDataExchange;
class DialogWindow;
class QEventLoop;
class QPoint;
class QWidget;

class CDialog : public CWnd {
public:
    // The template is looked up by id in the current module when DoModal runs.
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    // A dialog from a template given directly (tools and tests).
    explicit CDialog(DialogTemplate dialogTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Creates the window (hidden), calls OnInitDialog, shows the window and runs a nested event loop
    // until EndDialog. Returns EndDialog's result, or -1 when the template is missing. The parent
    // (owner) is the given one, otherwise the application's main window.
    virtual INT_PTR DoModal();
    // Called with the window created but not yet shown. The base exchanges data towards the controls.
    // TRUE: the framework gives the focus to the first tab stop; FALSE: the dialog has set it.
    // EndDialog here ends the dialog without it ever being shown.
    virtual BOOL OnInitDialog();
    virtual void OnOK();      // UpdateData(TRUE), then, when that succeeded, EndDialog(IDOK)
    virtual void OnCancel();  // EndDialog(IDCANCEL)
    virtual void DoDataExchange(CDataExchange* pDX);
    // WM_COMMAND: routes to the registered handlers, then IDOK to OnOK and IDCANCEL to OnCancel.
    // TRUE when something handled it.
    virtual BOOL OnCommand(UINT id, UINT code);
    // WM_SYSCOMMAND from the system menu: SC_CLOSE acts as IDCANCEL, SC_MINIMIZE minimizes, SC_MOVE
    // lets the window manager move the window; other ids are ignored.
    virtual void OnSysCommand(UINT nID, LPARAM lParam);

    void EndDialog(int nResult);
    // Runs DoDataExchange. With TRUE it reads the controls back and stops at the first control that
    // fails its check; returns FALSE then (the check has shown its message and focused the control).
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    CWnd* GetDlgItem(int id) const;
    LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void SetDlgItemText(int id, const CString& text);
    CString GetDlgItemText(int id) const;
    // The dialog's own system menu (docs/user-guide.md, "The window menu"); null without the "sysmenu"
    // style or window. bRevert = TRUE restores the default items and returns null.
    CMenu* GetSystemMenu(BOOL bRevert);
    // Shows the system menu as a popup at a global position.
    void TrackSystemMenu(const QPoint& globalPos);

    // WM_SETICON, WM_COMMAND, WM_SYSCOMMAND, WM_CLOSE and the registered messages; control
    // messages go to GetDlgItem(id)->SendMessage.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) override;

    // The message map. A command handler replaces the default IDOK/IDCANCEL routing for its id.
    using MessageHandler = std::function<LRESULT(WPARAM, LPARAM)>;
    void MapCommand(UINT id, std::function<void()> handler);
    void MapNotify(int controlId, UINT code, std::function<void()> handler);
    void MapMessage(UINT message, MessageHandler handler);

    // The template in use while the window exists; its font's base units.
    const DialogTemplate* GetTemplate() const { return m_active ? &*m_active : nullptr; }
    const DialogBaseUnits& GetBaseUnits() const { return m_units; }
    bool IsEnded() const { return m_bEnded; }

protected:
    UINT m_nIDHelp = 0;
    CWnd* m_pParentWnd = nullptr;

private:
    friend class DialogWindow;

    bool CreateDialogWindow();
    void DestroyDialogWindow();
    void ResetSystemMenu();
    void RouteCommand(UINT id, UINT code);
    void PressDefault();  // Enter
    void FocusFirstTabStop();
    QWidget* OwnerWidget() const;

    UINT m_nIDTemplate = 0;
    std::optional<DialogTemplate> m_given;   // a template passed to the constructor
    std::optional<DialogTemplate> m_active;  // the template of the current window
    DialogBaseUnits m_units;
    std::vector<std::unique_ptr<CWnd>> m_controls;
    std::map<UINT, std::function<void()>> m_commands;
    std::map<std::pair<int, UINT>, std::function<void()>> m_notifications;
    std::map<UINT, MessageHandler> m_messages;
    CMenu m_systemMenu;
    bool m_bHasSystemMenu = false;
    int m_nDefaultId = IDOK;
    int m_nModalResult = -1;
    bool m_bEnded = false;
    QEventLoop* m_loop = nullptr;
};
