// Process launch internals, for tests.
#pragma once

#include <string>
#include <vector>

namespace qrn {

// Splits a command line into the program and its arguments as a Windows command line is
// split. Blanks and tabs separate. The program name ends at a blank outside quotes; its
// quotes are dropped and its backslashes are plain. In an argument, double quotes group and
// are dropped, "" inside quotes is one literal quote, 2n backslashes before a quote give n
// backslashes (the quote then groups), 2n + 1 give n and a literal quote, and backslashes
// before anything else stay as they are. Empty when the line is blank.
std::vector<std::string> split_command_line(const char* line);

}  // namespace qrn
