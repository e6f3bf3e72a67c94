// The input script of a headless run: one event per line.
//   key NAME        a printable character, or Esc, Enter, Space, Tab, Shift-Tab, Up, Down, Left, Right
//   click ID        press control ID of the active dialog
//   select ID TEXT  select the first entry of list box ID whose text contains TEXT
//   select ID #N    select entry N (from 0)
//   dblclick ID     double-click the selected entry of list box ID
//   mouse X Y       move the desktop mouse
//   button          a mouse button press
//   wait MS         the next event becomes available MS milliseconds later
//   shot NAME [CAPTION]  write the monitor picture as NAME.png into the shots folder when the
//                   program next asks for input; CAPTION (else NAME) captions that wait's
//                   picture on the index page
//   snap MS NAME [CAPTION]  write the monitor picture as NAME.png MS milliseconds of virtual
//                   time after the event before it was taken, whether or not the program is
//                   asking for input then (headless runs only); listed on the index page as
//                   a picture of its own, captioned CAPTION (else NAME)
//   test MODE       run one mode's whole test sequence from the main dialog, answering each
//                   screen: MODE is WIDTHxHEIGHTxDEPTH with linear, virtual linear, banked or
//                   planar after it if it matters (test 640x480x8 linear); "test all" runs
//                   every mode the machine lists, in every depth, with and without linear
// Shot and snap names are all different and never digits alone (NNNN.png are the pictures of
// the waits). "#" starts a comment line; blank lines are skipped.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "desktop/input.h"

namespace desktop {

struct ScriptError : std::runtime_error {
    ScriptError(int line, const std::string& message)
        : std::runtime_error("line " + std::to_string(line) + ": " + message), line(line)
    {
    }
    int line;
};

// Throws ScriptError for the first bad line.
std::vector<Action> parseScript(const std::string& text);

}  // namespace desktop
