// A Windows command line read as the child's C runtime reads it (the rules of
// CommandLineToArgvW): how a program started by CreateProcessA sees its arguments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace desktop {

// The program's name at the start of a command line: in quotes, everything up to the next
// quote (no escapes); else everything up to the first blank or tab. `rest` gets the text after
// it. Returns false for a line that is empty or blank.
bool programToken(std::string_view line, std::string& name, std::string_view& rest);

// The arguments after the program's name. Blanks and tabs separate outside quotes; 2n
// backslashes before a quote give n and the quote opens or closes quoting; 2n+1 give n and a
// literal quote; inside quotes "" gives one quote; backslashes elsewhere are themselves.
std::vector<std::string> splitArguments(std::string_view text);

}  // namespace desktop
