#include "framework/icon.h"

#include <QIcon>
#include <QPixmap>
#include <map>
#include <memory>
#include <utility>

#include "platform/resources/resource_module.h"

HICON AfxLoadIcon(int id) {
    // Keyed by module as well: a handle taken from one module stays that module's picture.
    static std::map<std::pair<const CResourceModule*, int>, std::unique_ptr<QIcon>> cache;
    const CResourceModule& module = AfxGetResourceHandle();
    const auto key = std::make_pair(&module, id);
    if (auto it = cache.find(key); it != cache.end()) return it->second.get();

    const std::vector<IconImage>* images = module.FindIcon(id);
    if (images == nullptr) return nullptr;
    auto icon = std::make_unique<QIcon>();
    for (const IconImage& image : *images) {
        QPixmap pixmap;
        if (pixmap.loadFromData(image.png.data(), static_cast<uint>(image.png.size()), "PNG")) {
            icon->addPixmap(pixmap);
        }
    }
    if (icon->isNull()) return nullptr;
    return cache.emplace(key, std::move(icon)).first->second.get();
}
