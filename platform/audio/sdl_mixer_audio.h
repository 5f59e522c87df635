// The sound backend on SDL_mixer: effects on mixer channels, the music on
// the mixer's one music stream. The only code that includes SDL_mixer.
#pragma once

#include "platform/audio.h"

#include <memory>

namespace plat {

// A backend on SDL_mixer; SDL's audio driver is chosen by SDL (the variable
// SDL_AUDIODRIVER, "dummy" for a machine without sound).
std::unique_ptr<Audio> CreateSdlMixerAudio();

} // namespace plat
