#include "ui/uFrmMain.h"

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include "audio/uBeatClock.h"
#include "audio/uSoundDevice.h"
#include "pattern/uMeasureGeometry.h"
#include "platform/uWindowFrame.h"
#include "ui/uMeasureView.h"
#include "ui/uPanel.h"
#include "ui/uSpinEdit.h"
#include "ui/uStdDialogs.h"
#include "ui/uStyles.h"
#include "ui/uVCLFrmAbout.h"

namespace {

// The designed client area, and the smallest outer size the window may take.
constexpr QSize DesignClientSize(629, 322);
constexpr QSize MinOuterSize(636, 318);
// Creation shortens the designed window by this much.
constexpr int CreationShortening = 60;
constexpr int BarHeight = 45;
constexpr int NotePanelWidth = 169;
// PanelClient's raised bevel.
constexpr int BevelWidth = 1;
constexpr int LeftPanelWidth = DesignClientSize.width() - 2 * BevelWidth - NotePanelWidth;
constexpr int NotePanelHeight = DesignClientSize.height() - 2 * BevelWidth;
constexpr int LabelDesignHeight = 15;

// Controls are made inside their panel: one moved into a styled panel afterwards gets a
// style change, on which a list builds its drop-down view at once (1 ms each at start-up).
QComboBox* NewList(QWidget* panel, const QStringList& items = {}) {
  auto* list = new QComboBox(panel);
  list->addItems(items);
  return list;
}

QString FromUtf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

template <typename Labels>
QStringList ToStrings(const Labels& labels) {
  QStringList out;
  for (std::string_view label : labels) out << FromUtf8(label);
  return out;
}

// The frame the platform draws around a window, as far as it is known now: nothing before
// a window manager has framed it. What the window manager reports wins over what Qt last
// worked out, and implausible values count as nothing.
QMargins KnownFrame(const QWidget& window) {
  const QWindow* handle = window.windowHandle();
  if (handle == nullptr) return {};
  const QMargins frame = ReportedFrame(*handle).value_or(handle->frameMargins());
  constexpr int MaxSide = 128;
  for (int side : {frame.left(), frame.top(), frame.right(), frame.bottom()})
    if (side < 0 || side > MaxSide) return {};
  return frame;
}

QSize FrameSize(const QMargins& frame) { return {frame.left() + frame.right(), frame.top() + frame.bottom()}; }

QLabel* NewLabel(QWidget* panel, const QString& text, Qt::Alignment alignment = Qt::AlignLeft) {
  auto* label = new QLabel(text, panel);
  label->setAlignment(alignment | Qt::AlignTop);
  return label;
}

}  // namespace

TFrmMain::TFrmMain(TFrmMainEnv env, QWidget* parent) : QWidget(parent), Env(std::move(env)) {
  CreateControls();
  FormCreate();
  ConnectHandlers();
}

TFrmMain::~TFrmMain() { FormDestroy(); }

