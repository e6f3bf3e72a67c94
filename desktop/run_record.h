// What a run leaves for people and CI to read: the facts that head every report and page,
// each screen it showed with its verdict, and the rows of a conformance table.
#pragma once

#include <string>
#include <vector>

namespace desktop {

struct RunFacts {
    std::string machine;
    std::string romPath;
    std::string romSha256;  // empty when the ROM could not be read again
    std::string version;    // Palisade's
    std::string date;       // when the run started, ISO 8601 in UTC
    std::string commandLine;
    int exitStatus = 0;
    std::string ending;  // the line the run ended with, when it did not end normally
};

// One picture of the run: a wait for input (numbered), a snap, or a named shot that no
// wait's picture followed.
struct ScreenEntry {
    enum class Kind { Wait, Snap, Shot } kind = Kind::Wait;
    int number = 0;                  // the wait's number, 1 up
    std::string caption;             // what was shown, in words: the screen's own name and its mode, or the dialog
    std::string png;                 // the picture's file in the shots folder; empty without one
    std::vector<std::string> names;  // the script's names for this picture (NAME.png)
    std::string scriptNote;          // the script's captions for it, when it gave any
    bool judged = false;
    bool differs = false;
    std::string hint;      // when it differs: the number of pixels and the first reason
    std::string diffPng;   // when it differs, with a shots folder: the differing pixels in red
    std::string meantPng;  // ... and the picture the program meant
    std::string skipped;   // why its drawing never reached the card (too slow for the line): not judged
};

// "pass", "differs", "skipped", or "not judged".
std::string verdictWord(const ScreenEntry& screen);
// The reason of a hint without its pixel count: the words that repeat across screens.
std::string hintReason(const std::string& hint);

// A cell of the conformance table: "pass", "fail" or "n/a", and why it failed.
struct TableCell {
    std::string verdict;
    std::string words;
};

struct TableRow {
    std::string name;
    TableCell bios;
    TableCell kestrel;
};

struct ScreenCounts {
    int screens = 0, judged = 0, pass = 0, differ = 0, skipped = 0;
};
ScreenCounts countScreens(const std::vector<ScreenEntry>& screens);
// "126 screens: 60 judged, 58 pass, 2 differ", and ", 3 skipped" when any were.
std::string countsText(const ScreenCounts& counts);

struct TableCounts {
    int rows = 0;
    int biosPass = 0, biosFail = 0, kestrelPass = 0, kestrelFail = 0, kestrelNotApplicable = 0;
};
TableCounts countRows(const std::vector<TableRow>& rows);
std::string countsText(const TableCounts& counts);  // "41 rows: BIOS 30 pass, 11 fail; Kestrel ..."

}  // namespace desktop
