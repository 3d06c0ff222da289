#include "framework/text_fit.h"

#include <QWidget>
#include <memory>

#include "framework/dialog_controls.h"
#include "framework/dialog_units.h"
#include "framework/wnd.h"

namespace {

// The module's texts that `shown` puts into control `controlId` of `dialogId`.

void CheckDialog(const CResourceModule& module, const DialogTemplate& tmpl,
                 const std::vector<ShownText>& shown, std::vector<UnfitText>& unfit) {
    const QFont font = DialogFont(tmpl.fontName, tmpl.fontSize);
    const DialogBaseUnits units = BaseUnitsOf(font);
    QWidget window;  // never shown: a parent with the dialog's font, as the dialog's window is
    window.setFont(font);
    const ControlNotify ignore = [](int, UINT) {};
    for (std::size_t i = 0; i < tmpl.controls.size(); ++i) {
        const ControlTemplate& control = tmpl.controls[i];
        QWidget* widget = CreateControl(control, units, &window, ignore);
        if (widget == nullptr) continue;
        CWnd wnd(widget, control.id);
        std::vector<CString> texts{control.text};
        if (control.id != -1) {
            for (CString& text : ShownTextsOf(module, shown, tmpl.id, control.id)) {
                texts.push_back(std::move(text));
            }
        }
        for (const CString& text : texts) {
            if (text.empty() || control.kind == "icon") continue;
            wnd.SetWindowText(text);
            const int room = TextRoomOf(widget);
            const int width = TextWidthOf(widget);
            if (room >= 0 && width > room) unfit.push_back({tmpl.id, control.id, i, text, width, room});
        }
    }
}

}  // namespace

std::vector<UnfitText> FindUnfitTexts(const CResourceModule& module, const std::vector<ShownText>& shown) {
    std::vector<UnfitText> unfit;
    for (int id : module.DialogIds()) CheckDialog(module, *module.FindDialog(id), shown, unfit);
    return unfit;
}