void TFrmMain::CreateControls() {
  setWindowTitle(QStringLiteral("TAKTOLA- Sports Metronome"));

  PanelClient = new QFrame(this);
  PanelClient->setFrameStyle(QFrame::Panel | QFrame::Raised);
  PanelClient->setLineWidth(BevelWidth);
  auto* windowLayout = new QVBoxLayout(this);
  windowLayout->setContentsMargins(0, 0, 0, 0);
  windowLayout->addWidget(PanelClient);

  PanelLeft = new QWidget(PanelClient);
  PanelNote = new TPanel(PanelClient, QSize(NotePanelWidth, NotePanelHeight));
  PanelNote->setFixedWidth(NotePanelWidth);
  // The frame itself takes the bevel's pixel: the layout starts inside it.
  auto* clientLayout = new QHBoxLayout(PanelClient);
  clientLayout->setContentsMargins(0, 0, 0, 0);
  clientLayout->setSpacing(0);
  clientLayout->addWidget(PanelLeft, 1);
  clientLayout->addWidget(PanelNote);

  PanelTop = new TPanel(PanelLeft, QSize(LeftPanelWidth, BarHeight));
  PanelBottom = new TPanel(PanelLeft, QSize(LeftPanelWidth, BarHeight));
  PanelTop->setFixedHeight(BarHeight);
  PanelBottom->setFixedHeight(BarHeight);
  Image1 = new TImage(PanelLeft);
  Image1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  auto* leftLayout = new QVBoxLayout(PanelLeft);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  leftLayout->setSpacing(0);
  leftLayout->addWidget(PanelTop);
  leftLayout->addWidget(Image1, 1);
  leftLayout->addWidget(PanelBottom);

  cbNotesList = NewList(PanelTop);
  btItemAdd = new QPushButton(PanelTop);
  LabelTS = NewLabel(PanelTop, QStringLiteral("Time Signature"), Qt::AlignRight);
  cbTimeS = NewList(PanelTop, ToStrings(TimeSigLabels));
  LabelBPM = NewLabel(PanelTop, QStringLiteral("BPM"));
  seTempo = new TSpinEdit(PanelTop);
  seTempo->setRange(MinTempo, MaxTempo);
  seTempo->setValue(DefaultTempo);
  seTempo->lineEdit()->setMaxLength(3);
  PanelTop->Place(cbNotesList, {8, 12, 142, 23});
  PanelTop->Place(btItemAdd, {150, 11, 25, 25});
  PanelTop->Place(LabelTS, {198, 15, 79, LabelDesignHeight});
  PanelTop->Place(cbTimeS, {286, 12, 59, 23});
  PanelTop->Place(LabelBPM, {362, 15, 25, LabelDesignHeight});
  PanelTop->Place(seTempo, {397, 12, 57, 24});

  btStart = new QPushButton(QStringLiteral("Start"), PanelBottom);
  btStop = new QPushButton(QStringLiteral("Stop"), PanelBottom);
  BtNoteAdd = new QPushButton(QStringLiteral("Add"), PanelBottom);
  PanelBottom->Place(btStart, {8, 12, 75, 25});
  PanelBottom->Place(btStop, {93, 12, 75, 25});
  PanelBottom->Place(BtNoteAdd, {377, 12, 75, 25}, Qt::TopEdge | Qt::RightEdge);

  LabelType = NewLabel(PanelNote, QStringLiteral("Type"));
  cbType = NewList(PanelNote, ToStrings(std::array{SineTypeLabel}));
  LabelNote = NewLabel(PanelNote, QStringLiteral("Note"));
  cbTone = NewList(PanelNote, ToStrings(ToneLabels));
  LabelLength = NewLabel(PanelNote, QStringLiteral("Length"));
  cbLength = NewList(PanelNote, ToStrings(LengthLabels));
  LabelLoudness = NewLabel(PanelNote, QStringLiteral("Loudness"));
  cbLoudness = NewList(PanelNote, ToStrings(LoudnessLabels));
  btNoteDelete = new QPushButton(QStringLiteral("Delete"), PanelNote);
  btAbout = new QPushButton(PanelNote);
  PanelNote->Place(LabelType, {16, 15, 24, LabelDesignHeight});
  PanelNote->Place(cbType, {78, 12, 80, 23});
  PanelNote->Place(LabelNote, {16, 52, 26, LabelDesignHeight});
  PanelNote->Place(cbTone, {78, 49, 80, 23});
  PanelNote->Place(LabelLength, {16, 90, 37, LabelDesignHeight});
  PanelNote->Place(cbLength, {78, 87, 80, 23});
  PanelNote->Place(LabelLoudness, {16, 128, 50, LabelDesignHeight});
  PanelNote->Place(cbLoudness, {80, 125, 78, 23});
  PanelNote->Place(btNoteDelete, {16, 180, 100, 25});
  PanelNote->Place(btAbout, {133, 222, 25, 25}, Qt::LeftEdge | Qt::BottomEdge);
  for (QLabel* label : {LabelTS, LabelBPM, LabelType, LabelNote, LabelLength, LabelLoudness})
    SetLabelText(label, label->text());
  for (const auto& group : LabelGroups())
    for (const auto& [label, control] : group) label->setBuddy(control);
  // The editor's lists show nothing until a note is selected.
  for (QComboBox* list : {cbType, cbTone, cbLength, cbLoudness}) list->setCurrentIndex(-1);

  SVGIconVirtualImageList1.Assign(btItemAdd, QStringLiteral("BookmarksAdd-WF"));
  SVGIconVirtualImageList1.Assign(btStart, QStringLiteral("Media Play"));
  SVGIconVirtualImageList1.Assign(btStop, QStringLiteral("Stop"));
  SVGIconVirtualImageList1.Assign(BtNoteAdd, QStringLiteral("Add-New"));
  SVGIconVirtualImageList1.Assign(btNoteDelete, QStringLiteral("Trash can - 02"));
  SVGIconVirtualImageList1.Assign(btAbout, QStringLiteral("Info"));

  // Left part before the note panel; in each bar and panel the designed order. The measure
  // view, which the keyboard reaches too, comes after the bars of its part.
  const QList<QWidget*> tabOrder{btStart, BtNoteAdd, btStop,     cbTimeS,      seTempo, btItemAdd, cbNotesList,
                                 Image1,  cbTone,    cbLength,   cbLoudness, btNoteDelete, cbType,  btAbout};
  for (qsizetype i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

  Timer1 = new QTimer(this);
  Timer1->setTimerType(Qt::PreciseTimer);

  // Named as designed, so the styles can tell them apart.
  const std::pair<QObject*, const char*> names[] = {
      {PanelClient, "PanelClient"}, {PanelLeft, "PanelLeft"},       {PanelTop, "PanelTop"},
      {PanelBottom, "PanelBottom"}, {PanelNote, "PanelNote"},       {Image1, "Image1"},
      {cbNotesList, "cbNotesList"}, {btItemAdd, "btItemAdd"},       {LabelTS, "LabelTS"},
      {cbTimeS, "cbTimeS"},         {LabelBPM, "LabelBPM"},         {seTempo, "seTempo"},
      {btStart, "btStart"},         {btStop, "btStop"},             {BtNoteAdd, "BtNoteAdd"},
      {LabelType, "LabelType"},     {cbType, "cbType"},             {LabelNote, "LabelNote"},
      {cbTone, "cbTone"},           {LabelLength, "LabelLength"},   {cbLength, "cbLength"},
      {LabelLoudness, "LabelLoudness"}, {cbLoudness, "cbLoudness"}, {btNoteDelete, "btNoteDelete"},
      {btAbout, "btAbout"},         {Timer1, "Timer1"}};
  for (const auto& [object, name] : names) object->setObjectName(QString::fromLatin1(name));

  resize(DesignClientSize);
}

template <typename Sender, typename Signal, typename... Args>
void TFrmMain::Handle(Sender* sender, Signal signal, void (TFrmMain::*handler)(Args...)) {
  connect(sender, signal, this, [this, handler](Args... args) {
    Guarded([&] { (this->*handler)(args...); });
    // What plays, and its name and tempo, change only in handlers: also in one that failed.
    Guarded([&] { PublishMediaState(); });
  });
}

void TFrmMain::ConnectHandlers() {
  // Drop-down lists report only the user's choices.
  Handle(cbNotesList, &QComboBox::activated, &TFrmMain::cbNotesListChange);
  Handle(cbTimeS, &QComboBox::activated, &TFrmMain::cbTimeSChange);
  Handle(cbType, &QComboBox::activated, &TFrmMain::cbTypeChange);
  Handle(cbTone, &QComboBox::activated, &TFrmMain::cbToneChange);
  Handle(cbLength, &QComboBox::activated, &TFrmMain::cbLengthChange);
  Handle(cbLoudness, &QComboBox::activated, &TFrmMain::cbLoudnessChange);
  Handle(btItemAdd, &QPushButton::clicked, &TFrmMain::btItemAddClick);
  Handle(btAbout, &QPushButton::clicked, &TFrmMain::btAboutClick);
  Handle(btStart, &QPushButton::clicked, &TFrmMain::btStartClick);
  Handle(btStop, &QPushButton::clicked, &TFrmMain::btStopClick);
  Handle(Timer1, &QTimer::timeout, &TFrmMain::Timer1Timer);
  Handle(btNoteDelete, &QPushButton::clicked, &TFrmMain::btNoteDeleteClick);
  Handle(BtNoteAdd, &QPushButton::clicked, &TFrmMain::BtNoteAddClick);
  Handle(seTempo, &TSpinEdit::TextChanged, &TFrmMain::nbTempoChange);
  Handle(Image1, &TImage::MouseDown, &TFrmMain::Image1MouseDown);
  Handle(Image1, &TImage::MouseMove, &TFrmMain::Image1MouseMove);
  Handle(Image1, &TImage::MouseUp, &TFrmMain::Image1MouseUp);
  Handle(Image1, &TImage::KeyDown, &TFrmMain::Image1KeyDown);
  // A right click, the Menu key or Shift+F10 opens the programs and export from the measure.
  Image1->setContextMenuPolicy(Qt::CustomContextMenu);
  Handle(Image1, &QWidget::customContextMenuRequested, &TFrmMain::Image1ContextMenu);
  // The image follows the window's size; its new size is known once it has been laid out.
  Handle(Image1, &TImage::Resized, &TFrmMain::FormResize);
  qApp->installEventFilter(this);
}

// ---- Window life -------------------------------------------------------------------------

void TFrmMain::FormCreate() {
  mf = false;
  Notes.clear();
  cbTimeS->setCurrentIndex(DefaultTimeSig);
  seTempo->setValue(DefaultTempo);
  UpdateTSCount();
  TPCount = seTempo->value();
  RefreshNotesList();
  cbNotesList->setCurrentIndex(-1);
  for (const TVoice& voice : VoiceTable) cbType->addItem(FromUtf8(voice.name));
  ResetNotes();
  NotesIndex = -1;
  EnableNoteControls(NotesIndex >= 0);
  ApplyTheme();
  ApplyCaptions();
  // Ask for the native window now: where the system frames windows at creation, the outer
  // size is then known and the minimum and the shortening apply to it.
  winId();
  ApplyCreationSize(KnownFrame(*this));
  ConnectMediaControls();
}

void TFrmMain::FormShow() { DrawMeasure(); }

void TFrmMain::FormResize() { DrawMeasure(); }

void TFrmMain::FormDestroy() {
  // No command from the desktop may reach a window on its way out.
  FMedia.reset();
  // The player must be done with the loop before the window's memory goes.
  if (Run.Active()) Run.Stop();
  else if (Timer1->isActive()) Transport.Stop();
  Timer1->stop();
  Transport.Forget();
  Notes.clear();
}

void TFrmMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!FShownOnce) {
    FShownOnce = true;
    CenterInWorkArea(KnownFrame(*this));
    WatchFrame();
    // Told when the window comes back on the screen (see eventFilter).
    windowHandle()->installEventFilter(this);
  }
  FormShow();
}

