// The texts that help without being seen at once: tooltips that name each button's shortcut,
// accessible names of the controls without a caption of their own, and the measure view's
// description for screen readers. English or Japanese, chosen as the captions are.
#pragma once

#include <QString>
#include <Qt>

#include "pattern/uPattern.h"

struct THint {
  const char* english;
  const char* japanese;
  QString Text(bool japanese) const { return QString::fromUtf8(japanese ? this->japanese : english); }
};

namespace Hints {
// Tooltips.
inline constexpr THint SaveTip{"Save the pattern under a name (Ctrl+S)", "パターンに名前を付けて保存 (Ctrl+S)"};
inline constexpr THint AboutTip{"About TAKTOLA (F1)", "TAKTOLA について (F1)"};
inline constexpr THint StartTip{"Start playing (Space)", "再生を開始 (Space)"};
inline constexpr THint StopTip{"Stop playing (Space)", "再生を停止 (Space)"};
inline constexpr THint AddTip{"Add a note at the end of the measure (Insert in the measure)",
                              "小節の終わりに音を追加 (小節で Insert)"};
inline constexpr THint DeleteTip{"Delete the selected note (Delete in the measure)", "選択した音を削除 (小節で Delete)"};
inline constexpr THint TempoTip{"Tempo, 60 to 240 BPM (+ and - step it from anywhere, with Shift by 10; "
                                "tap T or click the label four times or more to set it from the taps)",
                                "テンポ、60～240 BPM (どこからでも + と - で増減、Shift で 10 ずつ。"
                                "T を押すかラベルをクリックして 4 回以上タップすると、その間隔から設定)"};
inline constexpr THint TapTip{"Tap T or click here four times or more to set the tempo from the taps",
                              "T を押すかここをクリックして 4 回以上タップすると、その間隔からテンポを設定"};
// Accessible names of controls that have no label beside them.
inline constexpr THint PatternsName{"Patterns", "パターン"};
inline constexpr THint SaveName{"Save pattern", "パターンを保存"};
inline constexpr THint TempoName{"Tempo (BPM)", "テンポ (BPM)"};
inline constexpr THint AboutName{"About", "バージョン情報"};
inline constexpr THint MeasureName{"Measure", "小節"};
}  // namespace Hints

// Tells screen readers what the program's own widget classes are: the main window a window
// (a plain top-level widget would be announced as a mere panel), the measure view a canvas.
void InstallAccessibleRoles();

// What the measure view shows, in words: "4/4, 4 notes, note 2 of 4 at beat 2". Notes are
// counted along the time line, as Left and Right step through them.
QString MeasureDescription(int tsCount, const TNotes& notes, int notesIndex, bool japanese);

// The tempo step that a key gives from anywhere in the window, 0 for none: "+" and "-" by
// 1, with Shift by 10. A key that needs Shift for "+" (as on US keyboards) counts as
// Shift+"+", and "=" without Shift as "+", so that one key cap steps by 1 and by 10; on a
// Japanese keyboard "=" is Shift+"-".
int TempoKeyStep(int key, Qt::KeyboardModifiers modifiers);
