// The playhead that the floor programs move (bench/qt_floor --playhead, bench/x_floor), as
// TAKTOLA's view shows one at 4/4 and 240 BPM: a 3 px line over a 465 x 226 picture, moving
// a sixteenth (5.8 px) 64 times a second and round the measure's 64 sixteenths.
#pragma once

namespace FloorPlayhead {

inline constexpr int Width = 465;
inline constexpr int Height = 226;
inline constexpr int BeatWidth = 93;  // the picture's column, as TAKTOLA's layout gives it
inline constexpr int Sixteenths = 64;
inline constexpr int MovesPerSecond = 64;
inline constexpr int LineWidth = 3;

// The middle column of the line at sixteenth s.
constexpr int LineX(int s) { return BeatWidth + BeatWidth * s / 16; }
// The first column of the line at sixteenth s.
constexpr int LineLeft(int s) { return LineX(s) - LineWidth / 2; }

}  // namespace FloorPlayhead
