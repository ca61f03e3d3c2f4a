// The loop player on a PulseAudio stream (a PipeWire desktop serves the same protocol), for
// Linux desktops: it costs the sound server a fraction of what SDL's stream does. SDL keeps a
// small buffer in the server and refills it every quarter of it, so the server wakes hundreds
// of times a second. Here the server keeps a long queue (Queue) and asks for a large part of
// it at a time (Request), and its sink runs with the queue less two requests, 30 ms: the
// server wakes a few dozen times a second. A loop handed over is not left to wait behind the
// queue: the queue is written over from the loop's stamp on, which lies a latency (Latency,
// more than the sink's) ahead of what is heard, so the sink has not mixed it yet.
//
// The clock is what is heard plus that latency, carried on by the system's monotonic clock
// while no stream plays. A loop stamped for a sample already heard comes in at the first
// sample the server can still take back, at the place its stamp gives it, so the phase holds.
// A stream opens corked and starts with the first loop handed over, so Start is heard at once.
//
// Threads. The caller's thread (the GUI thread) calls every public function. libpulse's
// mainloop thread runs the write callback, with the mainloop's lock held. The fields marked
// "shared" are used by the callback, and by the caller's thread under that lock, which
// the caller holds to read the clock, to swap pointers and to write the queue over (a copy
// of at most the queue; the server plays from its queue meanwhile); the callback only reads
// the loops' pointers, so the caller may read them without it. Loops are decoded, allocated
// and freed with no lock held.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/uDeviceClock.h"
#include "audio/uSoundOutput.h"

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

class TPulseLoopPlayer final : public TSoundOutput {
 public:
  // From our write to the ear: how soon a loop handed over is heard.
  static constexpr std::chrono::milliseconds Latency{40};
  // The server's queue for us, and how much of it it asks for at a time.
  static constexpr std::chrono::milliseconds Queue{230};
  static constexpr std::chrono::milliseconds Request{100};
  // A stamp lies beyond what the sink has mixed, so a hand-over needs no rewind of the sink.
  static_assert(Latency > Queue - 2 * Request);
  // The silence before a new stream's first loop.
  static constexpr std::chrono::milliseconds StartLead{5};

  explicit TPulseLoopPlayer(std::chrono::milliseconds retryInterval = std::chrono::seconds(1));
  ~TPulseLoopPlayer() override;
  TPulseLoopPlayer(const TPulseLoopPlayer&) = delete;
  TPulseLoopPlayer& operator=(const TPulseLoopPlayer&) = delete;

  // Connects to the PulseAudio server now, if one answers (none is started for the asking);
  // playing connects by itself, and again after the server went away.
  bool Connect();

  std::uint32_t NextStartMs() override;
  bool PlayWavLoop(const TMemoryStream& stream, std::uint32_t startMs) override;
  bool StopWav() override;
  bool CheckDevice() override;
  std::uint32_t TimeGetTime() override;
  double OutputLatencyMs() override;

  // The clock in samples; whether a stream plays.
  std::uint64_t SamplesPlayed();
  bool DeviceOpen() const { return FStream != nullptr; }
  // How many loops it holds: the one playing, and the one before it until the timeline
  // has passed the hand-over (CheckDevice lets it go then).
  std::size_t LoopsHeld();

 private:
  using TLoop = TWav4416MI;

  void Disconnect();
  bool OpenStream();
  void CloseStream();
  bool Lost();
  bool TryOpen();
  // With the lock held: the timeline's sample up to which the sound is decided.
  std::uint64_t TimelineWritten() const;
  // Starts a stream opened corked; writes the queue over from a new loop's start on. With
  // the lock held.
  void Uncork();
  void Rewrite();
  // With the lock held: the stream's samples heard so far, and the clock.
  std::uint64_t HeardSamples();
  std::uint64_t StreamClock();
  // Writes the timeline's next `count` samples; with the lock held.
  void WriteTimeline(std::uint64_t count);
  void Fill(std::int16_t* out, std::uint64_t from, std::uint64_t count) const noexcept;
  static void Requested(pa_stream* stream, std::size_t bytes, void* self) noexcept;
  static void Signal(void* self) noexcept;

  // The caller's thread only.
  TRetryPacing FRetry;
  bool FPlaying = false;
  std::uint64_t FLastMs = 0;
  TStandInClock FStandIn;  // the clock while no stream plays
  pa_threaded_mainloop* FMainloop = nullptr;
  pa_context* FContext = nullptr;

  // Shared (see the top). What plays from which sample of the timeline on: FPrevious until
  // FLoopStart, FLoop from there; FWritten is the sample the stream's write index stands at.
  pa_stream* FStream = nullptr;
  std::uint64_t FStreamBase = 0;  // the timeline's sample at the stream's first
  std::uint64_t FWritten = 0;
  bool FCorked = false;  // opened, waiting for its first loop
  std::vector<std::int16_t> FRewritten;  // the queue written over, made once
  std::unique_ptr<TLoop> FLoop;
  std::unique_ptr<TLoop> FPrevious;
  std::uint64_t FLoopStart = 0;
  std::uint64_t FPreviousStart = 0;
};
