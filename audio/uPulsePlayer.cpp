#include "audio/uPulsePlayer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/uPulseLibrary.h"

namespace {

// Called only once Connect has found the library.
const TPulseApi& Pa() { return *PulseApi(); }

constexpr std::uint64_t MsSamples(std::chrono::milliseconds ms) {
  return static_cast<std::uint64_t>(ms.count()) * SampleRate / 1000;
}

constexpr pa_sample_spec StreamSpec{PA_SAMPLE_S16LE, SampleRate, 1};

bool IsGood(pa_context_state_t state) { return PA_CONTEXT_IS_GOOD(state); }
bool IsGood(pa_stream_state_t state) { return PA_STREAM_IS_GOOD(state); }

// The mainloop's lock for a scope.
class TLocked {
 public:
  explicit TLocked(pa_threaded_mainloop* loop) : FLoop(loop) {
    if (FLoop != nullptr) Pa().threaded_mainloop_lock(FLoop);
  }
  ~TLocked() {
    if (FLoop != nullptr) Pa().threaded_mainloop_unlock(FLoop);
  }
  TLocked(const TLocked&) = delete;
  TLocked& operator=(const TLocked&) = delete;

 private:
  pa_threaded_mainloop* FLoop;
};

// Waits, with the lock held, until a context or stream is ready or has failed; whether it is
// ready. Its state callback signals the mainloop.
template <class TState, class TRead>
bool WaitUntilSettled(pa_threaded_mainloop* loop, TRead state, TState readyState) {
  for (;;) {
    const TState now = state();
    if (now == readyState) return true;
    if (!IsGood(now)) return false;
    Pa().threaded_mainloop_wait(loop);
  }
}

}  // namespace

TPulseLoopPlayer::TPulseLoopPlayer(std::chrono::milliseconds retryInterval)
    : FRetry(retryInterval), FRewritten(MsSamples(Queue) + MsSamples(Request)) {}

TPulseLoopPlayer::~TPulseLoopPlayer() { Disconnect(); }

void TPulseLoopPlayer::Signal(void* self) noexcept {
  Pa().threaded_mainloop_signal(static_cast<TPulseLoopPlayer*>(self)->FMainloop, 0);
}

bool TPulseLoopPlayer::Connect() {
  if (FContext != nullptr) return true;
  if (PulseApi() == nullptr) return false;
  FMainloop = Pa().threaded_mainloop_new();
  if (FMainloop == nullptr) return false;
  pa_proplist* props = Pa().proplist_new();
  Pa().proplist_sets(props, PA_PROP_APPLICATION_NAME, "TAKTOLA");
  Pa().proplist_sets(props, PA_PROP_APPLICATION_ID, "example.taktola.Taktola");
  Pa().proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, "example.taktola.Taktola");
  FContext = Pa().context_new_with_proplist(Pa().threaded_mainloop_get_api(FMainloop), "TAKTOLA", props);
  Pa().proplist_free(props);
  if (FContext == nullptr) {
    Disconnect();
    return false;
  }
  Pa().context_set_state_callback(FContext, [](pa_context*, void* self) { Signal(self); }, this);
  bool ready = false;
  if (Pa().threaded_mainloop_start(FMainloop) >= 0) {
    TLocked lock(FMainloop);
    // Never start a server for us: without one, SDL's drivers are tried instead.
    if (Pa().context_connect(FContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0)
      ready = WaitUntilSettled(FMainloop, [&] { return Pa().context_get_state(FContext); }, PA_CONTEXT_READY);
  }
  if (!ready) Disconnect();
  return ready;
}

void TPulseLoopPlayer::Disconnect() {
  if (FMainloop == nullptr) return;
  {
    TLocked lock(FMainloop);
    CloseStream();
    if (FContext != nullptr) {
      Pa().context_set_state_callback(FContext, nullptr, nullptr);
      Pa().context_disconnect(FContext);
      Pa().context_unref(FContext);
      FContext = nullptr;
    }
  }
  Pa().threaded_mainloop_stop(FMainloop);
  Pa().threaded_mainloop_free(FMainloop);
  FMainloop = nullptr;
}

