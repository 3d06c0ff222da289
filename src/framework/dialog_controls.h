#pragma once
// Creates the Qt widget for one control of a dialog template, at its rectangle converted from
// dialog units, and wires its notifications. Internal to the framework; UI thread only.
#include <functional>

#include "framework/dialog_units.h"
#include "platform/resources/resource_module.h"

class QWidget;

// Receives (control id, notification code) as WM_COMMAND would carry them.
using ControlNotify = std::function<void(int id, UINT code)>;

// The widget, a child of `parent`, or null for an unknown kind (which the dialog then skips).
QWidget* CreateControl(const ControlTemplate& control, const DialogBaseUnits& units, QWidget* parent,
                       const ControlNotify& notify);

// The width in pixels that a control built by CreateControl leaves for one line of its text (a label,
// an edit, a push button, a group box's title); -1 for kinds whose text is not checked this way.
int TextRoomOf(QWidget* control);
// The width in pixels of the control's current text in its font, as the control draws it (without
// mnemonic marks).
int TextWidthOf(QWidget* control);

bool HasStyle(const std::vector<std::string>& styles, const char* style);
