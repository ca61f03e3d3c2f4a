// A training program played through the same loop player as a pattern. Plain C++ on a
// TSoundOutput, so it is tried with a fake output and clock.
//
// The player loops one WAV image and takes over a new one between two samples, at the first
// sample at or after a whole millisecond of its clock. The program's measure k+1 begins at
// boundary sample B, which rarely falls on such a sample: it is handed over stamped with the
// last millisecond whose sample S is at or before B, and its image is the last B - S samples
// of measure k followed by measure k+1. So the player plays measure k up to B and measure
// k+1 from B, sample for sample; a hand-over that comes late enters the image where the
// stamp puts it, so the phase holds. Every measure is handed over (the last one is followed
// by silence), so an image never loops past its end.
//
// The player keeps one pending hand-over, which a newer one replaces, and its clock may run
// up to a device buffer ahead of the samples passed. So a measure is handed over only once
// the clock is SwitchMarginMs past the start of the one before it (that switch has surely
// happened), and then at once, well before its own start: a measure lasts at least 750 ms.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

#include "audio/uDeviceClock.h"
#include "audio/uProgramPlan.h"
#include "audio/uSoundOutput.h"
#include "audio/uWavUtils.h"

class TProgramRun {
 public:
  // How long after a measure's stamped start the next one may be handed over.
  static constexpr std::uint32_t SwitchMarginMs = 100;
  // The silence handed over after the last measure, looped until the run is stopped.
  static constexpr std::uint32_t TrailingSilence = SampleRate / 2;

  TProgramRun(TSoundOutput& output, TResourceReader reader) : FOutput(output), FReader(std::move(reader)) {}

  // Plays the plan from its beginning, at the clock's next millisecond. True when the sound
  // reaches a device.
  bool Start(std::shared_ptr<const TProgramPlan> plan);
  // Called often (at least every SwitchMarginMs / 2 or so): hands over the next measure when
  // it is due. True while the program plays; false once what is heard has passed its end,
  // or when it was never started or was stopped.
  bool Poll();
  // Stops the sound and forgets the program.
  void Stop();
  bool Active() const { return FPlan != nullptr; }
  // Whether the last hand-over reached a device.
  bool Sounds() const { return FSounds; }
  const TProgramPlan* Plan() const { return FPlan.get(); }

  // A plan with the same measures and lengths but other notes (the current pattern was
  // edited): the measures not yet begun play it, and the one handed over last is handed
  // over again at once, in phase. A plan whose measures differ in length is not taken
  // (false): the timeline would no longer agree with what plays.
  bool ReplacePlan(std::shared_ptr<const TProgramPlan> plan);
  // The next step begins at the next measure boundary not yet handed over (or in place of
  // the measure handed over last when it has not begun). False when the step playing is
  // the program's last.
  bool SkipToNextStep();

  // What is heard now: the clock less the output's latency.
  struct THeard {
    TPlannedMeasure measure;       // its notes stay valid until the next Poll or Start
    std::uint32_t sample = 0;      // within the measure
    std::uint64_t samplesLeft = 0;  // to the program's end
  };
  std::optional<THeard> Heard();

  // The stamp of a boundary sample: the last millisecond whose first sample is at or before it.
  static std::uint64_t StampOf(std::uint64_t sample);

 private:
  struct TEntry {
    TPlannedMeasure measure;
    std::shared_ptr<const TProgramPlan> plan;  // holds what measure.notes points into
    std::uint64_t begin = 0;                   // its boundary sample B on the clock's timeline
    TWav4416MI lead;                           // the end of the measure before, played first
    TWav4416MI samples;
    bool trailing = false;                     // the silence after the last measure
  };
  // The clock in 64-bit milliseconds, never less than the start's stamp.
  std::uint64_t NowMs();
  // Renders the entry's image and hands it over stamped for its boundary, unless its time
  // has passed altogether.
  void HandOver(TEntry& entry, std::uint64_t nowMs);
  // Pulls the next measure off the cursor into an entry after `before`.
  TEntry Follow(const TEntry& before, std::optional<TPlannedMeasure> measure) const;
  std::optional<TPlannedMeasure> Pull();

  TSoundOutput& FOutput;
  TResourceReader FReader;
  std::shared_ptr<const TProgramPlan> FPlan;
  std::optional<TProgramPlan::TCursor> FCursor;
  std::uint64_t FPulled = 0;  // measures taken off the cursor
  std::optional<TPlannedMeasure> FNext;  // taken off, not yet handed over
  bool FTrailed = false;                 // the trailing silence is handed over
  std::deque<TEntry> FEntries;           // handed over and not yet passed, oldest first
  std::uint64_t FLastMs = 0;  // the clock's last reading (or the start's stamp), widened to 64 bits
  std::uint64_t FOrigin = 0;  // the timeline's sample of the plan's sample 0 (moves on a skip)
  bool FSounds = false;
  TMemoryStream FStream;
};
