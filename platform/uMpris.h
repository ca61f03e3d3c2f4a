// The player as the desktop's media controls see it: headset buttons, keyboard media keys and
// the sound menu speak MPRIS on the session bus, as org.mpris.MediaPlayer2.taktola. The bus
// side knows nothing of the window: it calls the hooks it is given and shows the state it is
// told.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#ifndef _WIN32
class QDBusConnection;
#endif

// What the remote controls do. Pause means Stop: a looping measure has no place to resume
// from. An empty hook is a command the player cannot carry out now.
struct TMediaHooks {
  std::function<void()> Play;
  std::function<void()> Stop;
  std::function<void()> Next;   // the next step of a training program
  std::function<void()> Raise;  // brings the window to the front
  std::function<void()> Quit;
};

// What the controls show.
struct TMediaState {
  bool Playing = false;
  bool CanGoNext = false;  // Next has somewhere to go (a program's next step)
  QString Title;           // the pattern's name, or the window's title when none is chosen
  int Tempo = 0;           // BPM
  bool operator==(const TMediaState&) const = default;
};

// The player registered on a bus; unregistered when destroyed.
class TMediaControls {
 public:
  virtual ~TMediaControls() = default;
  // Shows the state; what changed is announced to the desktop.
  virtual void Publish(const TMediaState& state) = 0;
};

// The name a desktop finds the player by; a second running copy takes the same name with
// ".instance<process id>" added, as MPRIS asks.
inline constexpr const char* MprisServiceName = "org.mpris.MediaPlayer2.taktola";

// The player on the session bus, when one can be reached without starting one (SessionBus);
// nothing, silently, when there is none or it refuses the player.
#ifdef _WIN32
// Windows has no such bus.
inline std::unique_ptr<TMediaControls> RegisterMpris(TMediaHooks) { return nullptr; }
#else
std::unique_ptr<TMediaControls> RegisterMpris(TMediaHooks hooks);
// The same on the given bus.
std::unique_ptr<TMediaControls> RegisterMprisOn(const QDBusConnection& bus, TMediaHooks hooks);
#endif
