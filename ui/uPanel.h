// A panel whose children sit at designed positions and keep their distance to the edges they
// are anchored to when the panel changes size.
#pragma once

#include <QFrame>
#include <QList>
#include <QRect>
#include <utility>

class QLabel;

// Labels size themselves to their text (at least the designed 15 pixels high); a
// right-aligned one keeps its right edge where it was.
void SetLabelText(QLabel* label, const QString& text);

// Keeps every label at least `gap` pixels before the control it names. Where a caption
// would run into its control, the labels move left together, so a column of them stays
// aligned.
void KeepLabelsBeside(const QList<std::pair<QLabel*, QWidget*>>& labels, int gap = 2);

class TPanel : public QFrame {
 public:
  // designSize: the panel's size in the design, against which anchored distances are kept.
  TPanel(QWidget* parent, QSize designSize);

  // Places the child at its designed rectangle; anchors are any of the left, top, right and
  // bottom edges. An edge anchored on both sides of an axis stretches the child along it.
  void Place(QWidget* child, QRect design, Qt::Edges anchors = Qt::LeftEdge | Qt::TopEdge);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct TAnchored {
    QWidget* child;
    QRect design;
    Qt::Edges anchors;
  };
  QRect Placed(const TAnchored& a) const;

  QSize FDesignSize;
  QList<TAnchored> FAnchored;
};
