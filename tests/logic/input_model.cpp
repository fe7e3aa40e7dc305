#include "logic/input_model.h"

#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <utility>

#include "input/input_rule.h"

namespace input_model {
namespace {

using input::InputRule;

constexpr Ticks kDay = 24ULL * 60 * 60 * 1000;
constexpr Ticks kRepeatInterval = InputRule::kRepeatIntervalMs;
constexpr Ticks kHeldKeyGap = InputRule::kHeldKeyGapMs;

bool IsInput(const Action& action) {
  return action.type == Action::Type::kClick || action.type == Action::Type::kKey;
}

// --- What the user meant, from the list alone ------------------------------

Outcome Judge(const Scenario& s) {
  struct Span {
    Ticks from;
    std::optional<Ticks> to;     // a box not closed yet: still up
    const Action* by = nullptr;  // what ran the command it belongs to
  };
  Outcome outcome;
  std::vector<Span> commands;
  std::vector<Span> boxes;
  std::optional<std::pair<int, Ticks>> lastRun;
  std::size_t started = 0;
  const auto within = [](std::vector<Span>& spans, Ticks t) -> Span* {
    for (Span& span : spans) {
      if (span.from <= t && (!span.to || t < *span.to)) return &span;
    }
    return nullptr;
  };
  const Action* current = nullptr;
  const auto run = [&](int button, Ticks at) {
    outcome.commands.emplace_back(button, at);
    lastRun = std::make_pair(button, at);
    const Ticks end = at + s.durations[started % s.durations.size()];
    const bool fails = s.failures[started % s.failures.size()];
    ++started;
    commands.push_back({at, end, current});
    if (fails) boxes.push_back({end, std::nullopt, current});
  };
  // Wine lets a key held as the box appears go (its release comes as the
  // box takes the focus) and repeats it as fresh presses, the first after
  // the keyboard's delay. So within half a second of the box's appearing,
  // the release of a key held since before it does not end the hold: a
  // press of it within a held key's gap after that (InputRule's
  // kHeldKeyGapMs) is the same hold going on. Per key: such a release.
  std::map<unsigned, Ticks> letGoInABox;
  const Action* previous = nullptr;
  bool previousHeld = false;  // previous was that hold going on
  for (const Action& a : s.actions) {
    const Ticks t = a.first;
    if (previous != nullptr && previous->type == Action::Type::kKey) {
      const Span* box = within(boxes, previous->last);
      // (Not a Space let go that ran the box's command itself, in the same
      // instant.)
      const bool ranIt = box != nullptr && box->by == previous &&
                         previous->key == InputRule::kSpace && previous->last == box->from;
      if (box != nullptr && !ranIt && (previous->first < box->from || previousHeld) &&
          previous->last <= box->from + kRepeatInterval) {
        letGoInABox[previous->key] = previous->last;
      }
    }
    previous = &a;
    current = &a;
    previousHeld = false;
    if (a.type == Action::Type::kKey) {
      const auto letGo = letGoInABox.find(a.key);
      if (letGo != letGoInABox.end()) {
        previousHeld = t <= letGo->second + kHeldKeyGap;
        letGoInABox.erase(letGo);
        if (previousHeld) continue;
      }
    }
    // Made while a command ran: meant for nothing there is now.
    if (within(commands, t) != nullptr) continue;
    // Made while the error box was up: for the box; OK (over Compile
    // Bins), Enter and Space close it, each as that button acts.
    if (Span* box = within(boxes, t)) {
      std::optional<Ticks> closes;
      if (a.type == Action::Type::kClick && a.place == kCompileBins) closes = a.last;
      if (a.type == Action::Type::kKey) closes = a.key == InputRule::kEnter ? a.first : a.last;
      if (closes) {
        box->to = *closes;
        outcome.boxesClosed.push_back(*closes);
      }
      continue;
    }
    // Input made within the double-click time after a box closed was meant
    // for the box (a second Enter, a double click on OK).
    bool forTheBox = false;
    for (const Span& box : boxes) {
      forTheBox = forTheBox || (box.to && *box.to <= t && t < *box.to + s.doubleClickMs);
    }
    if (IsInput(a) && forTheBox) continue;
    switch (a.type) {
      case Action::Type::kClick:
        if (a.place == kElsewhere) break;
        // A double click's second click, on the button the command was
        // started for within the double-click time before it, is the same
        // request again.
        if (a.doubleClick && lastRun && lastRun->first == a.place &&
            t <= lastRun->second + s.doubleClickMs) {
          break;
        }
        run(a.place, a.last);  // a button clicks when it is let go
        break;
      case Action::Type::kKey:
        // Enter presses the focused button at once, Space when let go.
        run(s.focus, a.key == InputRule::kEnter ? a.first : a.last);
        break;
      case Action::Type::kPostedRequest:
      case Action::Type::kSentRequest:
        run(a.place, t);
        break;
    }
  }
  return outcome;
}

// --- The same played out in a window that asks the rule --------------------

struct Message {
  Ticks time = 0;
  Action::Type via = Action::Type::kClick;
  input::Input input;
  int place = kElsewhere;
  bool late = false;
  const Action* action = nullptr;
};

std::vector<Message> MessagesOf(const Scenario& s) {
  std::vector<Message> messages;
  for (const Action& a : s.actions) {
    const auto add = [&](Ticks time, input::Kind kind, bool repeat, std::size_t index) {
      Message m;
      m.time = time;
      m.via = a.type;
      m.input.kind = kind;
      m.input.key = a.key;
      m.input.repeat = repeat;
      m.place = a.place;
      m.late = index < a.late.size() && a.late[index];
      m.action = &a;
      messages.push_back(m);
    };
    switch (a.type) {
      case Action::Type::kClick:
        add(a.first, a.doubleClick ? input::Kind::kButtonDoubleClick : input::Kind::kButtonDown,
            false, 0);
        add(a.last, input::Kind::kButtonUp, false, 1);
        break;
      case Action::Type::kKey:
        add(a.first, input::Kind::kKeyDown, false, 0);
        for (std::size_t i = 0; i < a.repeats.size(); ++i) {
          add(a.repeats[i], input::Kind::kKeyDown, a.marked[i], i + 1);
        }
        add(a.last, input::Kind::kKeyUp, false, a.repeats.size() + 1);
        break;
      case Action::Type::kPostedRequest:
      case Action::Type::kSentRequest:
        add(a.first, input::Kind::kOther, false, 0);
        break;
    }
  }
  return messages;
}

bool IsMouse(const Message& m) {
  return m.input.kind == input::Kind::kButtonDown ||
         m.input.kind == input::Kind::kButtonDoubleClick || m.input.kind == input::Kind::kButtonUp;
}

class Window {
 public:
  explicit Window(const Scenario& s) : s_(s), messages_(MessagesOf(s)), rule_(s.doubleClickMs) {}

