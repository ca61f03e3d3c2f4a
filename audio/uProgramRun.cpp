#include "audio/uProgramRun.h"

#include <algorithm>
#include <cmath>

std::uint64_t TProgramRun::StampOf(std::uint64_t sample) {
  std::uint64_t ms = sample * 10 / 441;
  while (ms > 0 && FirstSampleAtMs(ms) > sample) --ms;
  return ms;
}

std::uint64_t TProgramRun::NowMs() {
  // Widened step by step, so it holds however long a program runs; a reading below the last
  // (below the start's stamp, which the clock may not have reached) counts as the last.
  FLastMs = std::max(FLastMs, WidenMs(FLastMs, FOutput.TimeGetTime()));
  return FLastMs;
}

std::optional<TPlannedMeasure> TProgramRun::Pull() {
  std::optional<TPlannedMeasure> m = FCursor->Next();
  if (m) ++FPulled;
  return m;
}

bool TProgramRun::Start(std::shared_ptr<const TProgramPlan> plan) {
  FEntries.clear();
  FNext.reset();
  FTrailed = false;
  FCursor.reset();
  FPlan = std::move(plan);
  FCursor.emplace(FPlan->Begin());
  FPulled = 0;
  const std::uint32_t startMs = FOutput.NextStartMs();
  FLastMs = startMs;
  FOrigin = FirstSampleAtMs(startMs);
  const std::optional<TPlannedMeasure> first = Pull();
  if (!first) {
    Stop();
    return false;
  }
  // Its stamp is the start read: the first sample at or after it is B0 itself.
  TEntry entry{*first, FPlan, FOrigin, {}, RenderPlannedMeasure(*first, FReader), false};
  HandOver(entry, FLastMs);
  FEntries.push_back(std::move(entry));
  FNext = Pull();
  return FSounds;
}

void TProgramRun::Stop() {
  if (FPlan) FOutput.StopWav();
  FEntries.clear();
  FNext.reset();
  FCursor.reset();
  FPlan.reset();
}

TProgramRun::TEntry TProgramRun::Follow(const TEntry& before, std::optional<TPlannedMeasure> measure) const {
  TEntry entry;
  entry.begin = before.begin + before.samples.size();
  entry.trailing = !measure;
  if (measure) {
    entry.measure = *measure;
    entry.plan = FPlan;
    entry.samples = RenderPlannedMeasure(*measure, FReader);
  } else {
    // Silence after the end, in the last measure's shape for what is heard.
    entry.measure = before.measure;
    entry.plan = before.plan;
    entry.samples.assign(TrailingSilence, 0);
  }
  const std::uint64_t stamp = StampOf(entry.begin);
  const std::size_t lead = static_cast<std::size_t>(entry.begin - FirstSampleAtMs(stamp));
  entry.lead.assign(before.samples.end() - static_cast<std::ptrdiff_t>(std::min(lead, before.samples.size())),
                    before.samples.end());
  return entry;
}

void TProgramRun::HandOver(TEntry& entry, std::uint64_t nowMs) {
  const std::uint64_t stamp = StampOf(entry.begin);
  // A measure wholly past (the timer was held up for longer than a measure) is not handed
  // over; the one after it carries on in phase.
  if (!entry.trailing && nowMs >= StampOf(entry.begin + entry.samples.size()) + SwitchMarginMs) return;
  TWav4416MI image;
  image.reserve(entry.lead.size() + entry.samples.size());
  image.insert(image.end(), entry.lead.begin(), entry.lead.end());
  image.insert(image.end(), entry.samples.begin(), entry.samples.end());
  FStream.Clear();
  WriteWav(FStream, image, 0);
  FStream.position = 0;
  FSounds = FOutput.PlayWavLoop(FStream, static_cast<std::uint32_t>(stamp));
}