bool TFrmMain::event(QEvent* event) {
  // A new frame comes with the window being configured; while it opens, WatchFrame looks too.
  if (event->type() == QEvent::Move || event->type() == QEvent::Resize) FitToFrame();
  return QWidget::event(event);
}

void TFrmMain::mouseReleaseEvent(QMouseEvent* event) {
  QWidget::mouseReleaseEvent(event);
  FormMouseUp();
}

// The minimum and the heights are outer sizes; Qt sizes the client area, so the frame
// that the system draws around it (as far as it is known: KnownFrame) is taken off.
void TFrmMain::ApplyOuterMinimum(const QMargins& frame) { setMinimumSize(MinOuterSize - FrameSize(frame)); }

void TFrmMain::SetOuterHeight(int height, const QMargins& frame) {
  resize(width(), std::max(height - FrameSize(frame).height(), minimumHeight()));
}

// The outer size the window is created with: the minimum, the designed width (or the
// minimum's), and the designed height shortened, though never below the minimum.
void TFrmMain::ApplyCreationSize(const QMargins& frame) {
  ApplyOuterMinimum(frame);
  bHeight = DesignClientSize.height() + FrameSize(frame).height();
  resize(std::max(DesignClientSize.width(), minimumWidth()), height());
  SetOuterHeight(bHeight - CreationShortening, frame);
}

