// The heading of the screen the program shows, in its own words: the first line of text it
// wrote on the screen (GX_writeText). What a monitor or a report names a test screen by.
#pragma once

#include <string>

namespace display {

// A new screen begins: its heading is the first line written from now on.
void startScreenWords();
// The first line written since startScreenWords that begins with a letter (a reading such
// as "  0.0 fps" heads nothing); empty when there is none yet.
const std::string& screenHeading();

// The library's record, at each GX_writeText.
void noteLineWritten(const char* text);

}  // namespace display
