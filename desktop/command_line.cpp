#include "desktop/command_line.h"

#include <charconv>

namespace desktop {

namespace {

bool parseSize(const std::string& text, int& width, int& height)
{
    const auto x = text.find('x');
    if (x == std::string::npos)
        return false;
    const char* begin = text.data();
    const char* end = begin + text.size();
    auto [afterWidth, e1] = std::from_chars(begin, begin + x, width);
    auto [afterHeight, e2] = std::from_chars(begin + x + 1, end, height);
    return e1 == std::errc() && e2 == std::errc() && afterWidth == begin + x && afterHeight == end;
}

}  // namespace

std::string helpText()
{
    return "Usage: palisade [OPTION]...\n"
           "A test program for SuperVGA display hardware and its VESA BIOS Extensions, run on a\n"
           "virtual SuperVGA PC (a real VGA BIOS ROM under an x86 emulator). The desktop with the\n"
           "program's dialogs is shown in a window; test runs show the card's picture there.\n"
           "\n"
           "  --machine NAME|FILE       the machine: a preset name or a machine file (default: default)\n"
           "  --list-machines           list the preset machines and exit\n"
           "  --headless                no window; all input comes from --script\n"
           "  --script FILE             input, one event per line:\n"
           "                              key NAME        a printable character, Esc, Enter, Space, Tab,\n"
           "                                              Shift-Tab, Up, Down, Left or Right\n"
           "                              click ID        press control ID of the active dialog\n"
           "                              select ID TEXT  select the first entry of list box ID containing TEXT\n"
           "                              select ID #N    select entry N (from 0) of list box ID\n"
           "                              dblclick ID     double-click the selected entry of list box ID\n"
           "                              mouse X Y       move the desktop mouse\n"
           "                              button          a mouse button press\n"
           "                              wait MS         the next event comes MS milliseconds later\n"
           "                              shot NAME [CAPTION]\n"
           "                                              write the picture as NAME.png into the shots\n"
           "                                              folder when the program next asks for input;\n"
           "                                              CAPTION (else NAME) heads that picture's caption\n"
           "                              snap MS NAME [CAPTION]\n"
           "                                              write the picture as NAME.png into the shots\n"
           "                                              folder MS milliseconds of virtual time after\n"
           "                                              the event before it reached the program, even\n"
           "                                              while the program is at work (a palette fade),\n"
           "                                              listed in its turn, captioned CAPTION (else\n"
           "                                              NAME). Headless only: a window run refuses it\n"
           "                            Shots and snaps are pictures of the run: without --shots they\n"
           "                            write nothing. Their names must differ from each other and\n"
           "                            from the pictures of the waits (digits alone are refused).\n"
           "                            '#' starts a comment line. A bad line stops the run before it\n"
           "                            starts (exit status 2). Headless, a script that runs out while\n"
           "                            the program waits for input ends the run (exit status 3); with\n"
           "                            the window, input goes on from the keyboard and mouse.\n"
           "  --shots DIR               write the picture each time the program waits for input as\n"
           "                            DIR/NNNN.png, named shots into DIR, and DIR/index.html listing the\n"
           "                            pictures, each captioned by the shot lines before it and by what\n"
           "                            is shown (a dialog's title, or the full-screen mode), and the\n"
           "                            snaps in between. DIR must be new or empty: the run creates\n"
           "                            every file afresh and replaces none (links are not followed);\n"
           "                            a picture equal to an earlier one is a hard link to its file.\n"
           "                            A file that cannot be written whole is named on stderr, removed,\n"
           "                            and the run's exit status is 2\n"
           "  --vbe-log FILE            write every real-mode interrupt the program issues to FILE (a\n"
           "                            log that cannot be written whole is named on stderr, removed,\n"
           "                            and the run's exit status is 2)\n"
           "  --io-log FILE             write every access to a card register to FILE, one line each,\n"
           "                            from power-on (the BIOS starting the card) to the end: port\n"
           "                            or mmio, read or write, address, width and value (video\n"
           "                            memory is not included), and a line starting \"blt \" with the\n"
           "                            parameters of each BitBLT operation the card runs (a log that\n"
           "                            cannot be written whole is named on stderr, removed, and the\n"
           "                            run's exit status is 2)\n"
           "  --verdict                 headless: compare each full-screen picture the card shows with\n"
           "                            the picture the program meant (what the display library drew,\n"
           "                            in the mode, display start, line length and palette it asked\n"
           "                            for); a screen that differs gets a hint in words on stderr, a\n"
           "                            diff picture with --shots (NNNN-diff.png, the differing pixels\n"
           "                            in red) and a mark on the index page; the run ends with\n"
           "                            \"verdict: N screens, M differ\" on stderr. Dialogs are not judged\n"
           "  --test MODE               headless, instead of --script: run MODE's whole test sequence\n"
           "                            from the main dialog, answering each screen (MODE as\n"
           "                            640x480x8, with linear, virtual linear, banked or planar after\n"
           "                            it if it matters: --test '640x480x8 linear'); may be repeated;\n"
           "                            the program quits at the end. A mode the machine does not list\n"
           "                            ends the run (exit status 5). Also a script line: test MODE\n"
           "  --all-modes               the same for every mode the machine lists, in every depth, with\n"
           "                            and without the linear framebuffer (script line: test all)\n"
           "  --report FILE.json        at the end, write a JSON report: the machine, the ROM and its\n"
           "                            SHA-256, Palisade's version, the date, the command line, the\n"
           "                            exit status, and every screen (caption, verdict, words, PNG and\n"
           "                            diff PNG) or, with --conformance, every row of the table\n"
           "  --junit FILE.xml          the same as JUnit XML: one test case per screen or row (a screen\n"
           "                            that differs or a row that fails is a failure, one not judged is\n"
           "                            skipped). Reports are written whole or not at all: a folder that\n"
           "                            does not exist is refused before the run, a write that fails\n"
           "                            leaves no file and makes the exit status 2\n"
           "  --conformance             run the VBE conformance table on the machine instead of the\n"
           "                            program: each row calls VBE functions through int 10h and checks\n"
           "                            what they did to the card, on the BIOS alone and with Kestrel\n"
           "                            over it. stdout: one line per row, tab-separated: the check, the\n"
           "                            BIOS's verdict, Kestrel's (pass, FAIL: why, or n/a when the\n"
           "                            machine has kestrel = no); a summary on stderr; with --shots DIR\n"
           "                            also DIR/conformance.html. Exit status 0 all pass, 1 any fails\n"
           "  --windows-version 3.1|4.0 the Windows version the program is told (default: 4.0)\n"
           "  --desktop WxH             the desktop size in pixels (default: 1024x768)\n"
           "  --help                    show this help and exit\n"
           "  --version                 show the version and exit\n"
           "\n"
           "Each machine is a PC of its own with its own program folder: PALISADE_DIR/machines/ID/,\n"
           "where PALISADE_DIR is the folder of the palisade executable, or\n"
           "$XDG_STATE_HOME/palisade (default ~/.local/state/palisade) when that folder cannot be\n"
           "written. ID is the preset's name, or for a machine file its name and a hash of its\n"
           "path. The program runs from there (links to palisade and KSWIN.EXE), so the driver\n"
           "kestrel.drv and KSCONFIG.DAT that KSWIN.EXE generates for a machine are kept there;\n"
           "delete the folder to have them generated afresh.\n"
           "\n"
           "Headless runs use a virtual clock: the same script on the same machine gives the same\n"
           "pictures and logs. A message box in a headless run is written to stderr as\n"
           "\"CAPTION: TEXT\" and answered OK.\n"
           "\n"
           "A machine file's \"kestrel = no\" leaves KSWIN.EXE and the driver out of its program folder:\n"
           "the loader installs nothing (status 10) and the program tests the BIOS's own VBE.\n"
           "\n"
           "Exit status: the program's (0, or 1 after a fatal message), 2 for a bad command line,\n"
           "script or machine, no display or no program folder, 3 when the script ran out, 4 with\n"
           "--verdict when a screen differs from what the program meant and the run otherwise\n"
           "ended normally, 5 when a step of the script (or of --test) cannot be done on the\n"
           "screen shown: a list entry that is not there, a disabled control, an input the screen\n"
           "does not take, a mode the machine does not list. One line names the step and the\n"
           "screen; no picture is taken after it.\n";
}

Options parseCommandLine(int argc, const char* const* argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw UsageError(arg + " needs a value (see --help)");
            return argv[++i];
        };
        if (arg == "--machine") {
            options.machine = value();
        } else if (arg == "--list-machines") {
            options.listMachines = true;
        } else if (arg == "--headless") {
            options.headless = true;
        } else if (arg == "--script") {
            options.scriptPath = value();
        } else if (arg == "--shots") {
            options.shotsDir = value();
        } else if (arg == "--vbe-log") {
            options.vbeLogPath = value();
        } else if (arg == "--io-log") {
            options.ioLogPath = value();
        } else if (arg == "--verdict") {
            options.verdict = true;
        } else if (arg == "--conformance") {
            options.conformance = true;
        } else if (arg == "--test") {
            options.testModes.push_back(value());
        } else if (arg == "--all-modes") {
            options.allModes = true;
        } else if (arg == "--report") {
            options.reportPath = value();
        } else if (arg == "--junit") {
            options.junitPath = value();
        } else if (arg == "--windows-version") {
            const std::string v = value();
            if (v == "3.1") {
                options.versionMajor = 3;
                options.versionMinor = 10;
            } else if (v == "4.0") {
                options.versionMajor = 4;
                options.versionMinor = 0;
            } else {
                throw UsageError("--windows-version takes 3.1 or 4.0, not \"" + v + "\"");
            }
        } else if (arg == "--desktop") {
            const std::string v = value();
            if (!parseSize(v, options.desktopWidth, options.desktopHeight) || options.desktopWidth < 320 ||
                options.desktopHeight < 200 || options.desktopWidth > 4096 || options.desktopHeight > 4096)
                throw UsageError("--desktop takes WIDTHxHEIGHT from 320x200 to 4096x4096, not \"" + v + "\"");
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else {
            throw UsageError("unknown option \"" + arg + "\" (see --help)");
        }
    }
    if (options.verdict && !options.headless)
        throw UsageError("--verdict needs --headless: only a scripted run's screens can be judged");
    const bool modeSteps = !options.testModes.empty() || options.allModes;
    if (options.conformance && (options.headless || !options.scriptPath.empty() || options.verdict || modeSteps))
        throw UsageError("--conformance runs no program: it takes only --machine, --shots, --report and --junit");
    if (modeSteps && !options.headless)
        throw UsageError("--test and --all-modes need --headless: they are the run's input");
    if (modeSteps && !options.scriptPath.empty())
        throw UsageError("--test and --all-modes take the place of --script: give one or the other");
    if (options.headless && options.scriptPath.empty() && !modeSteps && !options.help && !options.version &&
        !options.listMachines)
        throw UsageError("--headless needs --script FILE (or --test MODE, --all-modes): a headless run takes all "
                         "its input from them");
    return options;
}

}  // namespace desktop
