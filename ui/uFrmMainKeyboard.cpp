// The main window's keyboard, tooltips and accessibility: what a user who does not reach
// for the mouse, or does not see the window, needs. The keys end in the same handlers as
// the clicks and drags they stand for.
#include <QAbstractButton>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include "pattern/uMeasureGeometry.h"
#include "ui/uFrmMain.h"
#include "ui/uHints.h"
#include "ui/uMeasureView.h"
#include "ui/uSpinEdit.h"
#include "ui/uStdDialogs.h"

bool TFrmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Expose && watched == static_cast<QObject*>(windowHandle())) CatchUpOnScreen();
  // A click on the tempo's label taps the tempo. Counted at the release, which every click
  // has once: a quick second click reaches the label as a double click instead of a press.
  if (event->type() == QEvent::MouseButtonRelease && watched == LabelBPM) {
    const auto& mouse = static_cast<const QMouseEvent&>(*event);
    if (mouse.button() == Qt::LeftButton && LabelBPM->rect().contains(mouse.position().toPoint())) {
      Guarded([&] { TapTempo(); });
      return true;
    }
  }
  // A key goes first to the control with the focus (the window itself when none has it) and
  // then, unless taken, to its parents: only that first delivery counts.
  if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
    auto* target = static_cast<QWidget*>(watched);
    QWidget* focus = focusWidget();
    if (target->window() == this && target == (focus != nullptr ? focus : this)) {
      bool taken = false;
      Guarded([&] { taken = WindowKey(static_cast<const QKeyEvent&>(*event)); });
      if (taken) return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

bool TFrmMain::WindowKey(const QKeyEvent& e) {
  const Qt::KeyboardModifiers modifiers = e.modifiers() & ~Qt::KeypadModifier;
  QWidget* focus = focusWidget();
  const bool typingTempo = focus != nullptr && (focus == seTempo || seTempo->isAncestorOf(focus));
  const int key = e.key();
  if (key == Qt::Key_Space && modifiers == Qt::NoModifier && !typingTempo) {
    // Holding the key down would start and stop in turn.
    if (!e.isAutoRepeat()) (Timer1->isActive() ? btStop : btStart)->click();
    return true;
  }
  if (key == Qt::Key_T && modifiers == Qt::NoModifier && !typingTempo) {
    // A key held down is one tap.
    if (!e.isAutoRepeat()) TapTempo();
    return true;
  }
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
    auto* button = qobject_cast<QAbstractButton*>(focus);
    if (button == nullptr || !button->isEnabled()) return false;
    button->click();
    return true;
  }
  QAbstractButton* command = nullptr;
  if (key == Qt::Key_S && modifiers == Qt::ControlModifier) command = btItemAdd;
  if (key == Qt::Key_F1 && modifiers == Qt::NoModifier) command = btAbout;
  if (command != nullptr) {
    command->click();
    return true;
  }
  if ((key == Qt::Key_P || key == Qt::Key_E) && modifiers == Qt::ControlModifier) {
    key == Qt::Key_P ? ShowPrograms() : ShowExport();
    return true;
  }
  if (key == Qt::Key_Q && modifiers == Qt::ControlModifier) {
    close();
    return true;
  }
  if (const int step = TempoKeyStep(key, e.modifiers())) {
    // As the field's arrows do: the value is limited and the change handler restarts.
    seTempo->stepBy(step);
    return true;
  }
  return false;
}

void TFrmMain::TapTempo() {
  const std::optional<std::int32_t> tempo = FTaps.Tap(Env.Sound->TimeGetTime());
  // Into the field as typing puts it there: its change handler sets the tempo and restarts a
  // playing measure in phase.
  if (tempo) seTempo->lineEdit()->setText(QString::number(*tempo));
}

void TFrmMain::Image1KeyDown(int key, Qt::KeyboardModifiers modifiers) {
  if (ShowsSavedStep()) return;
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const int step = key == Qt::Key_Right ? 1 : -1;
      if (modifiers & Qt::ShiftModifier) {
        // A drag by one sixteenth, with its limits; nothing selected, nothing moves.
        if (NotesIndex < 0) return;
        TNote note = Notes.at(NotesIndex);
        const int p = SteppedOffset(note.offset, step, TSCount);
        if (p != note.offset) {
          cbNotesList->setCurrentIndex(0);
          note.offset = static_cast<std::uint16_t>(p);
          Notes[NotesIndex] = note;
        }
      } else {
        NotesIndex = NeighbourNote(Notes, NotesIndex, step);
      }
      FinishNoteChoice();
      return;
    }
    case Qt::Key_Delete:
      btNoteDeleteClick();
      return;
    case Qt::Key_Insert:
      BtNoteAddClick();
      return;
    default:
      return;
  }
}

void TFrmMain::ApplyHints(bool japanese) {
  FJapaneseHints = japanese;
  const std::pair<QWidget*, THint> tips[] = {
      {btItemAdd, Hints::SaveTip}, {btAbout, Hints::AboutTip},         {btStart, Hints::StartTip},
      {btStop, Hints::StopTip},    {BtNoteAdd, Hints::AddTip},         {btNoteDelete, Hints::DeleteTip},
      {seTempo, Hints::TempoTip},  {LabelBPM, Hints::TapTip},
  };
  for (const auto& [control, hint] : tips) control->setToolTip(hint.Text(japanese));
  const std::pair<QWidget*, THint> names[] = {
      {cbNotesList, Hints::PatternsName}, {btItemAdd, Hints::SaveName},      {seTempo, Hints::TempoName},
      {btAbout, Hints::AboutName},        {Image1, Hints::MeasureName},
  };
  for (const auto& [control, name] : names) control->setAccessibleName(name.Text(japanese));
  UpdateMeasureDescription();
}

void TFrmMain::UpdateMeasureDescription() {
  const QString description = MeasureDescription(TSCount, Notes, NotesIndex, FJapaneseHints);
  if (Image1->accessibleDescription() != description) Image1->setAccessibleDescription(description);
}
