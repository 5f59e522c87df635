// Messages the user must see (file errors, fatal conditions). They go to a
// replaceable sink: standard error by default, a message box once a window
// exists, a recorder in tests.
#pragma once

#include <functional>
#include <string>

namespace plat {

using MessageSink = std::function<void(const std::string& text, const std::string& caption)>;

// Shows a message through the current sink.
void ShowMessage(const std::string& text, const std::string& caption);

// Installs a sink and returns the previous one; an empty sink restores stderr.
MessageSink SetMessageSink(MessageSink sink);

} // namespace plat