bool TProgramRun::Poll() {
  if (!FPlan) return false;
  const std::uint64_t now = NowMs();
  while (!FTrailed && now >= StampOf(FEntries.back().begin) + SwitchMarginMs) {
    TEntry entry = Follow(FEntries.back(), FNext);
    HandOver(entry, now);
    FTrailed = entry.trailing;
    FEntries.push_back(std::move(entry));
    if (!FTrailed) FNext = Pull();
  }
  // Forget what has been heard, keeping the measure heard now.
  const double heard = (static_cast<double>(now) - FOutput.OutputLatencyMs()) * 44.1;
  while (FEntries.size() > 1 && static_cast<double>(FEntries[1].begin) <= heard) FEntries.pop_front();
  return !(FTrailed && heard >= static_cast<double>(FEntries.back().begin));
}

bool TProgramRun::ReplacePlan(std::shared_ptr<const TProgramPlan> plan) {
  if (!FPlan || plan->TotalSamples() != FPlan->TotalSamples()) return false;
  TProgramPlan::TCursor cursor = plan->Begin();
  std::optional<TPlannedMeasure> last;
  const std::uint64_t pulledBeforeNext = FPulled - (FNext ? 1 : 0);
  for (std::uint64_t i = 0; i < pulledBeforeNext; ++i) last = cursor.Next();
  std::optional<TPlannedMeasure> next = FNext ? cursor.Next() : std::nullopt;
  TEntry& latest = FEntries.back();
  if (!latest.trailing && last) {
    if (last->length != latest.measure.length) return false;
    latest.measure = *last;
    latest.plan = plan;
    latest.samples = RenderPlannedMeasure(*last, FReader);
  }
  FCursor.reset();
  FPlan = std::move(plan);
  // A cursor cannot be assigned; walking one anew to the same place is cheap.
  FCursor.emplace(FPlan->Begin());
  for (std::uint64_t i = 0; i < FPulled; ++i) FCursor->Next();
  FNext = next;
  if (!latest.trailing) HandOver(latest, NowMs());
  return true;
}

bool TProgramRun::SkipToNextStep() {
  if (!FPlan || FTrailed) return false;
  const std::uint64_t now = NowMs();
  // The measure handed over last may not have begun; then the step heard is the one before
  // it, and the next step may begin in its place.
  const bool replace = FEntries.size() > 1 && now + SwitchMarginMs < StampOf(FEntries.back().begin);
  const TPlannedMeasure heard = FEntries[FEntries.size() - (replace ? 2 : 1)].measure;
  const auto later = [&](const TPlannedMeasure& m) { return m.place != heard.place || m.repetition != heard.repetition; };
  if (replace && later(FEntries.back().measure)) return true;  // it begins the next step already
  std::optional<TPlannedMeasure> next = FNext;
  while (next && !later(*next)) next = Pull();
  FNext = next;
  if (!next) return false;
  if (!replace) {
    // Poll hands it over once the measure handed over last has surely begun.
    FOrigin = FEntries.back().begin + FEntries.back().samples.size() - next->firstSample;
    return true;
  }
  // The step begins in place of the measure not yet begun.
  FEntries.pop_back();
  FEntries.push_back(Follow(FEntries.back(), FNext));
  FOrigin = FEntries.back().begin - FNext->firstSample;
  HandOver(FEntries.back(), now);
  FNext = Pull();
  return true;
}

std::optional<TProgramRun::THeard> TProgramRun::Heard() {
  if (!FPlan || FEntries.empty()) return std::nullopt;
  const double heardSample = (static_cast<double>(NowMs()) - FOutput.OutputLatencyMs()) * 44.1;
  const std::uint64_t heard = heardSample <= 0 ? 0 : static_cast<std::uint64_t>(heardSample);
  const TEntry* at = &FEntries.front();
  for (const TEntry& e : FEntries)
    if (e.begin <= heard) at = &e;
  THeard result;
  result.measure = at->measure;
  if (at->trailing) {
    result.sample = at->measure.length > 0 ? at->measure.length - 1 : 0;
    return result;
  }
  result.sample = static_cast<std::uint32_t>(std::min<std::uint64_t>(heard > at->begin ? heard - at->begin : 0,
                                                                     at->samples.size() - 1));
  const std::uint64_t end = FOrigin + FPlan->TotalSamples();
  const std::uint64_t from = std::max(heard, FEntries.front().begin);
  result.samplesLeft = end > from ? end - from : 0;
  return result;
}
