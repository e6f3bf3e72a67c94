// Reading palisade's options, and refusing those the chosen mode would not honour.
#include "desktop/command_line.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <set>

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

struct OptionSpec {
    const char* name;
    bool takesValue;
};

constexpr OptionSpec OPTIONS[] = {
    {"--machine", true},   {"--rom", true},         {"--card", true},    {"--no-kestrel", false},
    {"--list-machines", false}, {"--headless", false}, {"--script", true}, {"--shots", true},
    {"--vbe-log", true},   {"--io-log", true},      {"--verdict", false}, {"--conformance", false},
    {"--windows-version", true}, {"--desktop", true}, {"--help", false}, {"--help-machine-file", false},
    {"--version", false},  {"--test", true},    {"--all-modes", false}, {"--report", true},
    {"--junit", true},
};

// Options that may be given more than once, each adding to a list.
const std::set<std::string> REPEATABLE = {"--test"};

// What --conformance takes besides itself: it boots the machine and writes its table.
const std::set<std::string> CONFORMANCE_TAKES = {"--conformance", "--machine", "--rom",    "--card",  "--no-kestrel",
                                                 "--shots",       "--io-log",  "--report", "--junit"};

std::string joined(const std::set<std::string>& names, const std::string& leaveOut)
{
    std::string text;
    for (const std::string& name : names)
        if (name != leaveOut)
            text += (text.empty() ? "" : ", ") + name;
    return text;
}

}  // namespace

Options parseCommandLine(int argc, const char* const* argv)
{
    Options options;
    std::vector<std::string> given;  // option names in the order given
    bool endOfOptions = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!endOfOptions && arg == "--") {
            endOfOptions = true;
            continue;
        }
        if (endOfOptions || arg.size() < 2 || arg[0] != '-')
            throw UsageError("palisade takes no arguments besides its options, not \"" + arg + "\" (see --help)");
        std::string name = arg == "-h" ? "--help" : arg;
        std::optional<std::string> attached;
        if (const auto equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            name = arg.substr(0, equals);
            attached = arg.substr(equals + 1);
        }
        const auto spec = std::find_if(std::begin(OPTIONS), std::end(OPTIONS),
                                       [&](const OptionSpec& option) { return name == option.name; });
        if (spec == std::end(OPTIONS))
            throw UsageError("unknown option \"" + name + "\" (see --help)");
        if (!REPEATABLE.count(name) && std::find(given.begin(), given.end(), name) != given.end())
            throw UsageError(name + " is given twice: give it once");
        given.push_back(name);
        std::string value;
        if (spec->takesValue) {
            if (attached)
                value = *attached;
            else if (i + 1 < argc)
                value = argv[++i];
            else
                throw UsageError(name + " needs a value (see --help)");
            if (value.empty())
                throw UsageError(name + " needs a value, not an empty one");
        } else if (attached) {
            throw UsageError(name + " takes no value, not \"" + *attached + "\"");
        }
        auto path = [&](NamedPath::Kind kind) {
            options.paths.push_back({kind, name, value});
            return value;
        };

        if (name == "--machine") {
            options.machine = value;
            options.machineGiven = true;
        } else if (name == "--rom") {
            options.romPath = path(NamedPath::Kind::Input);
        } else if (name == "--card") {
            if (value != "stdvga" && value != "cirrus")
                throw UsageError("--card takes stdvga (the DISPI card) or cirrus (the GD5446), not \"" + value + "\"");
            options.card = value;
        } else if (name == "--no-kestrel") {
            options.noKestrel = true;
        } else if (name == "--list-machines") {
            options.listMachines = true;
        } else if (name == "--headless") {
            options.headless = true;
        } else if (name == "--script") {
            options.scriptPath = path(NamedPath::Kind::Input);
        } else if (name == "--shots") {
            options.shotsDir = path(NamedPath::Kind::OutputFolder);
        } else if (name == "--vbe-log") {
            options.vbeLogPath = path(NamedPath::Kind::OutputFile);
        } else if (name == "--io-log") {
            options.ioLogPath = path(NamedPath::Kind::OutputFile);
        } else if (name == "--verdict") {
            options.verdict = true;
        } else if (name == "--conformance") {
            options.conformance = true;
        } else if (name == "--test") {
            options.testModes.push_back(value);
        } else if (name == "--all-modes") {
            options.allModes = true;
        } else if (name == "--report") {
            options.reportPath = path(NamedPath::Kind::OutputFile);
        } else if (name == "--junit") {
            options.junitPath = path(NamedPath::Kind::OutputFile);
        } else if (name == "--windows-version") {
            if (value == "3.1") {
                options.versionMajor = 3;
                options.versionMinor = 10;
            } else if (value == "4.0") {
                options.versionMajor = 4;
                options.versionMinor = 0;
            } else {
                throw UsageError("--windows-version takes 3.1 or 4.0, not \"" + value + "\"");
            }
        } else if (name == "--desktop") {
            if (!parseSize(value, options.desktopWidth, options.desktopHeight) || options.desktopWidth < 320 ||
                options.desktopHeight < 200 || options.desktopWidth > 4096 || options.desktopHeight > 4096)
                throw UsageError("--desktop takes WIDTHxHEIGHT from 320x200 to 4096x4096, not \"" + value + "\"");
        } else if (name == "--help") {
            options.help = true;
        } else if (name == "--help-machine-file") {
            options.helpMachineFile = true;
        } else if (name == "--version") {
            options.version = true;
        }
    }
    // Asking for help or the version runs nothing, so nothing else given is left undone.
    if (options.help || options.helpMachineFile || options.version)
        return options;
    if (options.listMachines && given.size() > 1)
        throw UsageError("--list-machines only lists the presets: it takes no other option");
    if (options.machineGiven && !options.card.empty())
        throw UsageError("--card and --machine both choose the machine: give one (a machine file says card = ...)");
    if (options.conformance)
        for (const std::string& name : given)
            if (!CONFORMANCE_TAKES.count(name))
                throw UsageError("--conformance runs no program, so it does not take " + name + "; it takes " +
                                 joined(CONFORMANCE_TAKES, "--conformance"));
    if (options.verdict && !options.headless)
        throw UsageError("--verdict needs --headless: only a scripted run's screens can be judged");
    const bool modeSteps = !options.testModes.empty() || options.allModes;
    if (modeSteps && !options.headless)
        throw UsageError("--test and --all-modes need --headless: they are the run's input");
    if (modeSteps && !options.scriptPath.empty())
        throw UsageError("--test and --all-modes take the place of --script: give one or the other");
    if (options.headless && options.scriptPath.empty() && !modeSteps)
        throw UsageError("--headless needs --script FILE (or --test MODE, --all-modes): a headless run takes all "
                         "its input from them");
    return options;
}

std::string machineName(const Options& options)
{
    if (options.card == "cirrus")
        return "cirrus";
    if (options.card == "stdvga")
        return "default";
    return options.machine;
}

}  // namespace desktop
