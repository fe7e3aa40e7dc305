// Fuzzes the window's input rule: sequences of clicks, keys, requests,
// commands and boxes built from the fuzzer's bytes, played out through the
// rule, must come out as the plain model of what the user meant says.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "logic/input_model.h"

// libFuzzer's entry point; libFuzzer declares it in no header.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  input_model::Source source(data, size);
  const input_model::Scenario scenario = input_model::Generate(source);
  const input_model::Outcome meant = input_model::Meant(scenario);
  const input_model::Outcome played = input_model::Played(scenario);
  if (!(played == meant)) {
    std::ostringstream report;
    report << scenario << "meant:  " << meant << "\nplayed: " << played << "\n";
    std::fprintf(stderr, "input_rule_fuzz: the rule disagrees with the model\n%s",
                 report.str().c_str());
    std::abort();
  }
  return 0;
}
