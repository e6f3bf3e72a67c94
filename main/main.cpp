// palisade: boots the virtual SuperVGA PC, puts the monitor on the screen (or runs headless
// from a script) and hands over to the program's WinMain.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include <sys/stat.h>

#include "desktop/card_judge.h"
#include "desktop/command_line.h"
#include "desktop/dialog_manager.h"
#include "desktop/program_folder.h"
#include "desktop/script.h"
#include "desktop/sdl_monitor.h"
#include "desktop/session.h"
#include "desktop/shots.h"
#include "display/screen_words.h"
#include "display_bus/machine_bus.h"
#include "judge/conformance_command.h"
#include "kestrel/resident.h"
#include "machine/machine.h"
#include "platform/resources.h"
#include "platform/win32.h"
#include "realmode/call_log.h"

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "palisade: %s\n", message.c_str());
    return 2;
}

std::string readScript(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        throw desktop::UsageError("cannot read the script " + path + ": it is a folder");
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw desktop::UsageError("cannot read the script " + path + ": " + std::strerror(errno));
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad())
        throw desktop::UsageError("cannot read the script " + path + ": " + std::strerror(errno));
    return text.str();
}

// The shots folder must be new or empty: the run creates every file in it and replaces none.
void checkShotsFolder(const std::string& folder)
{
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return;
        throw desktop::UsageError("cannot use the shots folder " + folder + ": " + std::strerror(errno));
    }
    if (!S_ISDIR(info.st_mode))
        throw desktop::UsageError("the shots folder " + folder + " is not a folder");
    std::error_code error;
    if (!std::filesystem::is_empty(folder, error) || error)
        throw desktop::UsageError("the shots folder " + folder +
                                  " is not empty: name a new or empty folder (a run replaces no file)");
}

// The mode of a picture as a person would name it: "8 bit", "4 bit", "text".
std::string modeDepth(const machine::Picture& picture)
{
    return picture.bitsPerPixel ? std::to_string(picture.bitsPerPixel) + " bit" : "text";
}

// The program's path in the machine's own program folder, beside the executable when that
// folder can be written, else in the user's state folder.
std::string programFolderFor(const std::string& machineName, bool withKestrel)
{
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        throw desktop::ProgramFolderError("cannot find palisade's own file: " + error.message());
    const std::vector<std::string> presets = machine::presetNames();
    const bool preset = std::find(presets.begin(), presets.end(), machineName) != presets.end();
    return desktop::prepareProgramFolder(executable, desktop::machineId(machineName, preset),
                                         {executable.parent_path(), desktop::stateFolder()}, withKestrel)
        .string();
}

std::unique_ptr<desktop::ShotWriter> shotWriter;
std::FILE* vbeLog = nullptr;
std::string vbeLogPath;
std::FILE* ioLog = nullptr;
std::string ioLogPath;
bool outputLost = false;

// Closes a log; one that could not be written whole is said in one line and removed.
void closeLog(std::FILE*& log, const std::string& path, const char* what)
{
    // A flush that fails again says why; lines lost earlier leave only the error flag.
    int failure = std::fflush(log) != 0 ? errno : std::ferror(log) ? -1 : 0;
    if (std::fclose(log) != 0 && failure == 0)
        failure = errno;
    log = nullptr;
    if (failure != 0) {
        std::fprintf(stderr, "palisade: cannot write the %s %s: %s\n", what, path.c_str(),
                     failure > 0 ? std::strerror(failure) : "lines were lost");
        struct stat info {};
        if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            std::remove(path.c_str());
        outputLost = true;
    }
}

// Writes the index page and closes the VBE and io logs; a file that could not be written whole is
// said in one line, removed, and makes the run's exit status 2. Also runs when the program
// ends the process itself after a fatal message.
void finishOutputs()
{
    if (shotWriter) {
        try {
            const std::string index = shotWriter->finish();
            if (!index.empty())
                std::printf("palisade: pictures of the run: %s\n", index.c_str());
        } catch (const std::exception& error) {
            std::fprintf(stderr, "palisade: %s\n", error.what());
            outputLost = true;
        }
        std::fflush(stdout);
        shotWriter.reset();
    }
    if (vbeLog) {
        realmode::setCallLog(nullptr);
        closeLog(vbeLog, vbeLogPath, "VBE log");
    }
    if (ioLog)
        closeLog(ioLog, ioLogPath, "io log");
}

