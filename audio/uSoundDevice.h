// The sound output the program plays through: PulseAudio's own stream where a server answers
// (so a PipeWire desktop too), which costs the server far less; SDL's audio otherwise, or
// whenever SDL_AUDIODRIVER names a driver (the tests' dummy and disk drivers, a user's
// choice).
#pragma once

#include "audio/uSoundOutput.h"

// Made at its first use, and chosen at the first call made to it, so that start-up waits for
// no sound server.
TSoundOutput& DefaultSoundOutput();

// Chooses it now, connecting to the sound server (no stream is opened): called once the
// window is up, so that the first Start is heard as soon as any later one.
void PrepareSoundOutput();
