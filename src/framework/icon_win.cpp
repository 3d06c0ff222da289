// Icons on the Win32 backend: the module's PNG images become icons through CreateIconFromResourceEx,
// which takes PNG data since Windows Vista. One icon per id, from the image nearest 32 pixels (the
// big icon's size), kept for the rest of the process.
#include "framework/icon.h"

#include <cstdlib>
#include <map>

#include "framework/win32_window.h"
#include "platform/resources/resource_module.h"

HICON AfxLoadIcon(int id) {
    static std::map<std::pair<const CResourceModule*, int>, HICON> loaded;
    const CResourceModule& module = AfxGetResourceHandle();
    const auto key = std::make_pair(&module, id);
    if (auto it = loaded.find(key); it != loaded.end()) return it->second;
    HICON icon = nullptr;
    if (const std::vector<IconImage>* images = module.FindIcon(id)) {
        const IconImage* best = nullptr;
        for (const IconImage& image : *images) {
            if (best == nullptr || std::abs(image.size - 32) < std::abs(best->size - 32)) best = &image;
        }
        if (best != nullptr && !best->png.empty()) {
            icon = ::CreateIconFromResourceEx(const_cast<BYTE*>(best->png.data()),
                                              static_cast<DWORD>(best->png.size()), TRUE, 0x00030000, 0, 0,
                                              LR_DEFAULTCOLOR);
        }
    }
    loaded[key] = icon;
    return icon;
}
