#pragma once
// Dialog data exchange: DoDataExchange calls these in order, either writing members to the controls
// (m_bSaveAndValidate FALSE) or reading them back and checking them (TRUE). The first check that fails
// shows its message, puts the focus on its control and makes every later call of the same exchange do
// nothing, so UpdateData returns FALSE with the members up to that control read. UI thread only;
// one CDataExchange lives for one UpdateData call.
#include "platform/win_types.h"

class CDialog;
class CWnd;

class CDataExchange {
public:
    CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    // Remembers the control the next checks refer to; null when the dialog has no such control.
    CWnd* PrepareCtrl(int nIDC);
    CWnd* PrepareEditCtrl(int nIDC);
    // Ends the exchange as failed and gives the focus to the last prepared control.
    void Fail();
    bool HasFailed() const { return m_bFailed; }
    int LastControlId() const { return m_idLastControl; }

    BOOL m_bSaveAndValidate;
    CDialog* m_pDlgWnd;

private:
    int m_idLastControl = 0;
    bool m_bEditLastControl = false;
    bool m_bFailed = false;
};

// Text in an edit: "%u" for unsigned, "%.*g" with 15 digits for double. Reading back accepts what a
// user types (spaces around the number); anything else brings the framework's number message.
void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);
void DDX_Text(CDataExchange* pDX, int nIDC, double& value);
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
// The selected entry's position in a combo box (-1: none).
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
// The selected entry's position in a list box (-1: none).
void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index);

// When reading back: value must lie in minVal..maxVal, else "Enter an integer between %1 and %2.".
void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal);
// When writing to the controls: limits the last prepared edit to nChars characters.
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars);
