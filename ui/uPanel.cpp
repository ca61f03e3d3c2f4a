#include "ui/uPanel.h"

#include <QLabel>
#include <QWidget>

void SetLabelText(QLabel* label, const QString& text) {
  constexpr int DesignHeight = 15;
  const bool keepRight = label->alignment() & Qt::AlignRight;
  const int right = label->geometry().right();
  label->setText(text);
  const QFontMetrics fm(label->font());
  const int width = fm.horizontalAdvance(text);
  const int height = std::max(DesignHeight, fm.height());
  label->setGeometry(keepRight ? right - width + 1 : label->x(), label->y(), width, height);
}

void KeepLabelsBeside(const QList<std::pair<QLabel*, QWidget*>>& labels, int gap) {
  int shift = 0;
  for (const auto& [label, control] : labels) shift = std::max(shift, label->x() + label->width() + gap - control->x());
  if (shift <= 0) return;
  for (const auto& [label, control] : labels) label->move(label->x() - shift, label->y());
}

TPanel::TPanel(QWidget* parent, QSize designSize) : QFrame(parent), FDesignSize(designSize) { resize(designSize); }

void TPanel::Place(QWidget* child, QRect design, Qt::Edges anchors) {
  if (child->parentWidget() != this) child->setParent(this);
  const TAnchored placed{child, design, anchors};
  child->setGeometry(Placed(placed));
  // Only children held by the right or bottom edge move when the panel resizes.
  if (anchors & (Qt::RightEdge | Qt::BottomEdge)) FAnchored.append(placed);
}

QRect TPanel::Placed(const TAnchored& a) const {
  const int dw = width() - FDesignSize.width();
  const int dh = height() - FDesignSize.height();
  QRect r = a.design;
  // An edge held on the far side moves with it; held on both sides, the child stretches.
  if (a.anchors & Qt::RightEdge) {
    if (a.anchors & Qt::LeftEdge)
      r.setWidth(r.width() + dw);
    else
      r.translate(dw, 0);
  }
  if (a.anchors & Qt::BottomEdge) {
    if (a.anchors & Qt::TopEdge)
      r.setHeight(r.height() + dh);
    else
      r.translate(0, dh);
  }
  return r;
}

void TPanel::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  for (const TAnchored& a : FAnchored) a.child->setGeometry(Placed(a));
}