// In the middle of the work area of the monitor, the first time the window is shown.
void TFrmMain::CenterInWorkArea(const QMargins& frame) {
  QWindow* window = windowHandle();
  const QRect outer = window->geometry().marginsAdded(frame);
  window->setFramePosition(outer.topLeft() + screen()->availableGeometry().center() - outer.center());
}

// A window manager frames the window only after it is shown, and may change the frame
// while it does so; until then the frame counts as nothing. Each time the known frame
// changes, the outer minimum applies again; while the window is opening, so do the outer
// size and the centring of creation.
void TFrmMain::FitToFrame() {
  if (!FShownOnce) return;
  const QMargins frame = KnownFrame(*this);
  if (frame.isNull() || frame == FFrame) return;
  FFrame = frame;
  if (!FOpening) {
    ApplyOuterMinimum(frame);
    return;
  }
  ApplyCreationSize(frame);
  CenterInWorkArea(frame);
}

// The frame may also change without an event that reaches the window, so it is looked at
// for a while after showing; that while is the window's opening.
void TFrmMain::WatchFrame() {
  constexpr int IntervalMs = 50, Looks = 60;
  FOpening = true;
  FitToFrame();
  auto* watch = new QTimer(this);
  watch->setInterval(IntervalMs);
  connect(watch, &QTimer::timeout, this, [this, watch, looks = 0]() mutable {
    FitToFrame();
    if (++looks < Looks) return;
    FOpening = false;
    watch->deleteLater();
  });
  watch->start();
}

