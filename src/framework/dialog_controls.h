#pragma once
// Creates the Qt widget for one control of a dialog template, at its rectangle converted from
// dialog units, and wires its notifications. Internal to the framework; UI thread only.
#include <functional>

#include "framework/dialog_units.h"
#include "platform/resource_module.h"

class QWidget;

// Receives (control id, notification code) as WM_COMMAND would carry them.
using ControlNotify = std::function<void(int id, UINT code)>;

// The widget, a child of `parent`, or null for an unknown kind (which the dialog then skips).
QWidget* CreateControl(const ControlTemplate& control, const DialogBaseUnits& units, QWidget* parent,
                       const ControlNotify& notify);

bool HasStyle(const std::vector<std::string>& styles, const char* style);