  Outcome Play() {
    while (const std::optional<Message> m = Next()) InWindow(*m);
    return outcome_;
  }

 private:
  static input::Stamp Stamp(Ticks t) { return static_cast<input::Stamp>(t); }

  input::Input ToRule(const Message& m, int target) const {
    input::Input made = m.input;
    made.time = Stamp(m.time);
    made.target = target;
    return made;
  }

  // The next message the thread gets: what a clearing missed comes first.
  std::optional<Message> Next() {
    std::optional<Message> m;
    if (!missed_.empty()) {
      m = missed_.front();
      missed_.pop_front();
    } else if (next_ < messages_.size()) {
      m = messages_[next_++];
    }
    if (m) now_ = std::max(now_, m->time);
    return m;
  }

  void InWindow(const Message& m) {
    switch (m.via) {
      case Action::Type::kPostedRequest:
        if (rule_.OnRequest(Stamp(m.time), now_)) Run(m.place, m.time);
        return;
      case Action::Type::kSentRequest:
        Run(m.place, m.time);
        return;
      case Action::Type::kClick:
      case Action::Type::kKey:
        break;
    }
    const int target = IsMouse(m) ? m.place : kElsewhere;
    if (rule_.OnInput(ToRule(m, target), now_) == input::Verdict::kDrop) return;
    switch (m.input.kind) {
      case input::Kind::kButtonDown:
      case input::Kind::kButtonDoubleClick:
        pressed_ = target;  // the button takes the mouse until let go
        break;
      case input::Kind::kButtonUp: {
        const int pressed = std::exchange(pressed_, kElsewhere);
        if (pressed != kElsewhere && pressed == target) Run(target, m.time);
        break;
      }
      case input::Kind::kKeyDown:
        if (m.input.key == InputRule::kEnter) Run(s_.focus, m.time);
        if (m.input.key == InputRule::kSpace) spacePushed_ = true;
        break;
      case input::Kind::kKeyUp:
        if (m.input.key == InputRule::kSpace && std::exchange(spacePushed_, false)) {
          Run(s_.focus, m.time);
        }
        break;
      case input::Kind::kOther:
        break;
    }
  }

