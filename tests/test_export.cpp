// Export: the files decode (with libsndfile) to exactly the samples the player plays, a
// cancel or a failure leaves no file behind, and the formats follow the file's name.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <fstream>

#include "audio/uExport.h"
#include "audio/uTransport.h"
#include "constant_voices.h"
#include "fake_sound.h"
#include "temp_folder.h"

namespace {

struct TDecoded {
  SF_INFO info{};
  TWav4416MI samples;
};

std::optional<TDecoded> Decode(const std::filesystem::path& path) {
  TDecoded d;
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &d.info);
  if (!file) return std::nullopt;
  std::int16_t block[4096];
  for (sf_count_t n; (n = sf_read_short(file, block, 4096)) > 0;) d.samples.insert(d.samples.end(), block, block + n);
  sf_close(file);
  return d;
}

const TStepPattern Pattern{{DefaultNote(0), DefaultNote(16), DefaultNote(40), [] {
                              TNote voice = DefaultNote(32);
                              voice.n_type = 3;
                              return voice;
                            }()},
                           4};

// A pattern looped for `wanted` samples, exported and decoded again: a mono 44.1 kHz file.
std::optional<TDecoded> ExportLoop(std::int32_t tempo, std::uint64_t wanted, const std::filesystem::path& file,
                                   TExportFormat format, const TResourceReader& reader,
                                   std::uint64_t* rendered = nullptr) {
  const TProgramPlan plan = TProgramPlan::Loop(Pattern, tempo, wanted);
  TPlanSamples samples(plan, wanted, reader);
  EXPECT_EQ(ExportSamples(samples, file, format), TExportResult::Written);
  if (rendered) *rendered = samples.Rendered();
  auto decoded = Decode(file);
  EXPECT_TRUE(decoded);
  if (decoded) {
    EXPECT_EQ(decoded->info.channels, 1);
    EXPECT_EQ(decoded->info.samplerate, 44100);
  }
  return decoded;
}

// The loop the player is handed for the pattern at the tempo, as the window starts it.
TWav4416MI PlayerLoop(const TStepPattern& pattern, std::int32_t tempo, const TResourceReader& reader) {
  TFakeSound sound;
  TTransport transport(sound);
  transport.Start([&] { return RenderMeasure(pattern.notes, MeasureLength(pattern.beats, tempo), tempo, reader); });
  return sound.loops.at(0);
}

// The first index where the two differ, or none.
std::optional<std::size_t> FirstDifference(const TWav4416MI& a, const TWav4416MI& b) {
  const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  if (ia == a.end() && ib == b.end()) return std::nullopt;
  return static_cast<std::size_t>(ia - a.begin());
}

