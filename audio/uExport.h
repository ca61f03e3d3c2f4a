// Export: the rendered plan (a program, or a pattern looped) streamed into an audio file
// through libsndfile, one measure at a time, so memory does not grow with the duration.
// The samples are exactly those the player plays: 44.1 kHz, 16-bit, mono.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "audio/uProgramPlan.h"

// The longest export, in minutes: ten hours, well within a WAV file's 4 GB.
inline constexpr double MaxExportMinutes = 600;

enum class TExportFormat { Wav, Flac, OggVorbis, Mp3 };

// A format's usual file extension (".wav", ".flac", ".ogg", ".mp3") and its name.
std::string_view ExportExtension(TExportFormat format);
std::string_view ExportFormatName(TExportFormat format);
// The format a file name asks for by its extension, in any letter case (".oga" is Ogg
// Vorbis too); no value for any other.
std::optional<TExportFormat> ExportFormatOfPath(const std::filesystem::path& path);
// Whether the libsndfile at hand writes the format in mono at 44.1 kHz (WAV always does).
bool IsExportFormatAvailable(TExportFormat format);
// Why a format is not available, for a message: libsndfile cannot be loaded, or does not
// write it.
std::string ExportFormatProblem(TExportFormat format);
// The formats it writes, in the order of TExportFormat.
std::vector<TExportFormat> AvailableExportFormats();

// Raised when the file cannot be written; the message says why and names the file.
class EExportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Told the samples written so far and in all after every block; returns false to cancel.
using TExportProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

enum class TExportResult { Written, Cancelled };

// Writes the samples to the file in the format. The file appears whole or not at all: the
// samples go to a temporary file beside it that takes its place at the end; a cancel or an
// error removes it and leaves an existing file as it was. Throws EExportError (and what the
// render throws: a voice that cannot be read).
TExportResult ExportSamples(TPlanSamples& samples, const std::filesystem::path& file, TExportFormat format,
                            const TExportProgress& progress = {});
