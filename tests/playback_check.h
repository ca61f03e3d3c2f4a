// Checks a recording of the player's output against the loops that were handed over.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audio/uBeatClock.h"
#include "recording_output.h"

struct TSeamCheck {
  std::uint64_t at = 0;           // output sample where the loop took over, as stamped
  std::uint64_t late = 0;         // how much later the callback actually took it over
  std::uint64_t samples = 0;      // how long it played
  std::uint64_t wrong = 0;        // samples that are not the loop's
  std::uint64_t firstWrong = 0;   // the first of them, counted into the loop
  std::int64_t phaseError = 0;    // new loop's start against the kept phase, in samples
};

struct TPlaybackCheck {
  std::optional<std::int64_t> shift;  // file position of output sample 0
  std::vector<TSeamCheck> loops;
};

// stream: what the disk driver wrote; offsets and lengths: where each loop begins in its
// measure and how long that measure is, as the window said after each hand-over.
inline TPlaybackCheck CheckPlayback(const std::vector<std::int16_t>& stream,
                                    const std::vector<TRecordingOutput::THandOver>& hand,
                                    const std::vector<std::uint32_t>& offsets,
                                    const std::vector<std::uint32_t>& lengths, std::uint64_t stoppedAt) {
  TPlaybackCheck check;
  if (hand.empty()) return check;
  // The file also holds whatever the driver wrote before the first hand-over: find the
  // first loop's opening in it.
  const TWav4416MI& first = hand[0].loop;
  const std::size_t probe = std::min<std::size_t>(4000, first.size());
  for (std::size_t c = 0; c + probe < stream.size(); ++c)
    if (std::equal(first.begin(), first.begin() + probe, stream.begin() + c)) {
      check.shift = static_cast<std::int64_t>(c) - static_cast<std::int64_t>(hand[0].at);
      break;
    }
  if (!check.shift || stream.size() < stoppedAt + *check.shift) return check;
  for (std::size_t j = 0; j < hand.size(); ++j) {
    TSeamCheck seam;
    const TWav4416MI& loop = hand[j].loop;
    seam.at = hand[j].at;
    // A loop that arrived after its stamped start came in later, where the stamp puts it;
    // until then the loop before went on.
    const auto begin = [&](std::size_t k) { return std::max(hand[k].at, hand[k].switchedAt); };
    seam.late = begin(j) - seam.at;
    const std::uint64_t end = j + 1 < hand.size() ? begin(j + 1) : stoppedAt;
    seam.samples = end - begin(j);
    for (std::uint64_t p = begin(j); p < end; ++p)
      if (stream[p + *check.shift] != loop[(p - seam.at) % loop.size()] && seam.wrong++ == 0)
        seam.firstWrong = p - seam.at;
    if (j > 0) {
      const std::uint32_t kept = RestartOffset(offsets[j - 1], static_cast<std::int64_t>(seam.at - hand[j - 1].at),
                                               lengths[j - 1], lengths[j]);
      seam.phaseError = static_cast<std::int64_t>(offsets[j]) - static_cast<std::int64_t>(kept);
    }
    check.loops.push_back(seam);
  }
  return check;
}
