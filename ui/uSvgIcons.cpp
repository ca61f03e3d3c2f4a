#include "ui/uSvgIcons.h"

#include <QAbstractButton>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <array>

#include "ui/uMeasureView.h"

namespace {

struct TIconEntry {
  const char* name;
  const char* path;
};
constexpr std::array<TIconEntry, 6> Icons{{
    {"BookmarksAdd-WF", ":/icons/bookmarks-add.svg"},
    {"Add-New", ":/icons/add-new.svg"},
    {"Info", ":/icons/info.svg"},
    {"Media Play", ":/icons/media-play.svg"},
    {"Stop", ":/icons/stop.svg"},
    {"Trash can - 02", ":/icons/trash-can.svg"},
}};

// Draws on demand at the size and pixel ratio asked for, so icons stay sharp at any DPI.
class TTintedSvgEngine : public QIconEngine {
 public:
  TTintedSvgEngine(QString path, TColor tint) : FPath(std::move(path)), FTint(tint) {}

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
    // A disabled button shows its icon faded, like its text.
    return QPixmap::fromImage(RenderTintedSvg(FPath, size, FTint, mode == QIcon::Disabled ? 0.4 : 1.0));
  }
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap pm = pixmap((QSizeF(rect.size()) * dpr).toSize(), mode, state);
    pm.setDevicePixelRatio(dpr);
    painter->drawPixmap(rect.topLeft(), pm);
  }
  QIconEngine* clone() const override { return new TTintedSvgEngine(FPath, FTint); }

 private:
  QString FPath;
  TColor FTint;
};

}  // namespace

QImage RenderTintedSvg(const QString& resourcePath, QSize size, TColor tint, qreal opacity) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QSvgRenderer renderer(resourcePath);
  if (!renderer.isValid()) return image;
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  renderer.render(&p, QRectF(QPointF(0, 0), QSizeF(size)));
  // Keep the shape's coverage, replace its colour.
  p.setCompositionMode(QPainter::CompositionMode_SourceIn);
  QColor color = ToQColor(tint);
  color.setAlphaF(opacity);
  p.fillRect(image.rect(), color);
  return image;
}

int TSVGIconImageCollection::Count() const { return static_cast<int>(Icons.size()); }

QString TSVGIconImageCollection::Name(int index) const { return QString::fromLatin1(Icons.at(index).name); }

QString TSVGIconImageCollection::ResourcePath(int index) const {
  return QString::fromLatin1(Icons.at(index).path);
}

int TSVGIconImageCollection::IndexOf(const QString& name) const {
  for (int i = 0; i < Count(); ++i)
    if (Name(i) == name) return i;
  return -1;
}

TSVGIconVirtualImageList::TSVGIconVirtualImageList(const TSVGIconImageCollection* collection, int size)
    : FCollection(collection), FSize(size) {}

QIcon TSVGIconVirtualImageList::Icon(int index) const {
  return QIcon(new TTintedSvgEngine(FCollection->ResourcePath(index), FFixedColor));
}

void TSVGIconVirtualImageList::Assign(QAbstractButton* button, const QString& name) {
  const int index = FCollection->IndexOf(name);
  if (index < 0) return;
  button->setIconSize(QSize(FSize, FSize));
  button->setIcon(Icon(index));
  FLinks.append({button, index});
}

void TSVGIconVirtualImageList::SetFixedColor(TColor color) {
  FFixedColor = color;
  for (const TLink& link : FLinks)
    if (link.button) link.button->setIcon(Icon(link.index));
}