bool TPulseLoopPlayer::OpenStream() {
  if (!Connect()) return false;
  TLocked lock(FMainloop);
  pa_proplist* props = Pa().proplist_new();
  Pa().proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
  pa_stream* stream = Pa().stream_new_with_proplist(FContext, "Metronome", &StreamSpec, nullptr, props);
  Pa().proplist_free(props);
  if (stream == nullptr) return false;
  // The stream begins where the clock stands, and the loop at the place the clock gives it.
  FStreamBase = FWritten = std::max(FStandIn.Samples(), FirstSampleAtMs(FLastMs));
  FStream = stream;
  Pa().stream_set_state_callback(stream, [](pa_stream*, void* self) { Signal(self); }, this);
  Pa().stream_set_write_callback(stream, &TPulseLoopPlayer::Requested, this);
  // A long queue refilled in large requests, so the server seldom wakes for us; a hand-over
  // rewrites the queue's tail instead of waiting for it to play out. The server sets the
  // sink's own latency to the queue less two requests.
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = static_cast<std::uint32_t>(MsSamples(Queue) * 2);
  attr.minreq = static_cast<std::uint32_t>(MsSamples(Request) * 2);
  // Playing from the start and on through any underrun, so the stream's time is the
  // timeline's, and a late write loses only its own late samples.
  attr.prebuf = 0;
  attr.fragsize = static_cast<std::uint32_t>(-1);
  // Corked until there is a loop to write: otherwise the first request would be answered
  // with a latency's worth of silence, and the first beat heard only after it.
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                                    PA_STREAM_START_CORKED);
  FCorked = true;
  bool ready = false;
  if (Pa().stream_connect_playback(stream, nullptr, &attr, flags, nullptr, nullptr) >= 0)
    ready = WaitUntilSettled(FMainloop, [&] { return Pa().stream_get_state(stream); }, PA_STREAM_READY);
  if (!ready) {
    CloseStream();
    return false;
  }
  if (FLoop) Uncork();  // opened again while a loop plays: it goes on at once
  return true;
}

void TPulseLoopPlayer::Rewrite() {
  // With the lock held. What is queued from the new loop's start on (or from what is heard
  // now, for a late one) is written again, over the old; the server takes back what its sink
  // has mixed of it already, so far as the sink can.
  if (FCorked || FStream == nullptr) return;
  const std::uint64_t from = std::max(FLoopStart, FStreamBase + HeardSamples());
  if (from >= FWritten) return;
  const std::uint64_t count = std::min<std::uint64_t>(FWritten - from, FRewritten.size());
  const std::uint64_t start = FWritten - count;
  Fill(FRewritten.data(), start, count);
  Pa().stream_write(FStream, FRewritten.data(), count * 2, nullptr, -static_cast<std::int64_t>(count * 2),
                  PA_SEEK_RELATIVE);
}

void TPulseLoopPlayer::Uncork() {
  // With the lock held. The stream starts from what is written now: what the server asked
  // for while it was corked, the whole queue.
  if (!FCorked || FStream == nullptr) return;
  WriteTimeline(Pa().stream_writable_size(FStream) / 2);
  FCorked = false;
  if (pa_operation* op = Pa().stream_cork(FStream, 0, nullptr, nullptr)) Pa().operation_unref(op);
}

void TPulseLoopPlayer::CloseStream() {
  // With the lock held.
  if (FStream == nullptr) return;
  // The system's clock carries on from where the stream's stood.
  FStandIn.RestartAt(std::max(StreamClock(), FirstSampleAtMs(FLastMs)));
  Pa().stream_set_write_callback(FStream, nullptr, nullptr);
  Pa().stream_set_state_callback(FStream, nullptr, nullptr);
  Pa().stream_disconnect(FStream);
  Pa().stream_unref(FStream);
  FStream = nullptr;
}

bool TPulseLoopPlayer::Lost() {
  if (FContext == nullptr) return false;
  TLocked lock(FMainloop);
  if (!PA_CONTEXT_IS_GOOD(Pa().context_get_state(FContext))) return true;
  return FStream != nullptr && !PA_STREAM_IS_GOOD(Pa().stream_get_state(FStream));
}

bool TPulseLoopPlayer::TryOpen() {
  const bool opened = OpenStream();
  FRetry.After(opened);
  return opened;
}

std::uint64_t TPulseLoopPlayer::HeardSamples() {
  // Interpolated between the server's reports, so it moves smoothly.
  pa_usec_t heard = 0;
  if (Pa().stream_get_time(FStream, &heard) < 0) heard = 0;
  return static_cast<std::uint64_t>(static_cast<double>(heard) * SampleRate / 1e6);
}

std::uint64_t TPulseLoopPlayer::StreamClock() {
  // A stream not started yet starts with the first loop handed over, after a moment of
  // silence: the server joins a new stream to a running sink within the first few samples.
  if (FCorked) return FWritten + MsSamples(StartLead);
  // What is heard now, plus the latency: a loop stamped with it is written over the queue
  // from its stamp, in time to be heard there.
  return FStreamBase + HeardSamples() + MsSamples(Latency);
}

std::uint64_t TPulseLoopPlayer::TimelineWritten() const {
  return FStream == nullptr ? FStandIn.Samples() : FWritten;
}

std::size_t TPulseLoopPlayer::LoopsHeld() {
  TLocked lock(FMainloop);
  return (FLoop ? 1 : 0) + (FPrevious ? 1 : 0);
}

std::uint64_t TPulseLoopPlayer::SamplesPlayed() {
  if (FStream == nullptr) return FStandIn.Samples();
  TLocked lock(FMainloop);
  return StreamClock();
}

