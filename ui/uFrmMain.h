// The main window: holds the pattern and the run-time state, lays out the controls and
// handles their events. The work that needs no window lives in free functions.
#pragma once

#include <QPointer>
#include <QMargins>
#include <QWidget>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/uBeatClock.h"
#include "audio/uProgramRun.h"
#include "audio/uSoundDevice.h"
#include "audio/uSoundOutput.h"
#include "audio/uTransport.h"
#include "audio/uWavUtils.h"
#include "pattern/uPattern.h"
#include "pattern/uPatternFile.h"
#include "pattern/uProgram.h"
#include "platform/uColor.h"
#include "platform/uMpris.h"
#include "platform/uResources.h"
#include "platform/uTheme.h"
#include "platform/uVCLUtils.h"
#include "ui/uSvgIcons.h"

class QComboBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QPushButton;
class TSpinEdit;
class QTimer;
class TImage;
class TPanel;
class TVCLFrmAbout;
struct TDialogEnv;


// Fills a list with a blank first entry and the names of the pattern files in the folders
// (ListPatternFiles); each name carries the path of its file, as the file system names it,
// as the item's data (a std::filesystem::path).
void ListNoteFiles(QComboBox& list, const std::vector<std::filesystem::path>& folders);

// The texts of saving under a name (a pattern, a program), in one language.
struct TSaveTexts {
  const char* caption;
  const char* prompt;
  const char* defaultName;
  const char* overwrite;
  const char* invalidName;
};
// Asks for a name (proposing `proposal`, or the texts' default when it is empty), refuses a
// name that cannot be stored, asks before replacing a file, and makes the folder: the path
// to save to, or no value when the user gave up.
std::optional<std::filesystem::path> AskSavePath(QWidget* parent, const TSaveTexts& texts,
                                                 const std::filesystem::path& folder, std::string_view extension,
                                                 const QString& proposal = {});

// The pattern folders of this program and this user, as they are now.
TPatternFolders DefaultPatternFolders();

// What the window takes from the system. The defaults are the real ones; tests replace them.
struct TFrmMainEnv {
  std::function<bool()> IsJapanese = ::IsJapanese;
  TSoundOutput* Sound = &DefaultSoundOutput();  // the player and its clock
  TResourceReader Resources = ReadResource;     // the voice recordings
  // The desktop's theme as read at start-up.
  bool LightTheme = IsLightTheme();
  std::uint32_t AccentColor = SysAccentColor;
  // Where the patterns are saved and listed from; asked afresh each time.
  std::function<TPatternFolders()> PatternFolders = DefaultPatternFolders;
  std::function<std::string()> DecimalSeparator = ::DecimalSeparator;
  // The desktop's media controls, given the window's commands; nothing where none can be had.
  std::function<std::unique_ptr<TMediaControls>(TMediaHooks)> MediaControls = RegisterMpris;
};

// The window's title while a program plays: "TAKTOLA- Sports Metronome", then the program's
// name, the step of all steps, the round and its repetition, and the time left (m:ss), in
// the UI language.
QString ProgramTitle(const std::string& name, const TProgram& program, const TPlannedMeasure& heard,
                     std::uint64_t samplesLeft, bool japanese);

class TFrmMain : public QWidget {
  Q_OBJECT
 public:
  explicit TFrmMain(TFrmMainEnv env = {}, QWidget* parent = nullptr);
  ~TFrmMain() override;

  // The About dialog that the About button opens; it is made after the main window.
  void AttachAbout(TVCLFrmAbout* about);

  // Loads the training program and plays it from its beginning; Start plays it again from
  // there and Stop ends it, until a pattern is picked from the list. A program that names
  // patterns the pattern folders lack is refused with a message naming them. True when it
  // plays.
  bool PlayProgram(const std::filesystem::path& path);
  // The pattern in the editor and the tempo in its field, as the program and export
  // dialogs take them.
  TStepPattern CurrentPattern() const;
  std::int32_t CurrentTempo() const;

