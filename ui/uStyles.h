// The program's two looks, "Windows11 Modern Light" and "Windows11 Modern Dark": a style
// sheet and a palette each, on the Fusion style, embedded as resources and chosen by name.
#pragma once

#include <QFont>
#include <QPalette>
#include <QString>
#include <optional>

#include "platform/uColor.h"

class QWidget;

inline const QString LightStyleName = QStringLiteral("Windows11 Modern Light");
inline const QString DarkStyleName = QStringLiteral("Windows11 Modern Dark");

// The toolkit style the looks are drawn on: Fusion, the same on every desktop. Where a
// named look is missing, the program goes on in it.
void UseBaseStyle();

// The program's UI font: Segoe UI at 9 points, else DejaVu Sans; Japanese text falls back to
// a gothic with proportional kana (full-width kana would run "テンポ" into the tempo field).
QFont UIFont();

struct TStyle {
  QString name;
  QString sheet;
  QPalette palette;
};

// The named style with the accent colour put in; no value when there is no such style.
std::optional<TStyle> LoadStyle(const QString& name, TColor accent);

// Selects a style for every window of the program; when there is no such style, shows the
// style engine's error box if asked to, keeps the current style and returns false.
bool TrySetStyle(const QString& name, TColor accent, bool showErrorDialog = true);
// The same for one window and what it holds.
bool TrySetStyle(QWidget* window, const QString& name, TColor accent, bool showErrorDialog = true);

// The style in force for the program, or for a window of its own; empty before any.
QString ActiveStyleName();
QString StyleName(const QWidget* window);
