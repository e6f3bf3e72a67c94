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
#include "desktop/help_text.h"
#include "desktop/mode_run.h"
#include "desktop/output_files.h"
#include "desktop/program_folder.h"
#include "desktop/report_files.h"
#include "desktop/run_facts.h"
#include "desktop/screen_name.h"
#include "desktop/script.h"
#include "desktop/sdl_monitor.h"
#include "desktop/session.h"
#include "desktop/shots.h"
#include "display_bus/pc_bus.h"
#include "engine/boot.h"
#include "judge/conformance_command.h"
#include "kestrel/resident.h"
#include "main/io_log_file.h"
#include "machine/rom_image.h"
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

// The mode of a picture as a person would name it: "8 bit", "4 bit", "text".
std::string modeDepth(const pc::Picture& picture)
{
    return picture.bitsPerPixel ? std::to_string(picture.bitsPerPixel) + " bit" : "text";
}

// The program's path in the machine's own program folder, beside the executable when that
// folder can be written, else in the user's state folder.
std::string programFolderFor(const std::string& id, bool withKestrel)
{
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        throw desktop::ProgramFolderError("cannot find palisade's own file: " + error.message());
    return desktop::prepareProgramFolder(executable, id, {executable.parent_path(), desktop::stateFolder()},
                                         withKestrel)
        .string();
}

bool isPreset(const std::string& name)
{
    const std::vector<std::string> presets = engine::presetNames();
    return std::find(presets.begin(), presets.end(), name) != presets.end();
}

// The machine the options describe: a preset or a machine file, with --rom's image and
// --no-kestrel over it. Throws pc::MachineError.
pc::MachineConfig machineFor(const desktop::Options& options)
{
    pc::MachineConfig config = engine::loadMachine(desktop::machineName(options));
    if (!options.romPath.empty()) {
        if (!config.takesRom())
            throw pc::MachineError("--rom: machine " + config.name + " runs its own video BIOS, not one Palisade loads");
        machine::loadVideoRom(options.romPath, "");  // judged now: a file that is no ROM is one line
        config.romPath = options.romPath;
        config.romPackage.clear();
    }
    if (options.noKestrel)
        config.kestrel = false;
    return config;
}

// The machine's program folder: a preset's own name, a machine file's name and path hash, and
// for another ROM that ROM's name and path hash too, so each driver is generated for its ROM.
std::string programFolderId(const desktop::Options& options)
{
    const std::string name = desktop::machineName(options);
    std::string id = desktop::machineId(name, isPreset(name));
    if (!options.romPath.empty())
        id += "-" + desktop::machineId(std::filesystem::absolute(options.romPath).string(), false);
    return id;
}

std::unique_ptr<desktop::ShotWriter> shotWriter;
desktop::ReportFiles reportFiles;
desktop::RunFacts runFacts;
// The run's exit status as the reports give it; a program that ends the process itself does
// so after its fatal message, with status 1.
int runStatus = 1;
std::FILE* vbeLog = nullptr;
std::string vbeLogPath;
std::FILE* ioLog = nullptr;
std::string ioLogPath;
std::unique_ptr<IoLogFile> ioLogFile;
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
            runFacts.exitStatus = runStatus;
            const std::string index = shotWriter->finish(runFacts);
            if (!index.empty())
                std::printf("palisade: pictures of the run: %s\n", index.c_str());
        } catch (const std::exception& error) {
            std::fprintf(stderr, "palisade: %s\n", error.what());
            outputLost = true;
        }
        std::fflush(stdout);
    }
    if (vbeLog) {
        realmode::setCallLog(nullptr);
        closeLog(vbeLog, vbeLogPath, "VBE log");
    }
    if (ioLog) {
        realmode::setCallMarks({});
        if (ioLogFile)
            ioLogFile->flush();
        ioLogFile.reset();
        closeLog(ioLog, ioLogPath, "io log");
    }
    if (shotWriter && reportFiles.wanted()) {
        runFacts.exitStatus = outputLost ? 2 : runStatus;
        if (!desktop::writeScreenReports(reportFiles, runFacts, shotWriter->screens()))
            outputLost = true;
    }
    shotWriter.reset();
}

// The verdict's last line, also when the program ends the process itself.
std::unique_ptr<desktop::CardJudge> cardJudge;

