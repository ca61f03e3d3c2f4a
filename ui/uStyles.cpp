#include "ui/uStyles.h"

#include <QApplication>
#include <QRegularExpression>
#include <QStyleFactory>
#include <QWidget>
#include <array>

#include "platform/uResources.h"
#include "ui/uMeasureView.h"
#include "ui/uStdDialogs.h"

namespace {

struct TStyleResource {
  const QString& name;
  const char* resource;
};
const std::array<TStyleResource, 2> Styles{{{LightStyleName, "WINDOWSMODERNLIGHT"}, {DarkStyleName, "WINDOWSMODERNDARK"}}};

QString ActiveName;
const char* const StyleProperty = "taktolaStyle";

// The shades the sheets name: the accent, a lighter one for hovering, a darker one for
// pressing, and the text colour that reads on it.
QString Substituted(QString text, const QColor& accent) {
  const double luminance = 0.2126 * accent.redF() + 0.7152 * accent.greenF() + 0.0722 * accent.blueF();
  text.replace(QStringLiteral("@accentHover"), accent.lighter(112).name());
  text.replace(QStringLiteral("@accentPressed"), accent.darker(118).name());
  text.replace(QStringLiteral("@onAccent"), luminance > 0.6 ? QStringLiteral("#000000") : QStringLiteral("#ffffff"));
  text.replace(QStringLiteral("@accent"), accent.name());
  return text;
}

std::optional<QPalette::ColorRole> Role(const QString& name) {
  static const std::array<std::pair<const char*, QPalette::ColorRole>, 19> roles{{
      {"Window", QPalette::Window},           {"WindowText", QPalette::WindowText},
      {"Base", QPalette::Base},               {"AlternateBase", QPalette::AlternateBase},
      {"Text", QPalette::Text},               {"Button", QPalette::Button},
      {"ButtonText", QPalette::ButtonText},   {"BrightText", QPalette::BrightText},
      {"Light", QPalette::Light},             {"Midlight", QPalette::Midlight},
      {"Mid", QPalette::Mid},                 {"Dark", QPalette::Dark},
      {"Shadow", QPalette::Shadow},           {"ToolTipBase", QPalette::ToolTipBase},
      {"ToolTipText", QPalette::ToolTipText}, {"PlaceholderText", QPalette::PlaceholderText},
      {"Highlight", QPalette::Highlight},     {"HighlightedText", QPalette::HighlightedText},
      {"Link", QPalette::Link},
  }};
  for (const auto& [text, role] : roles)
    if (name == QLatin1String(text)) return role;
  return std::nullopt;
}

// "@palette Role #rrggbb [disabled]" lines in the sheet's opening comment.
QPalette PaletteOf(const QString& sheet) {
  QPalette palette;
  static const QRegularExpression line(QStringLiteral(R"(@palette\s+(\w+)\s+(#[0-9a-fA-F]{6})(\s+disabled)?)"));
  for (auto it = line.globalMatch(sheet); it.hasNext();) {
    const auto match = it.next();
    const auto role = Role(match.captured(1));
    if (!role) continue;
    const QColor color(match.captured(2));
    if (match.captured(3).isEmpty())
      palette.setColor(*role, color);
    else
      palette.setColor(QPalette::Disabled, *role, color);
  }
  return palette;
}

// The named style, or the style engine's error box when there is none.
std::optional<TStyle> Find(const QString& name, TColor accent, bool showErrorDialog) {
  auto style = LoadStyle(name, accent);
  if (!style && showErrorDialog)
    ShowErrorBox(QApplication::activeWindow(), QStringLiteral("Style '%1' not found.").arg(name));
  return style;
}

}  // namespace

void UseBaseStyle() { QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion"))); }

QFont UIFont() {
  // Named outright, not taken from the desktop: its default may be an alias that the
  // process locale resolves to a Japanese monospace face, and its size may be anything,
  // while the layout is drawn for 9 points. Families missing on a system are skipped.
  QFont font;
  font.setFamilies({QStringLiteral("Segoe UI"), QStringLiteral("DejaVu Sans"), QStringLiteral("Yu Gothic UI"),
                    QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(9);
  return font;
}

std::optional<TStyle> LoadStyle(const QString& name, TColor accent) {
  for (const TStyleResource& style : Styles) {
    if (style.name != name) continue;
    const auto bytes = ReadResource(style.resource);
    if (!bytes) return std::nullopt;
    const QString sheet = Substituted(
        QString::fromUtf8(reinterpret_cast<const char*>(bytes->data()), static_cast<qsizetype>(bytes->size())),
        ToQColor(accent));
    return TStyle{name, sheet, PaletteOf(sheet)};
  }
  return std::nullopt;
}

bool TrySetStyle(const QString& name, TColor accent, bool showErrorDialog) {
  const auto style = Find(name, accent, showErrorDialog);
  if (!style) return false;
  // Setting a sheet repolishes every widget, even with the sheet already in place (a tenth of
  // the start-up): only a change is set.
  if (ActiveName == name && qApp->styleSheet() == style->sheet) return true;
  QApplication::setPalette(style->palette);
  qApp->setStyleSheet(style->sheet);
  ActiveName = name;
  return true;
}

bool TrySetStyle(QWidget* window, const QString& name, TColor accent, bool showErrorDialog) {
  const auto style = Find(name, accent, showErrorDialog);
  if (!style) return false;
  window->setPalette(style->palette);
  window->setStyleSheet(style->sheet);
  window->setProperty(StyleProperty, name);
  return true;
}

QString ActiveStyleName() { return ActiveName; }

QString StyleName(const QWidget* window) {
  const QVariant own = window->property(StyleProperty);
  return own.isValid() ? own.toString() : ActiveName;
}