  void Run(int button, Ticks made) {
    if (!rule_.StartCommand(button, Stamp(made), now_)) return;
    outcome_.commands.emplace_back(button, now_);
    const Ticks end = now_ + s_.durations[started_ % s_.durations.size()];
    const bool fails = s_.failures[started_ % s_.failures.size()];
    ++started_;
    // What is made meanwhile waits in the queue; what is sent waits too.
    std::vector<Message> queued;
    std::vector<Message> sent;
    for (; next_ < messages_.size() && messages_[next_].time < end; ++next_) {
      (messages_[next_].via == Action::Type::kSentRequest ? sent : queued)
          .push_back(messages_[next_]);
    }
    now_ = end;
    rule_.CommandEnded(Stamp(end), now_);
    Clear(queued);
    if (fails) Box();
    // Sent while busy, handled now: still busy.
    for (const Message& m : sent) Run(m.place, m.time);
    rule_.Finish();
  }

  // The clearing removes what is queued, telling the rule; from the first
  // message that reaches the queue too late for it on, the rest stays.
  void Clear(const std::vector<Message>& queued) {
    bool missing = false;
    for (const Message& m : queued) {
      missing = missing || m.late;
      if (missing) {
        missed_.push_back(m);
      } else if (m.via != Action::Type::kPostedRequest) {
        rule_.OnInput(ToRule(m, kElsewhere), now_);
      }
    }
  }

  void Box() {
    const Ticks opened = now_;
    rule_.BoxOpened(Stamp(opened), now_);
    if (s_.wineLetsHeldKeysGo) LetHeldKeyGo(opened);
    bool okPressed = false;
    bool okPushed = false;
    bool closed = false;
    while (!closed) {
      const std::optional<Message> m = Next();
      if (!m) return;  // the list ends with the box up
      if (m->via == Action::Type::kPostedRequest || m->via == Action::Type::kSentRequest) {
        Run(m->place, m->time);  // the box's loop hands them to the window
        continue;
      }
      // A click made on the disabled window behind the box reaches no one.
      if (IsMouse(*m) && m->time >= opened && m->place != kCompileBins) continue;
      if (rule_.OnBoxInput(ToRule(*m, kElsewhere), now_) == input::Verdict::kDrop) continue;
      switch (m->input.kind) {
        case input::Kind::kButtonDown:
        case input::Kind::kButtonDoubleClick:
          okPressed = m->place == kCompileBins;
          break;
        case input::Kind::kButtonUp:
          closed = std::exchange(okPressed, false);
          break;
        case input::Kind::kKeyDown:
          closed = m->input.key == InputRule::kEnter;
          okPushed = okPushed || m->input.key == InputRule::kSpace;
          break;
        case input::Kind::kKeyUp:
          closed = m->input.key == InputRule::kSpace && std::exchange(okPushed, false);
          break;
        case input::Kind::kOther:
          break;
      }
    }
    outcome_.boxesClosed.push_back(now_);
    rule_.BoxClosed(Stamp(now_), now_);
  }

  // Wine, as the box takes the focus, sends the release of a key held
  // since before it, and the keyboard's further repeats as fresh presses.
  void LetHeldKeyGo(Ticks opened) {
    if (next_ >= messages_.size()) return;
    const Action* held = messages_[next_].action;
    if (held->type != Action::Type::kKey || held->first >= opened) return;
    std::size_t end = next_;
    for (; end < messages_.size() && messages_[end].action == held; ++end) {
      messages_[end].input.repeat = false;
    }
    if (end - next_ < 2) return;  // only its own release is left
    Message release = messages_[next_];
    release.input.kind = input::Kind::kKeyUp;
    release.time = opened;
    release.late = false;
    messages_.insert(messages_.begin() + static_cast<std::ptrdiff_t>(next_), release);
  }

