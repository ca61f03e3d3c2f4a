// The worst patterns a file may hold: 8/4 at 60 BPM (the longest measure) full of sine
// notes of the longest length a file may give (512 sixteenths, four measures).
#pragma once

#include "pattern/uPattern.h"

// 4096 such notes, spread over the four measures' offsets, of distinct tones or all of one.
inline TNotes FloodNotes(bool distinctTones) {
  TNotes notes;
  for (int k = 0; k < 4096; ++k) {
    TNote n = DefaultNote(static_cast<std::uint16_t>((k * 37) % 512));
    n.length = 512;
    n.tone = distinctTones ? 262.0f + static_cast<float>(k) * 0.1875f : 440.0f;
    notes.push_back(n);
  }
  return notes;
}
