// Runs a piece of code in a forked child process and reports how it ended and what it wrote,
// so tests can watch paths that end the process (fatal errors, the end command).
#pragma once

#include <functional>
#include <string>

namespace qrn::test {

struct ChildResult {
  bool exited = false;   // ended through exit (not a signal)
  int exit_code = -1;
  int signal = 0;
  std::string out;       // standard output
  std::string err;       // standard error
};

// The child gets its own standard output and error pipes; it is killed after timeout_ms.
// Returning from body exits the child with code 111.
ChildResult run_in_child(const std::function<void()>& body, int timeout_ms = 10000);

}  // namespace qrn::test