  const Scenario& s_;
  std::vector<Message> messages_;
  std::size_t next_ = 0;
  std::deque<Message> missed_;
  InputRule rule_;
  Ticks now_ = 0;
  int pressed_ = kElsewhere;
  bool spacePushed_ = false;
  std::size_t started_ = 0;
  Outcome outcome_;
};

}  // namespace

Ticks Source::Between(Ticks low, Ticks high) {
  if (high <= low) return low;
  const Ticks span = high - low;
  Ticks value = 0;
  if (data_ == nullptr) {
    value = random_();
  } else {
    for (int i = 0; i < 8 && size_ > 0; ++i, ++data_, --size_) value = value << 8 | *data_;
  }
  return span == ~Ticks{0} ? value : low + value % (span + 1);
}

Scenario Generate(Source& source) {
  Scenario s;
  s.doubleClickMs = static_cast<unsigned>(source.Between(200, 1000));
  s.focus = source.Chance(50) ? kCompileBins : kDeleteBins;
  s.wineLetsHeldKeysGo = source.Chance(50);
  const Ticks dbl = s.doubleClickMs;
  // Anywhere in time, or just before the 32-bit tick count wraps.
  Ticks t = source.Chance(50) ? source.Between(1, Ticks{1} << 40)
                              : (source.Between(1, 6) << 32) - source.Between(1, 20000);
  Ticks lastPress = 0;
  int lastPlace = -1;
  bool lastWasDouble = false;
  const auto count = static_cast<std::size_t>(source.Between(1, 40));
  for (std::size_t i = 0; i < count; ++i) {
    // Pauses: mostly within commands and double clicks, some of seconds,
    // a few of days, around 24.9 and 49.7 days among them.
    const Ticks kind = source.Between(0, 99);
    t += kind < 70   ? source.Between(1, dbl * 3 / 2)
         : kind < 90 ? source.Between(1, 5000)
         : kind < 96 ? source.Between(1, 30 * kDay)
                     : source.Between((Ticks{1} << 31) - 5000, (Ticks{1} << 32) + 5000);
    Action a;
    const Ticks type = source.Between(0, 99);
    a.first = t;
    if (type < 55) {
      a.type = Action::Type::kClick;
      a.place = source.Chance(10) ? kElsewhere : source.Chance(50) ? kCompileBins : kDeleteBins;
      // A double click's second press, by the system's rule: the same place,
      // within the double-click time of a first press.
      a.doubleClick = a.place == lastPlace && !lastWasDouble && t - lastPress <= dbl;
      lastPlace = a.place;
      lastPress = t;
      lastWasDouble = a.doubleClick;
      a.last = t + source.Between(1, 150);
    } else if (type < 87) {
      a.type = Action::Type::kKey;
      a.key = source.Chance(50) ? InputRule::kEnter : InputRule::kSpace;
      a.last = t + source.Between(1, 150);
      if (source.Chance(30)) {
        // Held: the keyboard repeats it after its delay, at its rate; Wine
        // loses the repeat mark on some of them.
        const Ticks until = t + source.Between(300, 2500);
        for (Ticks r = t + source.Between(250, 1000); r < until; r += source.Between(33, 100)) {
          a.repeats.push_back(r);
          a.marked.push_back(!source.Chance(30));
        }
        a.last = std::max(until, a.repeats.empty() ? t + 1 : a.repeats.back() + 1);
      }
    } else {
      a.type = source.Chance(50) ? Action::Type::kPostedRequest : Action::Type::kSentRequest;
      a.place = source.Chance(50) ? kCompileBins : kDeleteBins;
      a.last = t;
    }
    for (std::size_t m = 0; m < a.repeats.size() + 2; ++m) a.late.push_back(source.Chance(10));
    t = a.last;
    s.actions.push_back(std::move(a));
  }
  const auto commands = static_cast<std::size_t>(source.Between(1, 12));
  for (std::size_t i = 0; i < commands; ++i) {
    s.durations.push_back(source.Chance(80) ? source.Between(0, 1500) : source.Between(0, 10000));
    s.failures.push_back(source.Chance(30));
  }
  return s;
}

Outcome Meant(const Scenario& scenario) { return Judge(scenario); }

Outcome Played(const Scenario& scenario) { return Window(scenario).Play(); }

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
  out << "commands:";
  for (const auto& [button, at] : outcome.commands) out << " " << button << "@" << at;
  out << "; boxes closed:";
  for (const Ticks at : outcome.boxesClosed) out << " " << at;
  return out;
}

std::ostream& operator<<(std::ostream& out, const Scenario& s) {
  out << "double-click " << s.doubleClickMs << " ms, focus " << s.focus
      << (s.wineLetsHeldKeysGo ? ", Wine lets held keys go" : "") << "\n";
  for (const Action& a : s.actions) {
    static const char* const kTypes[] = {"click", "key", "posted", "sent"};
    out << "  " << kTypes[static_cast<int>(a.type)] << " " << a.first << ".." << a.last << " place "
        << a.place << " key " << a.key << (a.doubleClick ? " double" : "") << " repeats "
        << a.repeats.size() << " late";
    for (const bool late : a.late) out << (late ? '1' : '0');
    out << "\n";
  }
  out << "  commands:";
  for (std::size_t i = 0; i < s.durations.size(); ++i) {
    out << " " << s.durations[i] << (s.failures[i] ? "ms(fails)" : "ms");
  }
  return out << "\n";
}

}  // namespace input_model
