// Test-only view of TFrmMain's private state.
#pragma once

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "ui/uFrmMain.h"
#include "ui/uMeasureView.h"
#include "ui/uPanel.h"
#include "ui/uSpinEdit.h"

struct TFrmMainAccess {
  explicit TFrmMainAccess(TFrmMain& f) : f(f) {}
  TFrmMain& f;

  TNotes& Notes() { return f.Notes; }
  int NotesIndex() { return f.NotesIndex; }
  int TSCount() { return f.TSCount; }
  int TPCount() { return f.TPCount; }
  bool mf() { return f.mf; }
  int bHeight() { return f.bHeight; }
  TColor FGColor() { return f.FGColor; }
  TColor BGColor() { return f.BGColor; }
  TColor AcColor() { return f.AcColor; }
  bool Playing() { return f.Timer1->isActive(); }
  int TimerInterval() { return f.Timer1->interval(); }
  std::uint32_t WavLength() { return f.Transport.WavLength(); }
  std::uint32_t WavOffset() { return f.Transport.WavOffset(); }
  std::uint32_t TimeStart() { return f.Transport.TimeStart(); }
  const TMemoryStream& MemoryStream() { return f.Transport.MemoryStream(); }
  void Timer1Timer() { f.Timer1Timer(); }

  QFrame* PanelClient() { return f.PanelClient; }
  QWidget* PanelLeft() { return f.PanelLeft; }
  QWidget* PanelTop() { return f.PanelTop; }
  QWidget* PanelBottom() { return f.PanelBottom; }
  QWidget* PanelNote() { return f.PanelNote; }
  TImage* Image1() { return f.Image1; }
  QComboBox* cbNotesList() { return f.cbNotesList; }
  QPushButton* btItemAdd() { return f.btItemAdd; }
  QLabel* LabelTS() { return f.LabelTS; }
  QComboBox* cbTimeS() { return f.cbTimeS; }
  QLabel* LabelBPM() { return f.LabelBPM; }
  TSpinEdit* seTempo() { return f.seTempo; }
  QPushButton* btStart() { return f.btStart; }
  QPushButton* btStop() { return f.btStop; }
  QPushButton* BtNoteAdd() { return f.BtNoteAdd; }
  QLabel* LabelType() { return f.LabelType; }
  QComboBox* cbType() { return f.cbType; }
  QLabel* LabelNote() { return f.LabelNote; }
  QComboBox* cbTone() { return f.cbTone; }
  QLabel* LabelLength() { return f.LabelLength; }
  QComboBox* cbLength() { return f.cbLength; }
  QLabel* LabelLoudness() { return f.LabelLoudness; }
  QComboBox* cbLoudness() { return f.cbLoudness; }
  QPushButton* btNoteDelete() { return f.btNoteDelete; }
  QPushButton* btAbout() { return f.btAbout; }
};
