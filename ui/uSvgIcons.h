// The button icons: a collection of named SVG documents, and an icon list that renders them
// at one logical size, tinted with one colour, for whatever pixel ratio the screen has.
#pragma once

#include <QIcon>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "platform/uColor.h"

class QAbstractButton;

// The SVG icons, by index; each is an embedded resource.
class TSVGIconImageCollection {
 public:
  int Count() const;
  QString Name(int index) const;
  QString ResourcePath(int index) const;
  int IndexOf(const QString& name) const;  // -1 when unknown
};

class TSVGIconVirtualImageList {
 public:
  explicit TSVGIconVirtualImageList(const TSVGIconImageCollection* collection, int size = 20);

  int Size() const { return FSize; }
  TColor FixedColor() const { return FFixedColor; }
  // Re-tints every button that shows an icon of this list.
  void SetFixedColor(TColor color);

  // An icon that renders the SVG at the requested size in the current tint.
  QIcon Icon(int index) const;
  // Shows the named icon on the button at the list's size, and keeps it tinted.
  void Assign(QAbstractButton* button, const QString& name);

 private:
  struct TLink {
    QPointer<QAbstractButton> button;
    int index;
  };
  const TSVGIconImageCollection* FCollection;
  int FSize;
  TColor FFixedColor = clBlack;
  QList<TLink> FLinks;
};

// Renders an SVG document, tinted, into a transparent image of the given device size.
QImage RenderTintedSvg(const QString& resourcePath, QSize size, TColor tint, qreal opacity = 1.0);
