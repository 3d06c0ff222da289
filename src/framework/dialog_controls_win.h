#pragma once
// The control kinds of the resource module that the Win32 backend builds (dialog_template_win.cpp).
#include <string>

#include "platform/resources/resource_module.h"

bool IsKnownControlKind(const std::string& kind);
bool HasStyleOf(const DialogTemplate& tmpl, const char* style);
