#include "platform/uResources.h"

#include <QResource>
#include <QString>

std::optional<std::span<const std::uint8_t>> ReadResource(std::string_view name) {
  // Raw-data resources are stored uncompressed, so their bytes can be read in place.
  const QResource resource(QStringLiteral(":/rcdata/") + QString::fromUtf8(name.data(), static_cast<int>(name.size())));
  if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression) return std::nullopt;
  return std::span<const std::uint8_t>(resource.data(), static_cast<std::size_t>(resource.size()));
}