void TFrmMain::ApplyCaptions() {
  struct TCaption {
    QWidget* control;
    const char* english;
    const char* japanese;
  };
  const TCaption captions[] = {
      {LabelTS, "Time Signature", "拍子"}, {LabelBPM, "BPM", "テンポ"},         {LabelNote, "Notename", "音名"},
      {LabelLength, "Length", "長さ"},     {LabelLoudness, "Loudness", "大きさ"}, {btStart, "Start", "スタート"},
      {btStop, "Stop", "ストップ"},        {BtNoteAdd, "Add", "音追加"},          {btNoteDelete, "Delete", "音削除"},
  };
  const bool japanese = Env.IsJapanese();
  for (const TCaption& caption : captions) {
    const QString text = QString::fromUtf8(japanese ? caption.japanese : caption.english);
    if (auto* label = qobject_cast<QLabel*>(caption.control))
      SetLabelText(label, text);
    else
      static_cast<QPushButton*>(caption.control)->setText(text);
  }
  // Captions are wider in some fonts than in the one the layout was drawn with; and a list
  // is named by its label, for a screen reader as for the eye.
  for (const auto& group : LabelGroups()) {
    KeepLabelsBeside(group);
    for (const auto& [label, control] : group) control->setAccessibleName(label->text());
  }
  ApplyHints(japanese);
}

QList<QList<std::pair<QLabel*, QWidget*>>> TFrmMain::LabelGroups() const {
  return {{{LabelTS, cbTimeS}},
          {{LabelBPM, seTempo}},
          {{LabelType, cbType}, {LabelNote, cbTone}, {LabelLength, cbLength}, {LabelLoudness, cbLoudness}}};
}

// ---- Pattern model ------------------------------------------------------------------------

void TFrmMain::UpdateTSCount() { TSCount = TimeSigBeats.at(cbTimeS->currentIndex()); }

void TFrmMain::ResetNotes() { Notes = DefaultNotes(TSCount); }

void TFrmMain::cbTimeSChange() {
  if (Run.Active()) UnloadProgram();  // the user takes over: the pattern plays on in this time signature
  UpdateTSCount();
  ResetNotes();
  NotesIndex = -1;
  EnableNoteControls(false);
  DrawMeasure();
  RestartIfPlaying();
}

// ---- Measure view -------------------------------------------------------------------------

void TFrmMain::DrawMeasure() {
  // Painted only when it changed: the ticks call this too, and so show while playing also
  // a change that repaints nothing of its own (a press selects a note). What is repainted
  // a screen reader hears too.
  const TNotes* notes = &Notes;
  std::int32_t beats = TSCount, index = NotesIndex;
  ShowsHeardStep(notes, beats, index);
  if (Image1->ShowMeasure(beats, *notes, index, {FGColor, BGColor, AcColor})) UpdateMeasureDescription();
  // The playhead shows while the measure plays: Stop, or a start that failed, wipes it.
  if (!Timer1->isActive()) Image1->HidePlayhead();
}

int TFrmMain::NoteAt(int X, int Y) const { return ::NoteAt(Notes, Image1->width(), Image1->height(), TSCount, X, Y); }

void TFrmMain::Image1MouseDown(Qt::MouseButton, int X, int Y) {
  if (ShowsSavedStep()) return;
  NotesIndex = NoteAt(X, Y);
  mf = true;
}

void TFrmMain::Image1MouseMove(int X, int /*Y*/) {
  if (!mf || NotesIndex == -1) return;
  const int c = MeasureGeometry(Image1->width(), Image1->height(), TSCount).c;
  const int p = DragOffset(X, c, TSCount);
  TNote note = Notes.at(NotesIndex);
  if (p == note.offset) return;
  cbNotesList->setCurrentIndex(0);
  note.offset = static_cast<std::uint16_t>(p);
  Notes[NotesIndex] = note;
  DrawMeasure();
}

