#include "ui/handler_registry.h"

bool HandlerRegistry::Register(std::string_view layoutClass, std::string_view name, UiHandler function) {
    if (layoutClass.empty() || name.empty() || function == nullptr)
        return false;
    auto& inner = handlers_[std::string(layoutClass)];
    return inner.emplace(std::string(name), function).second;
}

bool HandlerRegistry::RegisterTable(std::string_view layoutClass, std::span<const HandlerEntry> entries) {
    bool all = true;
    for (const HandlerEntry& entry : entries)
        all = Register(layoutClass, entry.name ? entry.name : "", entry.function) && all;
    return all;
}

UiHandler HandlerRegistry::Find(std::string_view layoutClass, std::string_view name) const {
    auto outer = handlers_.find(layoutClass);
    if (outer == handlers_.end())
        return nullptr;
    auto inner = outer->second.find(name);
    return inner == outer->second.end() ? nullptr : inner->second;
}

std::vector<std::pair<std::string, std::string>> HandlerRegistry::Names() const {
    std::vector<std::pair<std::string, std::string>> names;
    for (const auto& [layoutClass, inner] : handlers_) {
        for (const auto& entry : inner)
            names.emplace_back(layoutClass, entry.first);
    }
    return names;
}

HandlerRegistry& HandlerRegistry::Program() {
    static HandlerRegistry registry;
    return registry;
}

UiHandler& HandlerMap::Entry(std::string_view dialog, std::string_view handler) {
    auto outer = map_.find(dialog);
    if (outer == map_.end())
        outer = map_.emplace(std::string(dialog), std::map<std::string, UiHandler, std::less<>>()).first;
    auto inner = outer->second.find(handler);
    if (inner == outer->second.end())
        inner = outer->second.emplace(std::string(handler), nullptr).first;
    return inner->second;
}

UiHandler HandlerMap::Find(std::string_view dialog, std::string_view handler) const {
    auto outer = map_.find(dialog);
    if (outer == map_.end())
        return nullptr;
    auto inner = outer->second.find(handler);
    return inner == outer->second.end() ? nullptr : inner->second;
}

bool HandlerMap::Has(std::string_view dialog, std::string_view handler) const {
    auto outer = map_.find(dialog);
    return outer != map_.end() && outer->second.find(handler) != outer->second.end();
}

void BindHandlers(HandlerMap& map, const HandlerRegistry& registry, std::string_view dialog,
                  std::span<const UifLayoutRecord* const> records) {
    for (const UifLayoutRecord* record : records) {
        if (record && !record->Handler.empty())
            map.Entry(dialog, record->Handler) = registry.Find(dialog, record->Handler);
    }
}
