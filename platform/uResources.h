// The program's embedded raw-data resources (voice recordings, the emblem), opened by name.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// The bytes of the named resource, valid for the program's lifetime; no value when there is
// no such resource.
std::optional<std::span<const std::uint8_t>> ReadResource(std::string_view name);