void TFrmMain::Image1MouseUp(Qt::MouseButton, int, int) {
  if (!mf) return;
  mf = false;
  FinishNoteChoice();
}

void TFrmMain::FinishNoteChoice() {
  DrawMeasure();
  RestartIfPlaying();
  ShowNoteProps();
}

void TFrmMain::FormMouseUp() {}

// ---- Note editor --------------------------------------------------------------------------

void TFrmMain::EnableNoteControls(bool enabled) {
  for (QWidget* control : QList<QWidget*>{cbType, cbTone, cbLength, cbLoudness, btNoteDelete})
    control->setEnabled(enabled);
}

void TFrmMain::UpdateToneControls() {
  const bool sine = cbType->currentIndex() == 0;
  for (QComboBox* list : {cbLength, cbTone, cbLoudness}) list->setEnabled(sine);
}

void TFrmMain::ShowNoteProps() {
  EnableNoteControls(NotesIndex >= 0);
  if (NotesIndex >= 0) {
    const TNote& note = Notes.at(NotesIndex);
    cbType->setCurrentIndex(note.n_type);
    cbTone->setCurrentIndex(ToneIndex(note.tone));
    cbLength->setCurrentIndex(LengthIndex(note.length));
    cbLoudness->setCurrentIndex(LoudnessIndex(note.loudness));
  } else {
    for (QComboBox* list : {cbType, cbTone, cbLength, cbLoudness}) list->setCurrentIndex(-1);
  }
  UpdateToneControls();
}

bool TFrmMain::ChangeSelectedNote(const std::function<void(TNote&)>& change) {
  if (NotesIndex < 0) return false;
  cbNotesList->setCurrentIndex(0);
  TNote note = Notes.at(NotesIndex);
  change(note);
  Notes[NotesIndex] = note;
  return true;
}

void TFrmMain::cbTypeChange() {
  if (!ChangeSelectedNote([&](TNote& n) { n.n_type = static_cast<std::uint16_t>(cbType->currentIndex()); })) return;
  RestartIfPlaying();
  UpdateToneControls();
}

void TFrmMain::cbToneChange() {
  if (!ChangeSelectedNote([&](TNote& n) { n.tone = ToneFreqs.at(cbTone->currentIndex()); })) return;
  RestartIfPlaying();
}

void TFrmMain::cbLengthChange() {
  if (!ChangeSelectedNote(
          [&](TNote& n) { n.length = static_cast<std::uint16_t>(NoteLengths.at(cbLength->currentIndex())); }))
    return;
  RestartIfPlaying();
}

void TFrmMain::cbLoudnessChange() {
  if (!ChangeSelectedNote([&](TNote& n) { n.loudness = LoudnessLevels.at(cbLoudness->currentIndex()); })) return;
  DrawMeasure();
  RestartIfPlaying();
}

void TFrmMain::btNoteDeleteClick() {
  if (NotesIndex < 0) return;
  Notes.erase(Notes.begin() + NotesIndex);
  NotesIndex = -1;
  EnableNoteControls(false);
  DrawMeasure();
  RestartIfPlaying();
}

void TFrmMain::BtNoteAddClick() {
  if (!CanAddNote(Notes.size(), TSCount)) return;
  Notes.push_back(DefaultNote(static_cast<std::uint16_t>(SixteenthsPerBeat * TSCount)));
  NotesIndex = static_cast<std::int32_t>(Notes.size()) - 1;
  ShowNoteProps();
  DrawMeasure();
  RestartIfPlaying();
}

// ---- Sound --------------------------------------------------------------------------------

TWav4416MI TFrmMain::BuildMeasure() {
  return RenderMeasure(Notes, MeasureLength(TSCount, TPCount), TPCount, Env.Resources);
}

// ---- Playback -----------------------------------------------------------------------------

namespace {

// Said once when no sound device can be opened.
constexpr const char* NoDeviceText = "No sound device can be opened. The metronome runs on without sound and plays "
                                     "again as soon as a device is available.";
constexpr const char* NoDeviceTextJa = "サウンドデバイスを開けません。音なしで動作を続け、デバイスが使えるようになると再び鳴ります。";

}  // namespace

