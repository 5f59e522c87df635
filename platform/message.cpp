#include "platform/message.h"

#include <cstdio>
#include <utility>

namespace plat {
namespace {

void WriteToStderr(const std::string& text, const std::string& caption) {
    if (caption.empty())
        std::fprintf(stderr, "%s\n", text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

MessageSink& CurrentSink() {
    static MessageSink sink;
    return sink;
}

} // namespace

void ShowMessage(const std::string& text, const std::string& caption) {
    if (const MessageSink& sink = CurrentSink())
        sink(text, caption);
    else
        WriteToStderr(text, caption);
}

MessageSink SetMessageSink(MessageSink sink) {
    return std::exchange(CurrentSink(), std::move(sink));
}

} // namespace plat
