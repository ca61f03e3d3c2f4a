// The desktop's light or dark theme and its accent colour, read once at start-up, before
// any window exists, and read-only afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/uColor.h"

class QDBusConnection;

// The system is one on which the program follows the app theme at all (Windows 10 or
// later; always so on Linux).
extern bool IsWin10;
// The accent colour with the top byte set: 0xFFBBGGRR.
extern std::uint32_t SysAccentColor;
// The desktop asks for light colours.
extern bool ThemeFlag;

// The accent colour used when the desktop names none: RGB 0, 120, 212.
inline constexpr std::uint32_t FallbackAccentColor = 0xFF000000u | DefaultAccentColor;

// Light colours: the desktop asks for them, or it is too old to have a dark theme.
bool IsLightTheme();

// The start-up work: IsWin10, SysAccentColor and ThemeFlag from the system.
void ThemeStartup();

// Starts Qt's bridge to the desktop's accessibility bus, which otherwise starts at the first
// accessible change (the first control made), without ever starting a session bus for it.
void ConnectAccessibilityBridge();

// The two readers of the start-up work.
std::uint32_t ReadAccentColor();
bool ReadLightTheme();

#ifndef _WIN32
// On Linux the facts come from the freedesktop settings portal on the session bus, and when
// it is missing or silent, from GNOME's own setting for light or dark. The start-up work
// takes both sources as arguments, so it can be tried against a bus of one's own.
using TGnomeColorScheme = std::function<std::optional<std::string>()>;
std::optional<std::string> GnomeColorScheme();  // "prefer-dark", "default", ...
void ThemeStartup(const QDBusConnection& bus, const TGnomeColorScheme& gnome);

// Whether a session bus can be reached without starting one: an address is given, or the
// bus's usual socket is there.
bool SessionBusReachable();

// The session bus, when it is reachable; otherwise a connection that is not connected, so
// that whoever asks it gets no answer at once.
QDBusConnection SessionBus();
#endif
