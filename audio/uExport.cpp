#include "audio/uExport.h"

#include <array>
#include <limits>
#include <string>

#include "audio/uSndFileLibrary.h"
#include "pattern/uIniFile.h"
#include "pattern/uPatternFile.h"

namespace {

struct TFormatInfo {
  TExportFormat format;
  std::string_view extension, name;
  int sndfile;
};
constexpr std::array<TFormatInfo, 4> Formats{{
    {TExportFormat::Wav, ".wav", "WAV", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
    {TExportFormat::Flac, ".flac", "FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
    {TExportFormat::OggVorbis, ".ogg", "Ogg Vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
    {TExportFormat::Mp3, ".mp3", "MP3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III},
}};

const TFormatInfo& Info(TExportFormat format) { return Formats[static_cast<std::size_t>(format)]; }

SF_INFO MonoInfo(TExportFormat format) {
  SF_INFO info{};
  info.samplerate = SampleRate;
  info.channels = 1;
  info.format = Info(format).sndfile;
  return info;
}

// The largest WAV file: its sizes are 32-bit.
constexpr std::uint64_t MaxWavSamples = (std::numeric_limits<std::uint32_t>::max() - WavHeaderSize) / 2;

class TSndFile {
 public:
  TSndFile(const std::filesystem::path& path, TExportFormat format) {
    SF_INFO info = MonoInfo(format);
    FFile = SndFileApi()->open(path.c_str(), SFM_WRITE, &info);
  }
  ~TSndFile() { Close(); }
  TSndFile(const TSndFile&) = delete;
  TSndFile& operator=(const TSndFile&) = delete;
  bool IsOpen() const { return FFile != nullptr; }
  bool Write(std::span<const std::int16_t> block) {
    return SndFileApi()->write_short(FFile, block.data(), static_cast<sf_count_t>(block.size())) ==
           static_cast<sf_count_t>(block.size());
  }
  std::string Error() const { return SndFileApi()->strerror(FFile); }
  bool Close() {
    if (!FFile) return true;
    const int result = SndFileApi()->close(FFile);
    FFile = nullptr;
    return result == 0;
  }

 private:
  SNDFILE* FFile = nullptr;
};

EExportError WriteError(const std::filesystem::path& file, const std::string& why) {
  return EExportError("cannot write " + Utf8FromPath(file) + (why.empty() ? "" : ": " + why));
}

}  // namespace

std::string_view ExportExtension(TExportFormat format) { return Info(format).extension; }
std::string_view ExportFormatName(TExportFormat format) { return Info(format).name; }

std::optional<TExportFormat> ExportFormatOfPath(const std::filesystem::path& path) {
  const std::string extension = AsciiLower(Utf8FromPath(path.extension()));
  if (extension == ".oga") return TExportFormat::OggVorbis;
  for (const TFormatInfo& info : Formats)
    if (extension == info.extension) return info.format;
  return std::nullopt;
}

bool IsExportFormatAvailable(TExportFormat format) {
  if (SndFileApi() == nullptr) return false;
  SF_INFO info = MonoInfo(format);
  return SndFileApi()->format_check(&info) != 0;
}

std::string ExportFormatProblem(TExportFormat format) {
  if (SndFileApi() == nullptr)
    return std::string("cannot load ") + SndFileLibraryName + ", which writes the audio files";
  return "this system's libsndfile does not write " + std::string(ExportFormatName(format));
}

std::vector<TExportFormat> AvailableExportFormats() {
  std::vector<TExportFormat> formats;
  for (const TFormatInfo& info : Formats)
    if (IsExportFormatAvailable(info.format)) formats.push_back(info.format);
  return formats;
}

TExportResult ExportSamples(TPlanSamples& samples, const std::filesystem::path& file, TExportFormat format,
                            const TExportProgress& progress) {
  if (!IsExportFormatAvailable(format)) throw EExportError(ExportFormatProblem(format));
  if (format == TExportFormat::Wav && samples.Total() > MaxWavSamples)
    throw WriteError(file, "too long for a WAV file (at most 13 hours)");
  std::filesystem::path target;
  try {
    target = SaveTarget(file);
  } catch (const EPatternWriteError&) {
    throw WriteError(file, "");
  }
  std::error_code ec;
  if (std::filesystem::is_directory(target, ec)) throw WriteError(file, "it is a folder");
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  const std::filesystem::path temporary = TemporaryIn(folder);
  const auto removeTemporary = [&] {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
  };
  try {
    TSndFile out(temporary, format);
    if (!out.IsOpen()) throw WriteError(file, out.Error());
    while (const auto block = samples.Next()) {
      if (!out.Write(*block)) throw WriteError(file, out.Error());
      if (progress && !progress(samples.Done(), samples.Total())) {
        out.Close();
        removeTemporary();
        return TExportResult::Cancelled;
      }
    }
    if (!out.Close()) throw WriteError(file, "");
    std::filesystem::rename(temporary, target);
  } catch (const std::filesystem::filesystem_error& e) {
    removeTemporary();
    throw WriteError(file, e.code().message());
  } catch (...) {
    removeTemporary();
    throw;
  }
  return TExportResult::Written;
}
