#pragma once
// A dialog template of the resource module as the DLGTEMPLATEEX that DialogBoxIndirectParamW takes:
// the same dialog units, font and styles. Internal to the Win32 backend; pure, any thread.
#include <cstdint>
#include <vector>

#include "platform/resources/resource_module.h"

// The template's bytes (DWORD-aligned as the system wants them; keep the vector alive while in use).
std::vector<std::uint32_t> BuildDialogTemplate(const DialogTemplate& tmpl);
