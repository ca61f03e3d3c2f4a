// The start-up steps that come before any window exists. main() runs them, and so do the
// tests that build windows: a window under test then looks exactly as a user sees it.
#pragma once

#include <functional>

#include "platform/uColor.h"

class QWidget;

// The program's name (which names its data folder), version and desktop entry; needs no
// application object, so the command line can answer with them before any exists.
void SetApplicationIdentity();
inline constexpr const char* DesktopFileName = "example.taktola.Taktola";

// What the toolkit reads from the environment when the application object connects to the
// display, so it must run before that object exists. Leaves whatever the user set.
void PrepareDisplayConnection();

// SetApplicationIdentity, the window icon and the accessible roles; then reads the desktop's
// theme once and sets the look of every window: ApplyApplicationLook with the accent colour
// and the theme just read.
void StartUp();

// The toolkit's base style, the 9-point UI font for every control, and the light or dark style
// with the accent colour. The font is set application-wide before the style sheet: with a
// sheet in force, a font set on a window no longer reaches the controls inside it.
void ApplyApplicationLook(TColor accent, bool light = true);

// Runs work once the window has been drawn for the first time, from the event loop: start-up
// work that the window need not wait for, so that it appears no later for it. Never, if the
// window is never shown.
void AfterFirstFrame(QWidget& window, std::function<void()> work);
