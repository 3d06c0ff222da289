// The parts of CDialog that are the same on every backend: construction, the message map and its
// routing of commands, data exchange and the control look-ups. The window itself is the backend's
// (dialog.cpp on Qt, dialog_win.cpp on Win32).
#include "framework/data_exchange.h"
#include "framework/dialog.h"

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_pParentWnd(pParentWnd), m_nIDTemplate(nIDTemplate) {}

CDialog::CDialog(DialogTemplate dialogTemplate, CWnd* pParentWnd)
    : m_pParentWnd(pParentWnd),
      m_nIDTemplate(static_cast<UINT>(dialogTemplate.id)),
      m_given(std::move(dialogTemplate)) {}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    if (m_hWnd == nullptr) return FALSE;
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return dx.HasFailed() ? FALSE : TRUE;
}

CWnd* CDialog::GetDlgItem(int id) const {
    for (const auto& control : m_controls) {
        if (control->GetDlgCtrlID() == id) return control.get();
    }
    return nullptr;
}

LRESULT CDialog::SendDlgItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* item = GetDlgItem(id);
    return item != nullptr ? item->SendMessage(message, wParam, lParam) : 0;
}

void CDialog::SetDlgItemText(int id, const CString& text) {
    if (CWnd* item = GetDlgItem(id)) item->SetWindowText(text);
}

CString CDialog::GetDlgItemText(int id) const {
    const CWnd* item = GetDlgItem(id);
    return item != nullptr ? item->GetWindowText() : CString();
}

BOOL CDialog::OnCommand(UINT id, UINT code) {
    if (code == BN_CLICKED) {
        if (auto it = m_commands.find(id); it != m_commands.end()) {
            auto handler = it->second;  // a copy: the handler may change the map
            handler();
            return TRUE;
        }
        if (id == static_cast<UINT>(IDOK)) {
            OnOK();
            return TRUE;
        }
        if (id == static_cast<UINT>(IDCANCEL)) {
            OnCancel();
            return TRUE;
        }
    }
    if (auto it = m_notifications.find({static_cast<int>(id), code}); it != m_notifications.end()) {
        auto handler = it->second;
        handler();
        return TRUE;
    }
    return FALSE;
}

void CDialog::MapCommand(UINT id, std::function<void()> handler) { m_commands[id] = std::move(handler); }

void CDialog::MapNotify(int controlId, UINT code, std::function<void()> handler) {
    m_notifications[{controlId, code}] = std::move(handler);
}

void CDialog::MapMessage(UINT message, MessageHandler handler) { m_messages[message] = std::move(handler); }