void TPulseLoopPlayer::Fill(std::int16_t* out, std::uint64_t from, std::uint64_t count) const noexcept {
  for (std::uint64_t done = 0; done < count;) {
    const std::uint64_t at = from + done;
    const bool current = at >= FLoopStart;
    const TLoop* loop = current ? FLoop.get() : FPrevious.get();
    const std::uint64_t start = current ? FLoopStart : FPreviousStart;
    std::uint64_t run = count - done;
    if (!current) run = std::min(run, FLoopStart - at);
    if (loop == nullptr || loop->empty() || at < start) {
      if (loop != nullptr && at < start) run = std::min(run, start - at);
      std::memset(out + done, 0, run * 2);
    } else {
      const std::size_t position = static_cast<std::size_t>((at - start) % loop->size());
      run = std::min<std::uint64_t>(run, loop->size() - position);
      std::memcpy(out + done, loop->data() + position, run * 2);
    }
    done += run;
  }
}

void TPulseLoopPlayer::WriteTimeline(std::uint64_t count) {
  // Into the server's own memory, which it asks for a quarter of the latency at a time.
  while (count > 0) {
    void* data = nullptr;
    std::size_t bytes = count * 2;
    if (Pa().stream_begin_write(FStream, &data, &bytes) < 0 || data == nullptr || bytes < 2) return;
    const std::uint64_t run = std::min<std::uint64_t>(bytes / 2, count);
    Fill(static_cast<std::int16_t*>(data), FWritten, run);
    if (Pa().stream_write(FStream, data, run * 2, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
    FWritten += run;
    count -= run;
  }
}

void TPulseLoopPlayer::Requested(pa_stream*, std::size_t bytes, void* self) noexcept {
  // libpulse's mainloop thread, with the lock held.
  auto* p = static_cast<TPulseLoopPlayer*>(self);
  if (p->FCorked) return;  // asked again, and written, when it starts
  p->WriteTimeline(bytes / 2);
}

std::uint32_t TPulseLoopPlayer::NextStartMs() {
  // Starting is the user's doing: a stream is opened before the start is read.
  if (!FPlaying && FStream == nullptr) TryOpen();
  return NextStartMsAfter(SamplesPlayed(), FLastMs);
}

bool TPulseLoopPlayer::PlayWavLoop(const TMemoryStream& stream, std::uint32_t startMs) {
  // Decoded and allocated here, with no lock held.
  auto samples = ReadWavImage(stream.bytes);
  if (!samples) return false;
  auto loop = std::make_unique<TLoop>(std::move(*samples));
  const std::uint64_t switchAt = FirstSampleAtMs(WidenMs(FLastMs, startMs));
  if (FStream == nullptr) TryOpen();
  FPlaying = true;
  std::unique_ptr<TLoop> done;
  {
    TLocked lock(FMainloop);
    // A previous loop still wanted before the stamp stays; one already written out goes.
    if (FPrevious && TimelineWritten() < FLoopStart) {
      // Two hand-overs before the first was due: the older one is never heard.
      done = std::move(FLoop);
    } else {
      done = std::move(FPrevious);
      FPrevious = std::move(FLoop);
      FPreviousStart = FLoopStart;
    }
    FLoop = std::move(loop);
    // A stamp already written is written over from there on (Rewrite), at its stamp's phase.
    FLoopStart = switchAt;
    Rewrite();
    Uncork();
  }
  return FStream != nullptr;  // a loop done with is freed here, with no lock held
}

bool TPulseLoopPlayer::StopWav() {
  // The stream closed, the server mixes nothing for us; the connection stays for a quick Start.
  std::unique_ptr<TLoop> loop, previous;
  {
    TLocked lock(FMainloop);
    CloseStream();
    loop = std::move(FLoop);
    previous = std::move(FPrevious);
  }
  FPlaying = false;
  return true;
}

bool TPulseLoopPlayer::CheckDevice() {
  if (!FPlaying) return FStream != nullptr;
  // The loop before the last hand-over is wanted only up to that loop's start: once the
  // timeline has passed it, an edit leaves one loop in memory, not two, until the next.
  // Only this thread hands loops over, so the lock is taken only when one may go.
  std::unique_ptr<TLoop> done;  // freed on return, with no lock held
  if (FPrevious) {
    TLocked lock(FMainloop);
    if (TimelineWritten() >= FLoopStart) done = std::move(FPrevious);
  }
  if (Lost()) {
    // The server went away: the clock carries on, and a server that comes back is found.
    {
      TLocked lock(FMainloop);
      CloseStream();
    }
    Disconnect();
  } else if (FStream != nullptr) {
    return true;
  } else if (!FRetry.Due()) {
    return false;
  }
  return TryOpen();
}

std::uint32_t TPulseLoopPlayer::TimeGetTime() {
  const std::uint64_t ms = static_cast<std::uint64_t>(static_cast<double>(SamplesPlayed()) / 44.1);
  FLastMs = std::max(ms, FLastMs);
  return static_cast<std::uint32_t>(FLastMs);
}

double TPulseLoopPlayer::OutputLatencyMs() {
  // How far the clock runs ahead of what is heard. A stream that plays is always the latency
  // ahead (StreamClock), so libpulse is asked only for one waiting for its first loop.
  if (FStream == nullptr) return 0.0;
  if (!FCorked) return static_cast<double>(MsSamples(Latency)) / 44.1;
  TLocked lock(FMainloop);
  const std::uint64_t clock = StreamClock();
  return static_cast<double>(clock - std::min(clock, FStreamBase + HeardSamples())) / 44.1;
}
