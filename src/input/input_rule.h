// The window's input rule: one intent, one command. Told what happens to the
// window (input, a command asked for by a message, a command starting and
// ending, its error box opening and closing), it answers for each input
// whether the window handles it. Plain C++: the Win32 code feeds it and acts
// on its answers.
//
// What it promises, for a window left open any length of time:
// - Input made while a command runs, or while its error box is up but before
//   the box appeared, runs nothing, also where it reaches the window late.
//   So does a command asked for by a message made meanwhile.
// - A key whose press was dropped stays dropped for as long as it is held:
//   its repeats and its release do nothing. A held Enter or Space is one
//   press: its repeats do nothing, also in the box.
// - The error box is closed only by input made after it appeared; what is
//   made within the double-click time after it closed belongs to it too.
// - The second click of a double click on the button whose command was just
//   started by input within the double-click time before it runs nothing;
//   otherwise a double click's second click is a click of its own.
//
// Times: input carries the 32-bit stamp of the system's millisecond tick count
// (MSG::time), which wraps every 49.7 days; every call also says the tick
// count now, in 64 bits. Stamps are widened against it (input is handled
// within days of being made, never 24 days later), and everything kept is
// kept and compared in 64 bits, so no distance in time and no wrap changes
// an answer. Nothing is kept for longer than it matters: a command's end
// until input made after it arrives, a box's close until input made after
// its double-click time, a key until it is released or no longer repeats.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace input {

// Milliseconds since the system started (GetTickCount64).
using Ticks = std::uint64_t;
// A message's stamp: the low 32 bits of Ticks when it was made (MSG::time).
using Stamp = std::uint32_t;

enum class Kind {
  kKeyDown,
  kKeyUp,
  kButtonDown,         // a mouse button pressed, in the client area or on the frame
  kButtonDoubleClick,  // the same, made by the system into a double click's second press
  kButtonUp,
  kOther,  // the wheel, touch, pen: runs nothing by itself
};

struct Input {
  Kind kind = Kind::kOther;
  // The control it is for (its id; a command's button), 0 for anything else.
  int target = 0;
  Stamp time = 0;
  // For keys: the virtual key, and whether the message says the key was down
  // already (the keyboard repeats it). Wine drops that mark when the focus
  // moves, so the rule keeps its own account of held keys too.
  unsigned key = 0;
  bool repeat = false;
};

enum class Verdict {
  kHandle,
  kDrop,
  // A double click's second click that asks for a click of its own: handle
  // it as a plain press.
  kHandleAsPress,
};

class InputRule {
 public:
  // Keys that press the focused button.
  static constexpr unsigned kEnter = 0x0D;
  static constexpr unsigned kSpace = 0x20;
  // A held key repeats at least this often (the keyboard's longest delay,
  // one second, with room to spare); a key not seen for longer was let go.
  static constexpr Ticks kHeldKeyGapMs = 1500;
  // The keyboard's slowest repeat, with room to spare.
  static constexpr Ticks kRepeatIntervalMs = 500;

  explicit InputRule(unsigned doubleClickMs = 500) noexcept : doubleClickMs_(doubleClickMs) {}

  // The system's double-click time (it can change while the window is open).
  void SetDoubleClickTime(unsigned ms) noexcept { doubleClickMs_ = ms; }

  // Input that reaches the window's own loop, or that clearing the queue
  // removes (those are dropped whatever the answer; the rule learns the keys
  // held from them).
  Verdict OnInput(const Input& input, Ticks now);
  // Input that reaches the error box while it is up.
  Verdict OnBoxInput(const Input& input, Ticks now);
  // A command asked for by a message (a posted click or command) that
  // reaches the window's loop: true when it may run.
  bool OnRequest(Stamp time, Ticks now) const;

  // A command is to start for `target`, asked for by input or a message made
  // at `time`. False when one runs already or its box is up: nothing starts.
  bool StartCommand(int target, Stamp time, Ticks now);
  // The command has returned; `end` stamps that moment on the input clock.
  void CommandEnded(Stamp end, Ticks now);
  void BoxOpened(Stamp opened, Ticks now);
  void BoxClosed(Stamp closed, Ticks now);
  // The command and its box are over, and what was made meanwhile is gone:
  // the next command may start.
  void Finish() noexcept;

  // The window has the keyboard back from another program, which got the
  // release of any key held when it took it: keys that `isDown(key)` says
  // are up now were let go meanwhile.
  template <typename IsDown>
  void KeyboardReturned(IsDown isDown) {
    for (unsigned key = 0; key < held_.size(); ++key) {
      if (held_[key] && !isDown(key)) held_[key].reset();
    }
  }

 private:
  struct HeldKey {
    Ticks pressed = 0;     // its press, the first key-down
    Ticks lastDown = 0;    // its latest key-down, the press or a repeat
    bool dropped = false;  // its press was dropped
    // Held since before the box, it seemed let go in it (see OnKey).
    std::optional<Ticks> released;
  };
  struct LastRun {
    int target = 0;
    Ticks time = 0;
  };

  // Answers for a key, keeping the account of held keys. `dropPress` says
  // whether a fresh press is to be dropped; `since` drops the repeats and
  // release of a key pressed before it.
  Verdict OnKey(const Input& input, Ticks made, bool dropPress, std::optional<Ticks> since);
  // Forgets what no longer matters once input made at `made` arrives.
  void Forget(Ticks made);
  // True when input made at `made` belongs to a command or box now over.
  bool MadeWhileBusy(Ticks made) const;

  unsigned doubleClickMs_;
  bool busy_ = false;
  std::optional<Ticks> commandEnd_;
  std::optional<Ticks> boxOpened_;
  std::optional<Ticks> boxClosed_;
  std::optional<LastRun> lastRun_;
  // By virtual key (0 to 255): the keys held, as far as the window saw.
  std::array<std::optional<HeldKey>, 256> held_;
};

}  // namespace input
