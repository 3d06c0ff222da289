#include "framework/data_exchange.h"

#include <charconv>
#include <cstdio>
#include <string>

#include "framework/dialog.h"
#include "framework/framework_text.h"
#include "framework/message_box.h"
#include "ids/resource_ids.h"

namespace {

std::string Narrow(const CString& text) {
    // Numbers are ASCII; anything else cannot parse and is replaced so the check fails.
    std::string out;
    out.reserve(text.size());
    for (char16_t unit : text) out.push_back(unit < 0x80 ? static_cast<char>(unit) : '\x7F');
    return out;
}

CString Widen(const char* text) {
    CString out;
    for (; *text != '\0'; ++text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
    return out;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool ParseUnsigned(const CString& text, UINT& value) {
    const std::string digits = Trim(Narrow(text));
    std::size_t start = !digits.empty() && digits[0] == '+' ? 1 : 0;
    if (start >= digits.size()) return false;
    unsigned long long result = 0;
    for (std::size_t i = start; i < digits.size(); ++i) {
        if (digits[i] < '0' || digits[i] > '9') return false;
        result = result * 10 + static_cast<unsigned>(digits[i] - '0');
        if (result > 0xFFFFFFFFull) return false;
    }
    value = static_cast<UINT>(result);
    return true;
}

// Locale-independent both ways: the decimal point is always '.', whatever LC_NUMERIC says.
bool ParseDouble(const CString& text, double& value) {
    const std::string number = Trim(Narrow(text));
    const char* first = number.data();
    const char* last = number.data() + number.size();
    if (first != last && *first == '+') ++first;
    if (first == last) return false;
    double result = 0;
    const auto [end, error] = std::from_chars(first, last, result);
    if (error != std::errc() || end != last) return false;
    value = result;
    return true;
}

CString FormatDouble(double value) {
    char buffer[64];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer - 1, value, std::chars_format::general, 15);
    *(error == std::errc() ? end : buffer) = '\0';
    return Widen(buffer);
}

}  // namespace

CWnd* CDataExchange::PrepareCtrl(int nIDC) {
    m_idLastControl = nIDC;
    m_bEditLastControl = false;
    return m_pDlgWnd->GetDlgItem(nIDC);
}

CWnd* CDataExchange::PrepareEditCtrl(int nIDC) {
    CWnd* control = PrepareCtrl(nIDC);
    m_bEditLastControl = true;
    return control;
}

void CDataExchange::Fail() {
    m_bFailed = true;
    if (!m_bSaveAndValidate) return;
    if (CWnd* control = m_pDlgWnd->GetDlgItem(m_idLastControl)) {
        control->SetFocus();
        if (m_bEditLastControl) control->SendMessage(EM_SETSEL, 0, -1);
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value) {
    if (pDX->HasFailed()) return;
    CWnd* control = pDX->PrepareEditCtrl(nIDC);
    if (control == nullptr) return;
    if (!pDX->m_bSaveAndValidate) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%u", value);
        control->SetWindowText(Widen(buffer));
        return;
    }
    UINT parsed = 0;
    if (!ParseUnsigned(control->GetWindowText(), parsed)) {
        AfxMessageBox(LoadFrameworkString(IDS_FW_PARSE_INT), MB_OK);
        pDX->Fail();
        return;
    }
    value = parsed;
}

void DDX_Text(CDataExchange* pDX, int nIDC, double& value) {
    if (pDX->HasFailed()) return;
    CWnd* control = pDX->PrepareEditCtrl(nIDC);
    if (control == nullptr) return;
    if (!pDX->m_bSaveAndValidate) {
        control->SetWindowText(FormatDouble(value));
        return;
    }
    double parsed = 0;
    if (!ParseDouble(control->GetWindowText(), parsed)) {
        AfxMessageBox(LoadFrameworkString(IDS_FW_PARSE_REAL), MB_OK);
        pDX->Fail();
        return;
    }
    value = parsed;
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value) {
    if (pDX->HasFailed()) return;
    CWnd* control = pDX->PrepareEditCtrl(nIDC);
    if (control == nullptr) return;
    if (pDX->m_bSaveAndValidate) {
        value = control->GetWindowText();
    } else {
        control->SetWindowText(value);
    }
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index) {
    if (pDX->HasFailed()) return;
    CWnd* control = pDX->PrepareCtrl(nIDC);
    if (control == nullptr) return;
    if (pDX->m_bSaveAndValidate) {
        index = static_cast<int>(control->SendMessage(CB_GETCURSEL));
    } else {
        control->SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index));
    }
}

void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index) {
    if (pDX->HasFailed()) return;
    CWnd* control = pDX->PrepareCtrl(nIDC);
    if (control == nullptr) return;
    if (pDX->m_bSaveAndValidate) {
        index = static_cast<int>(control->SendMessage(LB_GETCURSEL));
    } else {
        control->SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index));
    }
}

void DDV_MinMaxUInt(CDataExchange* pDX, UINT value, UINT minVal, UINT maxVal) {
    if (pDX->HasFailed() || !pDX->m_bSaveAndValidate) return;
    if (value >= minVal && value <= maxVal) return;
    const CString text =
        FormatFrameworkMessage(LoadFrameworkString(IDS_FW_PARSE_INT_RANGE),
                               Widen(std::to_string(minVal).c_str()), Widen(std::to_string(maxVal).c_str()));
    AfxMessageBox(text, MB_OK);
    pDX->Fail();
}

void DDV_MaxChars(CDataExchange* pDX, const CString&, int nChars) {
    if (pDX->HasFailed() || pDX->m_bSaveAndValidate) return;
    // The edit then refuses longer input, so a value read back never exceeds the limit.
    if (CWnd* control = pDX->m_pDlgWnd->GetDlgItem(pDX->LastControlId())) {
        control->SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(nChars > 0 ? nChars : 0));
    }
}