void TFrmMain::btStartClick() {
  if (FProgram) {
    StartProgram();
    return;
  }
  StopIfFails([&] {
    const bool sounds = Transport.Start([&] { return BuildMeasure(); });
    ScheduleTick();
    Timer1->start();
    ReportSound(sounds);
  });
}

void TFrmMain::btStopClick() {
  if (Run.Active()) {
    StopProgram();
    return;
  }
  Transport.Stop();
  Timer1->stop();
  DrawMeasure();
}

void TFrmMain::nbTempoChange() {
  if (FShowingTempo) return;  // the program's tempo shown, not the user's
  TPCount = TempoFromText(seTempo->lineEdit()->text().toStdString());
  if (Run.Active()) {
    UnloadProgram();  // the user takes over: the pattern plays on at this tempo
    return;
  }
  RestartIfPlaying();
}

void TFrmMain::RestartIfPlaying() {
  if (Run.Active()) {
    // The steps that play the current pattern play the edit from the measure handed over last.
    Run.ReplacePlan(ProgramPlan());
    return;
  }
  // The timer runs exactly while a measure plays.
  if (!Timer1->isActive()) return;
  Timer1->stop();
  StopIfFails([&] {
    const bool sounds = Transport.Restart([&] { return BuildMeasure(); });
    ScheduleTick();
    Timer1->start();
    ReportSound(sounds);
  });
}

void TFrmMain::ScheduleTick(std::optional<std::uint32_t> msToNext) {
  // The next tick when the sixteenth heard changes, as the sound's clock says; a running
  // timer starts its interval anew. Off the screen (hidden, minimised) there is no playhead
  // to move: a program still hands its measures over in time, and the device is looked after.
  if (!IsOnScreen(windowHandle()))
    Timer1->setInterval(Run.Active() ? MaxPollMs : OffScreenTickMs);
  else if (Run.Active())
    Timer1->setInterval(ProgramTickMs());
  else
    Timer1->setInterval(static_cast<int>(msToNext ? *msToNext : Transport.Heard(TPCount, TSCount).msToNext));
}

void TFrmMain::CatchUpOnScreen() {
  // Back on the screen: the playhead moves to what is heard now, not at the next slow tick.
  if (Timer1->isActive() && IsOnScreen(windowHandle())) Timer1->start(0);
}

void TFrmMain::StopIfFails(const std::function<void()>& steps) {
  try {
    steps();
  } catch (...) {
    // The pattern shown is not the one that plays, and a later edit could not be heard: stop
    // altogether, as after Stop, and keep no half-made image (as before the first Start).
    Transport.Stop();
    Timer1->stop();
    Transport.Forget();
    DrawMeasure();
    throw;
  }
}

void TFrmMain::ReportSound(bool sounds) {
  if (sounds) {
    FSoundWarned = false;
    return;
  }
  if (FSoundWarned) return;
  FSoundWarned = true;
  if (FSoundBox) return;  // the last warning is still shown
  FSoundBox = ShowWarningBox(this, QString::fromUtf8(Env.IsJapanese() ? NoDeviceTextJa : NoDeviceText));
}

void TFrmMain::Timer1Timer() {
  ReportSound(Env.Sound->CheckDevice());
  if (Run.Active()) {
    if (!Run.Poll()) {
      StopProgram();  // its end is heard: stopped as Stop stops it
      return;
    }
    ShowProgramHeard();
    ScheduleTick();
    return;
  }
  DrawMeasure();
  const TTransport::THeard heard = Transport.Heard(TPCount, TSCount);
  Image1->ShowPlayhead(TSCount, heard.sixteenth, FGColor);
  ScheduleTick(heard.msToNext);
}

// ---- Appearance ---------------------------------------------------------------------------

void TFrmMain::AttachAbout(TVCLFrmAbout* about) { VCLFrmAbout = about; }

void TFrmMain::btAboutClick() {
  if (VCLFrmAbout != nullptr) VCLFrmAbout->Execute();
}

void TFrmMain::ApplyTheme() {
  const bool light = Env.LightTheme;
  TrySetStyle(light ? LightStyleName : DarkStyleName, Env.AccentColor & 0xFFFFFF);
  FGColor = light ? clBlack : clWhite;
  BGColor = light ? clWhite : clBlack;
  SVGIconVirtualImageList1.SetFixedColor(FGColor);
  AcColor = Env.AccentColor & 0xFFFFFF;
  Image1->SetFocusColor(AcColor);
  DrawMeasure();
}
