// A window on the desktop: the frame that the window manager draws around it, as it reports
// it, and whether the window is on the screen at all.
#pragma once

#include <QMargins>
#include <optional>

class QWindow;

// The window (none before it is made) is shown and not minimised or unmapped: Qt paints it
// only then.
bool IsOnScreen(const QWindow* window);

// The frame as the window manager reports it now (on X11 its _NET_FRAME_EXTENTS), in the
// window's device-independent pixels; no value where it reports none: no window manager,
// one that does not report frames, or another platform. Qt's own idea of the frame can lag:
// it reads it again only when the window is configured, and while a window manager frames a
// window it can come out as passing values.
std::optional<QMargins> ReportedFrame(const QWindow& window);
