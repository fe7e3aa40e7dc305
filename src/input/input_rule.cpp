#include "input/input_rule.h"

namespace input {
namespace {

bool PressesAButton(unsigned key) { return key == InputRule::kEnter || key == InputRule::kSpace; }

// The 64-bit time of a stamp made within 24 days of `now`, before or after.
Ticks Widen(Stamp stamp, Ticks now) noexcept {
  // The signed distance from now's low 32 bits: right for stamps up to 24
  // days either side of now, across any wrap of the 32-bit count.
  const auto distance = static_cast<std::int32_t>(stamp - static_cast<Stamp>(now));
  if (distance < 0 && static_cast<Ticks>(-static_cast<std::int64_t>(distance)) > now) return 0;
  return now + static_cast<Ticks>(static_cast<std::int64_t>(distance));
}

}  // namespace

Verdict InputRule::OnInput(const Input& input, Ticks now) {
  const Ticks made = Widen(input.time, now);
  Forget(made);
  // While busy, only clearing the queue hands input over; after, input made
  // before the command or box ended reaches the window late, and what is
  // made just after a box closed was meant for the box.
  const bool drop =
      busy_ || MadeWhileBusy(made) || (boxClosed_ && made < *boxClosed_ + doubleClickMs_);
  switch (input.kind) {
    case Kind::kKeyDown:
    case Kind::kKeyUp:
      return OnKey(input, made, drop, std::nullopt);
    case Kind::kButtonDoubleClick: {
      // The second click of a double click on the button whose command its
      // first click (or a key) has just started asks for nothing new.
      // Where its first click ran nothing, it is a click of its own.
      if (drop || input.target == 0) break;
      const bool again =
          lastRun_ && lastRun_->target == input.target && made <= lastRun_->time + doubleClickMs_;
      return again ? Verdict::kDrop : Verdict::kHandleAsPress;
    }
    default:
      // A release whose press was dropped reaches a button that was never
      // pressed, which ignores it.
      break;
  }
  return drop ? Verdict::kDrop : Verdict::kHandle;
}

Verdict InputRule::OnBoxInput(const Input& input, Ticks now) {
  const Ticks made = Widen(input.time, now);
  Forget(made);
  // Made while the command ran, and only now handed over: not the box's.
  const bool before = boxOpened_ && made < *boxOpened_;
  if (input.kind == Kind::kKeyDown || input.kind == Kind::kKeyUp) {
    return OnKey(input, made, before, boxOpened_);
  }
  return before ? Verdict::kDrop : Verdict::kHandle;
}

Verdict InputRule::OnKey(const Input& input, Ticks made, bool dropPress,
                         std::optional<Ticks> since) {
  std::optional<HeldKey>& key = held_[input.key & 0xFF];
  if (input.kind == Kind::kKeyUp) {
    if (!key) return dropPress ? Verdict::kDrop : Verdict::kHandle;
    // A release goes with its press: a Space let go would otherwise click
    // the button that has the focus now.
    const bool heldIntoTheBox =
        since && key->pressed < *since && made >= *since && made <= *since + kRepeatIntervalMs;
    const bool dropped = dropPress || key->dropped || (since && key->pressed < *since);
    if (heldIntoTheBox) {
      // Wine sends the release of a key held while the box takes the
      // focus, and the keyboard's next repeats as fresh presses: let go
      // just as the box appeared, the key counts as held until it has not
      // been repeated for a held key's gap.
      key->released = made;
    } else {
      key.reset();
    }
    return dropped ? Verdict::kDrop : Verdict::kHandle;
  }
  if (key && key->released) {
    // Pressed again within a held key's gap after that release: the hold
    // goes on.
    if (made <= *key->released + kHeldKeyGapMs) {
      key->released.reset();
      key->lastDown = made;
      return Verdict::kDrop;
    }
    key.reset();
  }
  if (!key) {
    key = HeldKey{made, made, dropPress, std::nullopt};
    // A press; or the repeat of a press made elsewhere (held since before
    // the window had the focus), taken as a press, except that Enter and
    // Space press nothing.
    return dropPress || (input.repeat && PressesAButton(input.key)) ? Verdict::kDrop
                                                                    : Verdict::kHandle;
  }
  // A repeat, whatever its mark says: the key has not been let go.
  if (made > key->lastDown) key->lastDown = made;
  const bool drop =
      dropPress || key->dropped || PressesAButton(input.key) || (since && key->pressed < *since);
  return drop ? Verdict::kDrop : Verdict::kHandle;
}

bool InputRule::OnRequest(Stamp time, Ticks now) const {
  return !busy_ && !MadeWhileBusy(Widen(time, now));
}

bool InputRule::StartCommand(int target, Stamp time, Ticks now) {
  if (busy_) return false;
  busy_ = true;
  lastRun_ = LastRun{target, Widen(time, now)};
  return true;
}

void InputRule::CommandEnded(Stamp end, Ticks now) { commandEnd_ = Widen(end, now); }

void InputRule::BoxOpened(Stamp opened, Ticks now) { boxOpened_ = Widen(opened, now); }

void InputRule::BoxClosed(Stamp closed, Ticks now) {
  boxClosed_ = Widen(closed, now);
  boxOpened_.reset();
}

void InputRule::Finish() noexcept { busy_ = false; }

bool InputRule::MadeWhileBusy(Ticks made) const {
  return (commandEnd_ && made < *commandEnd_) || (boxClosed_ && made < *boxClosed_);
}

void InputRule::Forget(Ticks made) {
  // Input reaches the window in the order it was made, and what a clearing
  // of the queue missed comes first after it: once input made after an end
  // arrives, nothing made before it can follow. (While busy, the clearing
  // hands over input out of that order.)
  if (!busy_ && commandEnd_ && made >= *commandEnd_) commandEnd_.reset();
  if (!busy_ && boxClosed_ && made >= *boxClosed_ + doubleClickMs_) boxClosed_.reset();
  if (lastRun_ && made > lastRun_->time + doubleClickMs_) lastRun_.reset();
  for (std::optional<HeldKey>& key : held_) {
    // Not repeated for longer than a keyboard repeats: let go where the
    // window could not see it (the focus was elsewhere).
    if (key && made > (key->released ? *key->released : key->lastDown) + kHeldKeyGapMs) {
      key.reset();
    }
  }
}

}  // namespace input
