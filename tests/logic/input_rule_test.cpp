// The window's input rule against a plain model of what the user meant, over
// seeded random sequences; and the tick count's wrap, case by case.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "input/input_rule.h"
#include "logic/input_model.h"

namespace {

using input::InputRule;
using input::Kind;
using input::Ticks;
using input::Verdict;

// How many sequences to play: 3,000, or VBC_INPUT_SEQUENCES (fewer where
// each is slow, under valgrind; more to search harder).
std::uint64_t Sequences() {
  const char* asked = std::getenv("VBC_INPUT_SEQUENCES");
  const std::uint64_t count = asked != nullptr ? std::strtoull(asked, nullptr, 10) : 0;
  return count > 0 ? count : 3000;
}

TEST(InputRule, DoesWhatTheUserMeantInThousandsOfRandomSequences) {
  const std::uint64_t sequences = Sequences();
  for (std::uint64_t seed = 1; seed <= sequences; ++seed) {
    input_model::Source source(seed);
    const input_model::Scenario scenario = input_model::Generate(source);
    const input_model::Outcome meant = input_model::Meant(scenario);
    const input_model::Outcome played = input_model::Played(scenario);
    ASSERT_EQ(played, meant) << "seed " << seed << "\n" << scenario;
  }
}

constexpr Ticks kDay = 24ULL * 60 * 60 * 1000;
constexpr Ticks kWrap = Ticks{1} << 32;
constexpr int kButton = 101;

input::Input Made(Kind kind, Ticks at, int target = kButton) {
  input::Input made;
  made.kind = kind;
  made.target = target;
  made.time = static_cast<input::Stamp>(at);
  return made;
}

// A command run by a click whose release was at `at`, taking 100 ms.
void RunCommand(InputRule& rule, Ticks at, bool withBox = false) {
  ASSERT_TRUE(rule.StartCommand(kButton, static_cast<input::Stamp>(at), at));
  rule.CommandEnded(static_cast<input::Stamp>(at + 100), at + 100);
  if (withBox) {
    rule.BoxOpened(static_cast<input::Stamp>(at + 100), at + 100);
    rule.BoxClosed(static_cast<input::Stamp>(at + 200), at + 200);
  }
  rule.Finish();
}

struct WrapCase {
  const char* name;
  Ticks command;  // when the command ran
  bool withBox;   // it failed, and its box closed 100 ms after it ended
  Kind kind;      // the input that follows
  Ticks input;    // when it was made and is handled
  Verdict expected;
};

// The fault these catch: the end of the last command kept as a 32-bit tick
// count, so that 24.9 days later all input compared as made before it.
const WrapCase kWrapCases[] = {
    {"ClickAfter24_9Days", 5000, false, Kind::kButtonDown, 5000 + 2151360000, Verdict::kHandle},
    {"ClickAfter49_7DaysAcrossTheWrap", kWrap - 50, false, Kind::kButtonDown,
     kWrap - 50 + 4294000000, Verdict::kHandle},
    {"ClickAfter30Days", 3 * kWrap + 7, false, Kind::kButtonDown, 3 * kWrap + 7 + 30 * kDay,
     Verdict::kHandle},
    {"DoubleClickAcrossTheWrapIsTheSameRequest", kWrap - 150, false, Kind::kButtonDoubleClick,
     kWrap + 150, Verdict::kDrop},
    {"DoubleClickAcrossTheWrapAfterItsTimeIsAClick", kWrap - 150, false, Kind::kButtonDoubleClick,
     kWrap + 351, Verdict::kHandleAsPress},
    {"ClickJustAfterABoxClosedBeforeTheWrapIsTheBoxs", kWrap - 300, true, Kind::kButtonDown,
     kWrap + 50, Verdict::kDrop},
    {"ClickAfterTheBoxsTimeAcrossTheWrap", kWrap - 300, true, Kind::kButtonDown, kWrap + 400,
     Verdict::kHandle},
    {"BoxClosed24_9DaysAgo", kWrap - 300, true, Kind::kButtonDown, kWrap - 100 + 2151360000,
     Verdict::kHandle},
};

class InputRuleWrap : public ::testing::TestWithParam<WrapCase> {};

TEST_P(InputRuleWrap, AnswersAsAtAnyOtherTime) {
  const WrapCase& c = GetParam();
  InputRule rule(500);
  ASSERT_NO_FATAL_FAILURE(RunCommand(rule, c.command, c.withBox));
  EXPECT_EQ(rule.OnInput(Made(c.kind, c.input), c.input), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, InputRuleWrap, ::testing::ValuesIn(kWrapCases),
                         [](const auto& param) { return std::string(param.param.name); });

// The release of a key held while another program took the keyboard goes
// to that program; once the window has it back, the key's next press is a
// press, not a repeat of one the window saw.
TEST(InputRule, KeyLetGoWhileAnotherProgramHadTheKeyboardPressesAgain) {
  InputRule rule(500);
  input::Input enter = Made(Kind::kKeyDown, 1000, 0);
  enter.key = InputRule::kEnter;
  ASSERT_EQ(rule.OnInput(enter, 1000), Verdict::kHandle);
  enter.time = 1300;
  EXPECT_EQ(rule.OnInput(enter, 1300), Verdict::kDrop) << "a repeat without its mark ran again";
  rule.KeyboardReturned([](unsigned) { return false; });
  enter.time = 1600;
  EXPECT_EQ(rule.OnInput(enter, 1600), Verdict::kHandle);
}

}  // namespace
