// Feeds arbitrary bytes to the script tokeniser, then reads every token and searches a label, the
// way the interpreter will. Any crash, hang or sanitizer report is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/log.h"
#include "script/script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A log per input: lines kept across inputs would look like leaks to the fuzzer's leak check.
  platform::Log log;
  log.SetEcho(false);

  CScript script;
  if (!script.LoadFromMemory("SCP\\fuzz.scp", data, size)) {
    if (script.TokenCount() != -1 || script.NextToken() != "EOF") std::abort();
    return 0;
  }
  const int32_t count = script.TokenCount();
  int32_t reads = 0;
  while (script.NextToken() != "EOF") {
    if (++reads > count + 1) std::abort();  // reading must reach the end
  }
  // A label named by the first token, searched from the middle both ways.
  std::string reference = "*" + std::string(script.Token(0));
  if (!reference.empty() && reference.back() == ':') reference.pop_back();
  script.SetPosition(count / 2);
  const int found = script.FindLabel(reference, true);
  if (found < -1 || found > 1 || script.GetPosition() < 0 || script.GetPosition() > count)
    std::abort();
  return 0;
}