 protected:
  void showEvent(QShowEvent* event) override;
  // Sees the window manager's frame arrive.
  bool event(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // Sees every key pressed in the window before the control with the focus does.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend struct TFrmMainAccess;  // tests read the state through it

  void CreateControls();
  void ConnectHandlers();
  // Connects a signal to a handler whose escaping errors the general error report shows.
  template <typename Sender, typename Signal, typename... Args>
  void Handle(Sender* sender, Signal signal, void (TFrmMain::*handler)(Args...));
  void ApplyCaptions();
  // Each label and the control it names, in the groups that move together to stay clear of
  // their controls: the time signature, the tempo, the note editor's column.
  QList<QList<std::pair<QLabel*, QWidget*>>> LabelGroups() const;
  void SetOuterHeight(int height, const QMargins& frame);
  void ApplyOuterMinimum(const QMargins& frame);
  void ApplyCreationSize(const QMargins& frame);
  void CenterInWorkArea(const QMargins& frame);
  void FitToFrame();
  void WatchFrame();

  // Window life.
  void FormCreate();
  void FormShow();
  void FormResize();
  void FormDestroy();

  // Pattern model.
  void cbTimeSChange();
  void UpdateTSCount();
  void ResetNotes();

  // Measure view.
  void Image1MouseDown(Qt::MouseButton button, int X, int Y);
  void Image1MouseMove(int X, int Y);
  void Image1MouseUp(Qt::MouseButton button, int X, int Y);
  void FormMouseUp();
  void DrawMeasure();
  int NoteAt(int X, int Y) const;

  // Note editor.
  void EnableNoteControls(bool enabled);
  void UpdateToneControls();
  void ShowNoteProps();
  void cbTypeChange();
  void cbToneChange();
  void cbLengthChange();
  void cbLoudnessChange();
  void btNoteDeleteClick();
  void BtNoteAddClick();
  // Stores one changed field of the selected note; false when no note is selected.
  bool ChangeSelectedNote(const std::function<void(TNote&)>& change);

  // Sound: the measure rendered from the pattern.
  TWav4416MI BuildMeasure();

  // Playback.
  void btStartClick();
  void btStopClick();
  void nbTempoChange();
  void Timer1Timer();
  void RestartIfPlaying();
  // Times the next tick of Timer1 for the moment the sixteenth heard changes; msToNext is
  // that wait when the tick has read the clock already.
  void ScheduleTick(std::optional<std::uint32_t> msToNext = std::nullopt);
  void CatchUpOnScreen();
  // The longest wait between two polls of a program: well within the time a measure leaves
  // to hand the next one over. The tick off the screen for a pattern, which then only looks
  // after the device.
  static constexpr int MaxPollMs = 50;
  static constexpr int OffScreenTickMs = 250;
  // Runs the steps of a start or restart; when one fails, playback stops cleanly and the
  // error goes on to the general error report.
  void StopIfFails(const std::function<void()>& steps);
  // Whether the sound reaches a device: when it does not, the user is told once, and again
  // only after sound has worked in between.
  void ReportSound(bool sounds);

  // Pattern list.
  void RefreshNotesList();
  void cbNotesListChange();
  void btItemAddClick();

  // Appearance.
  void ApplyTheme();
  void btAboutClick();

  // The program and export dialogs (Ctrl+P, Ctrl+E, the measure view's context menu).
  TDialogEnv DialogEnv();
  void ShowPrograms();
  void ShowExport();
  void Image1ContextMenu(const QPoint& at);

  // Keyboard, tooltips and accessibility (uFrmMainKeyboard.cpp).
  // The keys of the whole window; true when the key was one of them.
  bool WindowKey(const QKeyEvent& key);
  // Left/Right, Shift+Left/Right, Delete and Insert in the measure view.
  void Image1KeyDown(int key, Qt::KeyboardModifiers modifiers);
  // What ends a press in the measure view, and a keyboard step there alike: repaint,
  // restart a playing measure, show the selected note in the editor.
  void FinishNoteChoice();
  // The tooltips and accessible names, in the language of the captions.
  void ApplyHints(bool japanese);
  void UpdateMeasureDescription();
  // One tap of tap tempo (the key T, a click on the tempo's label), read on the sound's clock:
  // from the fourth tap of a series on, the tempo follows the taps as if typed.
  void TapTempo();

  // Training programs (uFrmMainProgram.cpp). The plan of the loaded program, the current
  // pattern (the editor's notes) in the steps that name none.
  std::shared_ptr<TProgramPlan> ProgramPlan() const;
  void StartProgram();
  // Ends the program's sound; the program stays loaded.
  void StopProgram();
  // Unloads the program; when it played, the pattern plays on from its start.
  void UnloadProgram();
  // The title, tempo field and measure view for what is heard now.
  void ShowProgramHeard();
  // Ms to the next sixteenth heard of the program, at most a poll's interval.
  int ProgramTickMs();
  // The next step, from the media controls.
  void ProgramNext();
  // What the measure view shows while a program plays: the heard measure's notes, beats and
  // the note chosen; false while none plays.
  bool ShowsHeardStep(const TNotes*& notes, std::int32_t& beats, std::int32_t& index);
  // A program plays a saved pattern's step now: the view shows that pattern, which the
  // view's mouse and keys leave alone (they edit the current pattern, not shown then).
  bool ShowsSavedStep();
  // Sets the tempo field without running its handler.
  void ShowTempo(std::int32_t tempo);

  // The desktop's media controls (uFrmMainMedia.cpp): they press Start and Stop, and are
  // told what plays after every handler.
  void ConnectMediaControls();
  TMediaState MediaState() const;
  void PublishMediaState();

  TFrmMainEnv Env;
  // Start, restart and stop of the loop, with the measure's length and offset, the start's
  // clock reading and the WAV image.
  TTransport Transport{*Env.Sound};

  // Controls, named as designed.
  QFrame* PanelClient = nullptr;
  QWidget* PanelLeft = nullptr;
  TPanel* PanelTop = nullptr;
  TPanel* PanelBottom = nullptr;
  TPanel* PanelNote = nullptr;
  TImage* Image1 = nullptr;
  QComboBox* cbNotesList = nullptr;
  QPushButton* btItemAdd = nullptr;
  QLabel* LabelTS = nullptr;
  QComboBox* cbTimeS = nullptr;
  QLabel* LabelBPM = nullptr;
  TSpinEdit* seTempo = nullptr;
  QPushButton* btStart = nullptr;
  QPushButton* btStop = nullptr;
  QPushButton* BtNoteAdd = nullptr;
  QLabel* LabelType = nullptr;
  QComboBox* cbType = nullptr;
  QLabel* LabelNote = nullptr;
  QComboBox* cbTone = nullptr;
  QLabel* LabelLength = nullptr;
  QComboBox* cbLength = nullptr;
  QLabel* LabelLoudness = nullptr;
  QComboBox* cbLoudness = nullptr;
  QPushButton* btNoteDelete = nullptr;
  QPushButton* btAbout = nullptr;
  QTimer* Timer1 = nullptr;
  TSVGIconImageCollection SVGIconImageCollection1;
  TSVGIconVirtualImageList SVGIconVirtualImageList1{&SVGIconImageCollection1};
  TVCLFrmAbout* VCLFrmAbout = nullptr;

  // Run-time state.
  TNotes Notes;
  std::int32_t NotesIndex = 0;
  std::int32_t TSCount = 0;
  std::int32_t TPCount = 0;
  TColor FGColor = 0;
  TColor BGColor = 0;
  TColor AcColor = 0;
  bool mf = false;
  std::int32_t bHeight = 0;
  bool FShownOnce = false;
  QMargins FFrame;               // the frame the outer sizes were last applied with
  bool FOpening = false;         // the first seconds after showing, while the frame settles
  bool FJapaneseHints = false;   // the language the hints were given in
  bool FSoundWarned = false;     // the user was told that no sound device can be opened
  QPointer<QWidget> FSoundBox;   // that warning, while it is shown
  TTapTempo FTaps;               // the taps of tap tempo
  std::unique_ptr<TMediaControls> FMedia;  // the media controls, where the desktop has them
  // The training program loaded (none: patterns play), its name and its steps' patterns
  // [round][step] (a step that names none plays the editor's notes); its run while it plays.
  std::optional<TProgram> FProgram;
  std::string FProgramName;
  std::vector<std::vector<TStepPattern>> FProgramPatterns;
  TProgramRun Run{*Env.Sound, Env.Resources};
  bool FShowingTempo = false;  // the tempo field is being set to the heard tempo
};
