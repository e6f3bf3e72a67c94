// The current PC as the display library's hardware bus.
#pragma once

namespace display_bus {

// Connects the display library to whichever PC is current (pc::setCurrent), so
// that it follows that machine from then on; calling it again changes nothing.
void connectCurrentMachine();

}  // namespace display_bus
