#pragma once
// Whether every text of a dialog template fits its control on one line: each control is built as the
// dialog builds it (template font, dialog-unit conversion, the current style), and the text's width in
// that font is compared with the room the control leaves for it. For translators and tests; UI thread,
// needs a QApplication.
#include <vector>

#include "platform/resources/resource_module.h"

// A text the program puts into a control at run time (a result in an edit, a button's other label).
struct ShownText {
    int dialogId = 0;
    int controlId = 0;
    std::vector<UINT> stringIds;    // texts of the module that the control may show
    std::vector<CString> literals;  // texts from elsewhere (the longest a tool may send), in every module
};

struct UnfitText {
    int dialogId = 0;
    int controlId = -1;        // -1 for labels and group boxes
    std::size_t position = 0;  // the control's position in the template
    CString text;
    int widthPx = 0;  // the text's width in the dialog's font
    int roomPx = 0;   // what the control leaves for it
};

// The module's texts that `shown` puts into control `controlId` of dialog `dialogId`.
std::vector<CString> ShownTextsOf(const CResourceModule& module, const std::vector<ShownText>& shown,
                                  int dialogId, int controlId);

// Checks the static texts, buttons, group boxes and edit texts of every dialog of `module`, and every
// text of `shown` in its control. An empty result means every text fits.
std::vector<UnfitText> FindUnfitTexts(const CResourceModule& module, const std::vector<ShownText>& shown);
