// What a user does to the window, told as a list with 64-bit times; what
// they meant by it, judged the plain way; and what the input rule makes of
// it in a window played out around it (a queue, commands that take time, an
// error box, Wine's late keys and lost repeat marks). The two must agree.
#pragma once

#include <cstdint>
#include <ostream>
#include <random>
#include <vector>

namespace input_model {

using Ticks = std::uint64_t;

// Where a click lands. The error box's OK lies over Compile Bins.
enum Place : int { kElsewhere = 0, kCompileBins = 1, kDeleteBins = 2 };

struct Action {
  enum class Type { kClick, kKey, kPostedRequest, kSentRequest } type = Type::kClick;
  int place = kElsewhere;      // the click's place, or the button a request is for
  unsigned key = 0;            // Enter or Space (InputRule::kEnter, kSpace)
  Ticks first = 0;             // the press, or the request
  Ticks last = 0;              // the release; a request's time again
  bool doubleClick = false;    // the system makes the press a double click's second
  std::vector<Ticks> repeats;  // the keyboard's repeats while the key is held
  std::vector<bool> marked;    // whether each repeat carries the repeat mark
  std::vector<bool> late;      // per message (press, repeats, release): missed by a clearing
};

struct Scenario {
  unsigned doubleClickMs = 500;
  int focus = kCompileBins;         // the button that Enter and Space press
  bool wineLetsHeldKeysGo = false;  // as Wine 10 does when the box takes the focus
  std::vector<Action> actions;      // in time order, each over before the next begins
  std::vector<Ticks> durations;     // the commands' lengths, in the order they start
  std::vector<bool> failures;       // which of them fail and show the box
};

// Commands started (button and time) and error boxes closed (time).
struct Outcome {
  std::vector<std::pair<int, Ticks>> commands;
  std::vector<Ticks> boxesClosed;
  bool operator==(const Outcome& other) const {
    return commands == other.commands && boxesClosed == other.boxesClosed;
  }
};
std::ostream& operator<<(std::ostream& out, const Outcome& outcome);
std::ostream& operator<<(std::ostream& out, const Scenario& scenario);

// Numbers to build a scenario from: a seeded generator, or a fuzzer's bytes.
class Source {
 public:
  explicit Source(std::uint64_t seed) : random_(seed) {}
  Source(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  // A number in [low, high].
  Ticks Between(Ticks low, Ticks high);
  bool Chance(unsigned percent) { return Between(0, 99) < percent; }

 private:
  std::mt19937_64 random_;
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

Scenario Generate(Source& source);

// What the user meant: the reference, from the list alone.
Outcome Meant(const Scenario& scenario);
// What the window does with the rule deciding.
Outcome Played(const Scenario& scenario);

}  // namespace input_model