// The verdict's last line, also when the program ends the process itself.
std::unique_ptr<desktop::CardJudge> cardJudge;

void finishVerdict()
{
    if (!cardJudge)
        return;
    std::fprintf(stderr, "verdict: %d screens, %d differ\n", cardJudge->screens(), cardJudge->differing());
    cardJudge.reset();
}

}  // namespace

int main(int argc, char** argv)
{
    desktop::Options options;
    std::vector<desktop::Action> script;
    try {
        options = desktop::parseCommandLine(argc, argv);
        if (options.help) {
            std::fputs(desktop::helpText().c_str(), stdout);
            return 0;
        }
        if (options.version) {
            std::puts("palisade 6.0");
            return 0;
        }
        if (options.listMachines) {
            for (const std::string& name : machine::presetNames())
                std::printf("%-16s %s\n", name.c_str(), machine::presetConfig(name).description.c_str());
            return 0;
        }
        if (options.conformance) {
            try {
                return judge::conformanceCommand(machine::loadMachine(options.machine), options.shotsDir);
            } catch (const machine::MachineError& error) {
                return fail(error.what());
            }
        }
        if (!options.scriptPath.empty()) {
            try {
                script = desktop::parseScript(readScript(options.scriptPath));
            } catch (const desktop::ScriptError& error) {
                return fail(options.scriptPath + ":" + std::to_string(error.line) + ": " +
                            (std::strchr(error.what(), ':') + 2));
            }
        }
        if (!options.headless) {
            const auto snap = std::find_if(script.begin(), script.end(), [](const desktop::Action& action) {
                return action.kind == desktop::Action::Kind::Snap;
            });
            if (snap != script.end())
                return fail(options.scriptPath + ":" + std::to_string(snap->line) +
                            ": snap needs --headless: only a headless run's virtual clock says when it is due");
            if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
                return fail("there is no display to open the window on; run headless with --headless --script FILE");
        }
        if (!options.shotsDir.empty())
            checkShotsFolder(options.shotsDir);
    } catch (const desktop::UsageError& error) {
        return fail(error.what());
    }

    // Everything is checked before anything is created: the machine boots (its ROM and the
    // resident driver checked), the window opens, then the program folder, the shots folder
    // and the log are made.
    std::unique_ptr<machine::Clock> baseClock =
        options.headless ? machine::makeVirtualClock() : machine::makeRealClock();
    desktop::Session& session = desktop::session();
    // The machine and the display library charge their work here, so snaps fall due mid-work.
    auto clock = std::make_unique<desktop::SessionClock>(*baseClock, session);
    std::unique_ptr<machine::Machine> pc;
    std::vector<std::string> startUpIo;  // the io log's lines before its file exists
    std::string programPath;
    try {
        const machine::MachineConfig config = machine::loadMachine(options.machine);
        // The card's start-up is part of the io log; the log file is made once all is checked.
        std::function<void(const std::string&)> keepStartUp;
        if (!options.ioLogPath.empty())
            keepStartUp = [&startUpIo](const std::string& line) { startUpIo.push_back(line); };
        pc = std::make_unique<machine::Machine>(config, *clock, keepStartUp);
        machine::setCurrent(pc.get());
        display_bus::connectCurrentMachine();
        if (config.residentKestrel)
            kestrel::installResident(*pc);
        // KSWIN.EXE, started by the program's loader, analyses the same machine.
        setenv("PALISADE_MACHINE", config.name.c_str(), 1);
    } catch (const machine::MachineError& error) {
        return fail(error.what());
    }

    std::unique_ptr<desktop::SdlMonitor> monitor;
    if (!options.headless) {
        try {
            monitor = std::make_unique<desktop::SdlMonitor>("Palisade - " + pc->config().name, options.desktopWidth,
                                                            options.desktopHeight);
        } catch (const desktop::NoDisplay& error) {
            return fail(std::string("there is no display to open the window on (") + error.what() +
                        "); run headless with --headless --script FILE");
        }
    }

    try {
        programPath = programFolderFor(options.machine, pc->config().kestrel);
    } catch (const desktop::ProgramFolderError& error) {
        return fail(error.what());
    }
    if (!options.shotsDir.empty()) {
        if (mkdir(options.shotsDir.c_str(), 0777) != 0 && errno != EEXIST)
            return fail("cannot make the shots folder " + options.shotsDir + ": " + std::strerror(errno));
        shotWriter = std::make_unique<desktop::ShotWriter>(options.shotsDir);
    }
    if (!options.vbeLogPath.empty()) {
        vbeLog = std::fopen(options.vbeLogPath.c_str(), "w");
        if (!vbeLog)
            return fail("cannot write the VBE log " + options.vbeLogPath + ": " + std::strerror(errno));
        vbeLogPath = options.vbeLogPath;
        realmode::setCallLog(vbeLog);
    }
    if (!options.ioLogPath.empty()) {
        ioLog = std::fopen(options.ioLogPath.c_str(), "w");
        if (!ioLog)
            return fail("cannot write the io log " + options.ioLogPath + ": " + std::strerror(errno));
        ioLogPath = options.ioLogPath;
        std::fputs("# power-on: the video BIOS starts the card\n", ioLog);
        for (const std::string& line : startUpIo)
            std::fprintf(ioLog, "%s\n", line.c_str());
        std::fputs("# the program starts\n", ioLog);
        pc->setIoLog([](const std::string& line) {
            if (!ioLog)
                return;
            std::fputs(line.c_str(), ioLog);
            std::fputc('\n', ioLog);
        });
    }
    std::atexit(finishOutputs);

    session.setClock(clock.get());
    session.setVersion(options.versionMajor, options.versionMinor);
    session.setDesktopSize(options.desktopWidth, options.desktopHeight);
    session.setScripted(options.headless);
    session.setVirtualTime(options.headless);
    session.setMonitor(monitor.get());
    // Without a shots folder no picture is taken, so none is drawn.
    session.setShots(shotWriter.get());
    session.setProgramPath(programPath);
    if (options.verdict) {
        cardJudge = std::make_unique<desktop::CardJudge>(*pc);
        session.setJudge(cardJudge.get());
        std::atexit(finishVerdict);
    }
    machine::Machine& card = *pc;
    session.setScreenSource([&card](desktop::Picture& picture) { card.scanOut(picture); },
                            [](const desktop::Picture& picture) {
                                return "full screen " + std::to_string(picture.width) + " x " +
                                       std::to_string(picture.height) + ", " + modeDepth(picture);
                            });
    // A full screen is named by the first line the program wrote on it.
    session.setScreenWords(display::startScreenWords, [] { return display::screenHeading(); });
    session.setCpuPace([&card] { return card.cpuPace(); });
    for (desktop::Action& action : script)
        session.enqueue(std::move(action));
    // The empty desktop shows while the program starts up (the driver generator may run).
    session.refresh(true);

    int status = 0;
    try {
        char noCommandLine[] = "";
        status = WinMain(desktop::instanceFor(programResources), nullptr, noCommandLine, 1);
    } catch (const desktop::RunEnded& ended) {
        if (!ended.message.empty())
            std::fprintf(stderr, "%s\n", ended.message.c_str());
        status = ended.status;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "palisade: %s\n", error.what());
        status = 2;
    }
    if (status == 0 && !session.snapError().empty()) {
        std::fprintf(stderr, "palisade: %s\n", session.snapError().c_str());
        status = 2;
    }
    if (cardJudge && status == 0 && cardJudge->differing() > 0)
        status = 4;
    finishVerdict();
    finishOutputs();
    return status == 0 && outputLost ? 2 : status;
}