TEST(ExportFormat, ByTheFilesExtension) {
  const struct {
    const char* name;
    std::optional<TExportFormat> format;
  } cases[] = {
      {"run.wav", TExportFormat::Wav},   {"RUN.WAV", TExportFormat::Wav},         {"a/b.flac", TExportFormat::Flac},
      {"x.ogg", TExportFormat::OggVorbis}, {"x.oga", TExportFormat::OggVorbis},   {"x.Mp3", TExportFormat::Mp3},
      {"x.aiff", std::nullopt},          {"wav", std::nullopt},                   {"x.wav.txt", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ExportFormatOfPath(c.name), c.format) << c.name;
  EXPECT_TRUE(IsExportFormatAvailable(TExportFormat::Wav));
  EXPECT_EQ(AvailableExportFormats().front(), TExportFormat::Wav);
}

// A pattern's export is the player's loop from the start of its measure, over and over,
// cut at the duration; in WAV and, where it is written, in FLAC: both lossless.
TEST(Export, APatternDecodesToThePlayersLoopRepeated) {
  TTempFolder folder;
  const TConstantVoices voices;
  const TWav4416MI loop = PlayerLoop(Pattern, 133, voices.Reader());
  const std::uint64_t wanted = 20 * 44100 + 7;
  for (const TExportFormat format : {TExportFormat::Wav, TExportFormat::Flac}) {
    if (!IsExportFormatAvailable(format)) continue;
    SCOPED_TRACE(std::string(ExportFormatName(format)));
    std::uint64_t rendered = 0;
    const auto decoded = ExportLoop(133, wanted, folder.path / ("run" + std::string(ExportExtension(format))), format,
                                    voices.Reader(), &rendered);
    ASSERT_TRUE(decoded);
    TWav4416MI expected(wanted);
    for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = loop[i % loop.size()];
    EXPECT_EQ(FirstDifference(decoded->samples, expected), std::nullopt);
    EXPECT_EQ(rendered, 1u);  // the measure rendered once
  }
  EXPECT_EQ(std::filesystem::file_size(folder.path / "run.wav"), 44 + 2 * wanted);
}

// A program's export: every plain measure is the player's loop for its pattern and tempo,
// one after another; the count-in measures carry the words.
TEST(Export, AProgramDecodesToItsMeasuresAsThePlayerPlaysThem) {
  TTempFolder folder;
  const TConstantVoices voices;
  TProgram program;
  program.rounds.push_back({1, {{"", 120, 120, TDurationUnit::Seconds, 5, true, false}}});
  program.rounds.push_back({3,
                            {{"", 100, 110, TDurationUnit::Measures, 4, true, false},
                             {"", 90, 90, TDurationUnit::Measures, 1, false, true}}});
  const TStepPattern threeFour{DefaultNotes(3), 3};
  const TProgramPlan plan(program, {{Pattern}, {threeFour, Pattern}}, TCountInLanguage::English);
  TWav4416MI expected;
  int countIns = 0;
  for (auto cursor = plan.Begin(); const auto m = cursor.Next();) {
    const TWav4416MI measure = m->cueCount > 0 || m->silent
                                   ? RenderPlannedMeasure(*m, voices.Reader())
                                   : PlayerLoop({*m->notes, m->beats}, m->tempo, voices.Reader());
    countIns += m->cueCount > 0;
    expected.insert(expected.end(), measure.begin(), measure.end());
  }
  EXPECT_EQ(countIns, 4);  // the lead-in and before each repetition of the ramp
  ASSERT_EQ(expected.size(), plan.TotalSamples());
  const std::filesystem::path file = folder.path / "program.wav";
  TPlanSamples samples(plan, plan.TotalSamples(), voices.Reader());
  std::vector<std::uint64_t> progress;
  ASSERT_EQ(ExportSamples(samples, file, TExportFormat::Wav,
                          [&](std::uint64_t done, std::uint64_t total) {
                            EXPECT_EQ(total, plan.TotalSamples());
                            progress.push_back(done);
                            return true;
                          }),
            TExportResult::Written);
  const auto decoded = Decode(file);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(FirstDifference(decoded->samples, expected), std::nullopt);
  ASSERT_FALSE(progress.empty());
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_EQ(progress.back(), plan.TotalSamples());
}

// The lossy formats, where this libsndfile writes them: a mono 44.1 kHz file of about the
// length asked for (an encoder may pad a few frames), that holds sound.
TEST(Export, LossyFormatsWhereAvailable) {
  TTempFolder folder;
  const TConstantVoices voices;
  const std::uint64_t wanted = 10 * 44100;
  for (const TExportFormat format : {TExportFormat::OggVorbis, TExportFormat::Mp3}) {
    if (!IsExportFormatAvailable(format)) {
      std::printf("%s: not written by this libsndfile\n", std::string(ExportFormatName(format)).c_str());
      continue;
    }
    SCOPED_TRACE(std::string(ExportFormatName(format)));
    const auto decoded =
        ExportLoop(150, wanted, folder.path / ("run" + std::string(ExportExtension(format))), format, voices.Reader());
    ASSERT_TRUE(decoded);
    EXPECT_NEAR(static_cast<double>(decoded->samples.size()), static_cast<double>(wanted), 0.01 * wanted);
    EXPECT_GT(*std::max_element(decoded->samples.begin(), decoded->samples.end()), 10000);
  }
}

TEST(Export, ACancelLeavesNoFileAndTheOldOneAsItWas) {
  TTempFolder folder;
  const TConstantVoices voices;
  const std::filesystem::path file = folder.path / "run.wav";
  std::ofstream(file, std::ios::binary) << "old";
  const TProgramPlan plan = TProgramPlan::Loop(Pattern, 120, 60 * 44100);
  TPlanSamples samples(plan, plan.TotalSamples(), voices.Reader());
  int calls = 0;
  EXPECT_EQ(ExportSamples(samples, file, TExportFormat::Wav, [&](std::uint64_t, std::uint64_t) { return ++calls < 3; }),
            TExportResult::Cancelled);
  EXPECT_EQ(calls, 3);
  EXPECT_LT(samples.Done(), plan.TotalSamples());
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 1);
}

TEST(Export, AFileThatCannotBeWrittenIsAnErrorThatNamesIt) {
  TTempFolder folder;
  const TConstantVoices voices;
  std::filesystem::create_directory(folder.path / "folder.wav");
  for (const std::filesystem::path& file : {folder.path / "no such folder" / "run.wav", folder.path / "folder.wav"}) {
    const TProgramPlan plan = TProgramPlan::Loop(Pattern, 120, 44100);
    TPlanSamples samples(plan, plan.TotalSamples(), voices.Reader());
    try {
      ExportSamples(samples, file, TExportFormat::Wav);
      ADD_FAILURE() << "no error for " << file;
    } catch (const EExportError& e) {
      EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
    }
  }
  // Nothing was left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path), {}), 1);
  EXPECT_TRUE(std::filesystem::is_empty(folder.path / "folder.wav"));
}

}  // namespace
