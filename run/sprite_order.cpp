#include "run/sprite_order.h"

#include <algorithm>
#include <cstddef>
#include <nlohmann/json.hpp>

#include "platform/directory.h"

void SortSpriteNames(std::vector<std::string>& names) { std::sort(names.begin(), names.end(), platform::NameLess); }

std::string SpriteOrderJson(const std::string& json) {
    const nlohmann::json parsed = nlohmann::json::parse(json, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_array()) return std::string();
    std::vector<std::string> names;
    names.reserve(parsed.size());
    for (const nlohmann::json& name : parsed) {
        if (!name.is_string()) return std::string();
        names.push_back(name.get<std::string>());
    }
    std::vector<std::size_t> order(names.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    // Stable: names equal byte for byte keep the order they came in.
    std::stable_sort(order.begin(), order.end(), [&names](std::size_t left, std::size_t right) {
        return platform::NameLess(names[left], names[right]);
    });
    return nlohmann::json(order).dump();
}
