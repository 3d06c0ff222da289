// The run-time texts of the fit check, the same on both backends.
#include "framework/text_fit.h"

std::vector<CString> ShownTextsOf(const CResourceModule& module, const std::vector<ShownText>& shown,
                                  int dialogId, int controlId) {
    std::vector<CString> texts;
    for (const ShownText& entry : shown) {
        if (entry.dialogId != dialogId || entry.controlId != controlId) continue;
        for (UINT id : entry.stringIds) {
            if (const CString* text = module.FindString(id)) texts.push_back(*text);
        }
        texts.insert(texts.end(), entry.literals.begin(), entry.literals.end());
    }
    return texts;
}
