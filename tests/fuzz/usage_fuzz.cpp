// Fuzz target: usage texts and argument vectors. The input is a usage text,
// a zero byte, then the arguments separated by zero bytes. The usage cursor
// walks every entry (each step must advance); the argument cursors judge
// every argument against the text and walk the free ones both ways.

#include <cstring>
#include <string>
#include <vector>

#include "cos_argv.hpp"
#include "cos_usage.hpp"
#include "fuzz_input.hpp"

namespace {

void walkUsage(std::string const& usage, std::vector<std::string> const& args) {
  CosClUsageCursor cursor(usage.c_str());
  size_t steps = 0;
  char const* last = nullptr;
  for (cursor.setToFirst(); cursor.isValid(); cursor.setToNext()) {
    FUZZ_CHECK(++steps <= usage.size());
    char const* at = cursor.getCurrent();
    FUZZ_CHECK(at >= usage.c_str() && at < usage.c_str() + usage.size());
    FUZZ_CHECK(last == nullptr || at > last);
    last = at;
    cursor.isSwitch();
    cursor.isArgEllipsis();
    cursor.reqArg();
    cursor.reqArgEllipsis();
    cursor.isTaggedLine();
    cursor.getArgDepth();
    cursor.getOptionalDepth();
    for (std::string const& a : args) {
      cursor.matches(a.c_str());
      cursor.matchesSwitch(a.c_str());
    }
  }
}

void judgeArguments(std::string const& usage, std::vector<char const*> const& argv) {
  int argc = (int)argv.size();
  CosClArgvCheckCursor check(argc, argv.data(), usage.c_str());
  for (check.setToFirst(); check.isValid(); check.setToNext()) {
    check.isSwitch();
    check.isLegal();
    check.isBound();
    check.reqArg();
    check.hasArg();
    check.isFree();
    check.isTagged();
  }
  for (check.setToLast(); check.isValid(); check.setToPrevious()) check.isLegal();
  if (argc > 1) {
    CosClArgvCursor plain(argc, argv.data());
    plain.positionTo(argv[argc - 1]);
    FUZZ_CHECK(!plain.isValid() || plain.matches(argv[argc - 1]));
  }
  CosClArgvFreeCursor free(argc, argv.data(), usage.c_str());
  int forward = 0, backward = 0;
  for (free.setToFirst(); free.isValid(); free.setToNext()) {
    FUZZ_CHECK(free.isFree());
    FUZZ_CHECK(++forward < argc);
  }
  for (free.setToLast(); free.isValid(); free.setToPrevious()) ++backward;
  FUZZ_CHECK(forward == backward);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size) {
  if (size > 4096) return 0;
  std::string all(reinterpret_cast<char const*>(data), size);
  size_t end = all.find('\0');
  std::string usage = all.substr(0, end);
  std::vector<std::string> args = {"program"};
  while (end != std::string::npos && args.size() < 32) {
    size_t next = all.find('\0', end + 1);
    args.push_back(all.substr(end + 1, next == std::string::npos ? next : next - end - 1));
    end = next;
  }
  std::vector<char const*> argv;
  for (std::string const& a : args) argv.push_back(a.c_str());
  walkUsage(usage, args);
  judgeArguments(usage, argv);
  return 0;
}
