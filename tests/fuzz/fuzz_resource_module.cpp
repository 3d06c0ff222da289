// Fuzz target: the resource-module parser (a language pack is any file a settings value names).
// Properties: no crash or hang; a module that parses carries every template and icon the programs need,
// and never more than its text could hold: the number of strings, dialogs, controls and icon images and
// the total size of the texts and images are bounded by the size of the input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "ids/resource_requirements.h"
#include "platform/resources/resource_module.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const auto module = CResourceModule::Parse(text, &error, QuarvelResourceRequirements());
    if (!module) {
        FUZZ_CHECK(!error.empty(), "a refused module gives no reason");
        return 0;
    }
    FUZZ_CHECK(module->FindDialog(100) && module->FindDialog(102) && module->FindDialog(7000) &&
                   module->FindIcon(128),
               "a module without the required templates was accepted");

    std::size_t textUnits = 0;  // every UTF-16 unit comes from at least one input byte
    const auto strings = module->StringIds();
    for (UINT id : strings) textUnits += module->FindString(id)->size();
    std::size_t controls = 0;
    const auto dialogs = module->DialogIds();
    for (int id : dialogs) {
        const DialogTemplate* d = module->FindDialog(id);
        textUnits += d->caption.size() + d->fontName.size();
        controls += d->controls.size();
        for (const ControlTemplate& c : d->controls) textUnits += c.text.size();
    }
    std::size_t images = 0, pngBytes = 0;
    for (int id : module->IconIds()) {
        for (const IconImage& image : *module->FindIcon(id)) {
            ++images;
            pngBytes += image.png.size();  // base64: 4 input bytes for every 3
        }
    }
    FUZZ_CHECK(strings.size() + dialogs.size() + controls + images <= size,
               "more entries than the input holds");
    FUZZ_CHECK(textUnits <= size, "%zu text units from %zu bytes", textUnits, size);
    FUZZ_CHECK(pngBytes / 3 * 4 <= size, "%zu image bytes from %zu bytes", pngBytes, size);
    return 0;
}