void finishVerdict()
{
    if (!cardJudge)
        return;
    const int skipped = desktop::session().skippedScreens();
    std::fprintf(stderr, "palisade: verdict: %d screens, %d differ%s\n", cardJudge->screens(), cardJudge->differing(),
                 skipped ? (", " + std::to_string(skipped) + " skipped").c_str() : "");
    cardJudge.reset();
}

}  // namespace

int main(int argc, char** argv)
{
    desktop::Options options;
    pc::MachineConfig config;
    std::vector<desktop::Action> script;
    try {
        options = desktop::parseCommandLine(argc, argv);
        if (options.help || options.helpMachineFile) {
            std::fputs(options.help ? desktop::helpText().c_str() : desktop::machineFileHelpText().c_str(), stdout);
            return 0;
        }
        if (options.version) {
            std::printf("palisade %s\n", desktop::PALISADE_VERSION);
            return 0;
        }
        if (options.listMachines) {
            const std::vector<std::string> names = engine::presetNames();
            size_t width = 0;
            for (const std::string& name : names)
                width = std::max(width, name.size());
            for (const std::string& name : names)
                std::printf("%-*s  %s\n", int(width), name.c_str(), engine::presetConfig(name).description.c_str());
            return 0;
        }
        // The machine comes first: its error is the one to fix first, display or not.
        try {
            config = machineFor(options);
        } catch (const pc::MachineError& error) {
            return fail(std::string("machine: ") + error.what());
        }
        if (!isPreset(desktop::machineName(options)))
            options.paths.push_back({desktop::NamedPath::Kind::Input, "--machine", options.machine});
        desktop::checkNamedPaths(options.paths);
        if (!options.shotsDir.empty())
            desktop::checkOutputFolder("--shots", options.shotsDir);
        reportFiles = {options.reportPath, options.junitPath, options.shotsDir};
        desktop::checkReportFiles(reportFiles);
        script = desktop::commandLineSteps(options.testModes, options.allModes);
        if (!options.scriptPath.empty()) {
            try {
                script = desktop::parseScript(readScript(options.scriptPath));
            } catch (const desktop::ScriptError& error) {
                return fail(options.scriptPath + ":" + std::to_string(error.line) + ": " +
                            (std::strchr(error.what(), ':') + 2));
            }
        }
        if (!options.headless && !options.conformance) {
            const auto snap = std::find_if(script.begin(), script.end(), [](const desktop::Action& action) {
                return action.kind == desktop::Action::Kind::Snap;
            });
            if (snap != script.end())
                return fail(options.scriptPath + ":" + std::to_string(snap->line) +
                            ": snap needs --headless: only a headless run's virtual clock says when it is due");
            if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
                return fail("there is no display to open the window on; run headless with --headless --script FILE");
        }
    } catch (const std::runtime_error& error) {  // a bad command line, or a report path that cannot be written
        return fail(error.what());
    }

    std::atexit(finishOutputs);
    // Everything is checked before anything is created. The io log comes first, so that the
    // BIOS's start-up goes into it as it runs, and a start-up that fails leaves its log.
    if (!options.ioLogPath.empty()) {
        try {
            ioLog = desktop::createOutputFile(options.ioLogPath, "io log");
        } catch (const std::runtime_error& error) {
            return fail(error.what());
        }
        ioLogPath = options.ioLogPath;
        ioLogFile = std::make_unique<IoLogFile>(ioLog, config.card);
    }
    std::function<void(const std::string&)> ioLogSink;
    if (ioLogFile)
        ioLogSink = [](const std::string& line) {
            if (ioLogFile)
                ioLogFile->access(line);
        };

    if (options.conformance) {
        try {
            if (!options.shotsDir.empty())
                desktop::makeOutputFolder(options.shotsDir);
        } catch (const std::runtime_error& error) {
            return fail(error.what());
        }
        const int status = judge::conformanceCommand(config, reportFiles,
                                                     desktop::startingFacts(config.name, config.romPath, argc, argv), ioLogSink);
        finishOutputs();
        return outputLost ? 2 : status;
    }

    // The machine boots (its ROM and the resident driver checked), the window opens, then the
    // program folder, the shots folder and the VBE log are made.
    // Headless runs keep virtual time on the virtual PC only: QEMU's PC runs in real time.
    const bool virtualTime = options.headless && config.engine == pc::Engine::Virtual;
    std::unique_ptr<pc::Clock> baseClock = virtualTime ? pc::makeVirtualClock() : pc::makeRealClock();
    desktop::Session& session = desktop::session();
    // The machine and the display library charge their work here, so snaps fall due mid-work.
    auto clock = std::make_unique<desktop::SessionClock>(*baseClock, session);
    std::unique_ptr<pc::Pc> pc;
    std::string programPath;
    try {
        runFacts = desktop::startingFacts(config.name, config.romPath, argc, argv);
        if (ioLogFile)
            ioLogFile->note("# power-on: the video BIOS starts the card");
        pc = engine::boot(config, *clock, ioLogSink);
        pc::setCurrent(pc.get());
        display_bus::connectCurrentMachine();
        if (config.residentKestrel)
            kestrel::installResident(*pc);
        // KSWIN.EXE, started by the program's loader, analyses the same machine.
        setenv("PALISADE_MACHINE", config.name.c_str(), 1);
        if (!options.romPath.empty())
            setenv("PALISADE_ROM", std::filesystem::absolute(options.romPath).c_str(), 1);
    } catch (const pc::MachineError& error) {
        return fail(std::string("machine: ") + error.what());
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
        programPath = programFolderFor(programFolderId(options), pc->config().kestrel);
    } catch (const desktop::ProgramFolderError& error) {
        return fail(error.what());
    }
    try {
        if (!options.shotsDir.empty())
            desktop::makeOutputFolder(options.shotsDir);
        // The reports list every screen, so the run keeps their record also without pictures.
        if (!options.shotsDir.empty() || reportFiles.wanted())
            shotWriter = std::make_unique<desktop::ShotWriter>(options.shotsDir);
        if (!options.vbeLogPath.empty()) {
            vbeLog = desktop::createOutputFile(options.vbeLogPath, "VBE log");
            vbeLogPath = options.vbeLogPath;
            realmode::setCallLog(vbeLog);
        }
    } catch (const std::runtime_error& error) {
        return fail(error.what());
    }
    if (ioLogFile) {
        ioLogFile->note("# the program starts");
        realmode::setCallMarks([](const std::string& line) {
            if (ioLogFile)
                ioLogFile->note(line);
        });
    }

    session.setClock(clock.get());
    session.setVersion(options.versionMajor, options.versionMinor);
    session.setDesktopSize(options.desktopWidth, options.desktopHeight);
    session.setScripted(options.headless);
    session.setVirtualTime(virtualTime);
    session.setMonitor(monitor.get());
    // Without a shots folder no picture is taken, so none is drawn.
    session.setShots(shotWriter.get());
    session.setProgramPath(programPath);
    if (options.verdict) {
        cardJudge = std::make_unique<desktop::CardJudge>(*pc);
        session.setJudge(cardJudge.get());
        std::atexit(finishVerdict);
    }
    pc::Pc& card = *pc;
    // A PC with no picture of its own to give (a real PC behind the agent, or an emulator whose
    // window does not show the mode) is shown by Palisade's scan-out of its registers and video
    // memory, read back over the line; the caption says so.
    bool shownReadBack = false;
    session.setScreenSource(
        [&card, &shownReadBack](desktop::Picture& picture) {
            picture.readBack = false;
            card.scanOut(picture);
            shownReadBack = picture.readBack;
        },
        [](const desktop::Picture& picture) {
            return "full screen " + std::to_string(picture.width) + " x " + std::to_string(picture.height) + ", " +
                   modeDepth(picture);
        });
    session.setScreenNamer([&shownReadBack]() {
        const std::string name = desktop::screenName(display::screenContents(), display::meantScreen());
        return shownReadBack ? name + " (read back)" : name;
    });
    session.setScriptName(options.scriptPath);
    session.setCpuPace([&card] { return card.cpuPace(); });
    session.setDrawingFinisher([&card] { return card.finishDrawing(); });
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
        runFacts.ending = ended.message;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "palisade: %s\n", error.what());
        status = 2;
        runFacts.ending = std::string("palisade: ") + error.what();
    }
    if (status == 0 && !session.snapError().empty()) {
        std::fprintf(stderr, "palisade: %s\n", session.snapError().c_str());
        status = 2;
    }
    if (cardJudge && status == 0 && cardJudge->differing() > 0)
        status = 4;
    if (status == 0 && session.skippedScreens() > 0)
        status = desktop::EXIT_TESTS_SKIPPED;
    finishVerdict();
    runStatus = status;
    finishOutputs();
    // A file lost outweighs a verdict: the reports of it are not there to read.
    return (status == 0 || status == 4 || status == desktop::EXIT_TESTS_SKIPPED) && outputLost ? 2 : status;
}
