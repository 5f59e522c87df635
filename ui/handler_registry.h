// Handlers of the layouts: the program's own functions, registered by their
// layout class and short name from explicit tables (no symbol lookup), and
// the handler map that loading a layout fills from the names it carries.
#pragma once

#include "ui/layout_record.h"

#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class UifControl;

// A handler gets the widget that fired, or null (Init, Escape, Enter).
using UiHandler = void (*)(UifControl*);

struct HandlerEntry {
    const char* name;
    UiHandler function;
};

class HandlerRegistry {
public:
    // False, keeping the first, when the class already has a handler of that
    // name, or for an empty name or a null function.
    bool Register(std::string_view layoutClass, std::string_view name, UiHandler function);
    // Registers a class's table; false when any entry was refused.
    bool RegisterTable(std::string_view layoutClass, std::span<const HandlerEntry> entries);
    // Null when the class has no handler of that name.
    UiHandler Find(std::string_view layoutClass, std::string_view name) const;
    // Every registered (class, name), in order.
    std::vector<std::pair<std::string, std::string>> Names() const;
    void Clear() { handlers_.clear(); }

    // The registry of the program's handlers, filled at start-up.
    static HandlerRegistry& Program();

private:
    std::map<std::string, std::map<std::string, UiHandler, std::less<>>, std::less<>> handlers_;
};

// Dialog name -> handler name -> function (null when the program has none).
// Lives as long as the dialog manager and is never emptied; loading a layout
// again overwrites the entries of its names.
class HandlerMap {
public:
    // The entry, made null when missing.
    UiHandler& Entry(std::string_view dialog, std::string_view handler);
    // The function, or null; makes no entry.
    UiHandler Find(std::string_view dialog, std::string_view handler) const;
    bool Has(std::string_view dialog, std::string_view handler) const;

private:
    std::map<std::string, std::map<std::string, UiHandler, std::less<>>, std::less<>> map_;
};

// Binds the non-empty Handler of every record under the dialog name: each
// name is looked up in the registry under that class and stored, null when
// the program has no such handler.
void BindHandlers(HandlerMap& map, const HandlerRegistry& registry, std::string_view dialog,
                  std::span<const UifLayoutRecord* const> records);
