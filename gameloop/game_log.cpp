#include "gameloop/game_log.h"

#include <cstdarg>
#include <cstdio>

namespace {

GameLogSink& Sink() {
    static GameLogSink sink;
    return sink;
}

} // namespace

void GameLog(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (Sink())
        Sink()(line);
    else
        std::fprintf(stderr, "%s\n", line);
}

GameLogSink SetGameLogSink(GameLogSink sink) {
    GameLogSink previous = std::move(Sink());
    Sink() = std::move(sink);
    return previous;
}
