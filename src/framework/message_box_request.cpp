#include "framework/message_box_request.h"

#include "framework/win_app.h"
#include "platform/resources/resource_module.h"

namespace {

MessageBoxAnswerer& Answerer() {
    static MessageBoxAnswerer answerer;
    return answerer;
}

UINT WithDefaultIcon(UINT type) {
    if ((type & MB_ICONMASK) != 0) return type;
    const UINT buttons = type & MB_TYPEMASK;
    return type | (buttons == MB_YESNO || buttons == MB_YESNOCANCEL ? MB_ICONQUESTION : MB_ICONEXCLAMATION);
}

}  // namespace

MessageBoxRequest MessageBoxRequestFor(const CString& text, UINT type) {
    CWinApp* app = AfxGetApp();
    return MessageBoxRequest{app != nullptr ? app->m_pszAppName : CString(), text, WithDefaultIcon(type)};
}

const MessageBoxAnswerer& CurrentMessageBoxAnswerer() { return Answerer(); }

void SetMessageBoxAnswerer(MessageBoxAnswerer answerer) { Answerer() = std::move(answerer); }

int AfxMessageBox(UINT nIDPrompt, UINT nType) { return AfxMessageBox(LoadStringW(nIDPrompt), nType); }
