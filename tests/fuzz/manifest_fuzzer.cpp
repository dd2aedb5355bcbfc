// libFuzzer's entry: each input is one machine (see fuzz_input.h for how the bytes are read),
// installed and removed by the program; anything it changed outside the product's places, a
// registry handle it kept, or a box it showed in a silent run stops the fuzzer here, besides
// what the sanitizers catch.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz_input.h"
#include "fuzz_scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::FuzzInput input =
      fuzz::SplitFuzzInput(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::vector<std::string> problems = fuzz::RunScenario(input);
  if (problems.empty()) {
    return 0;
  }
  std::fprintf(stderr, "\n== the program misbehaved on this input (switches 0x%02X):\n",
               input.switches);
  for (const std::string& problem : problems) {
    std::fprintf(stderr, "  %s\n", problem.c_str());
  }
  std::abort();
}
