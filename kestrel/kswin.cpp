// KSWIN.EXE: analyses the machine it runs on and writes "KSCONFIG.DAT" and the driver
// "kestrel.drv" for its card into a directory.
//
//   KSWIN.EXE -gen -p<directory> [-noanalyse]
//
// The directory is a Windows path (drive Z: is the host's root). The loader quotes it as Windows
// does when it holds blanks, tabs or quotes; one passed unquoted arrives as several arguments,
// which are joined again with one blank. The machine is the one named by PALISADE_MACHINE (a
// preset or a machine file), "default" when unset, with the video BIOS PALISADE_ROM when set.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "desktop/winpath.h"
#include "engine/boot.h"
#include "kestrel/card_probe.h"
#include "kestrel/config_file.h"
#include "kestrel/driver_build.h"
#include "kestrel/driver_image.h"

namespace {

constexpr const char* USAGE = "Usage: KSWIN.EXE -gen -p<directory> [-noanalyse]\n"
                              "Writes KSCONFIG.DAT (the card analysis) and kestrel.drv (the Kestrel Video Core 5.2\n"
                              "driver for that card) into <directory>, a Windows path such as Z:\\home\\me\\ or .\\\n"
                              "  -noanalyse  use the directory's KSCONFIG.DAT instead of probing the card\n"
                              "              (the card is probed when there is none)\n"
                              "The machine analysed is PALISADE_MACHINE (a preset name or machine file), \"default\"\n"
                              "when unset. Exit status: 0 written, 1 failed, 2 bad arguments.\n";

struct Failure {
    std::string message;
    int status = 1;
};

struct Options {
    std::string directory;  // as given
    bool analyse = true;
};

bool equalsIgnoringCase(const std::string& a, const char* b)
{
    return strcasecmp(a.c_str(), b) == 0;
}

Options parseArguments(const std::vector<std::string>& args)
{
    if (args.size() < 2 || !equalsIgnoringCase(args[0], "-gen") || args[1].size() < 2 ||
        strncasecmp(args[1].c_str(), "-p", 2) != 0)
        throw Failure{"expected -gen -p<directory> [-noanalyse] (see --help)", 2};
    Options options;
    std::size_t end = args.size();
    if (end > 2 && equalsIgnoringCase(args[end - 1], "-noanalyse")) {
        options.analyse = false;
        --end;
    }
    options.directory = args[1].substr(2);
    for (std::size_t i = 2; i < end; ++i) {
        if (args[i].size() > 1 && args[i][0] == '-' && args[i].find('\\') == std::string::npos)
            throw Failure{"unknown option \"" + args[i] + "\" (see --help)", 2};
        options.directory += " " + args[i];
    }
    if (options.directory.empty())
        throw Failure{"-p needs a directory, such as -p.\\ (see --help)", 2};
    return options;
}

std::filesystem::path hostDirectory(const std::string& directory)
{
    const std::string host = winpath::toHost(directory);
    if (host.empty())
        throw Failure{"directory \"" + directory +
                      "\" is on a drive that does not exist here (use Z:\\ or a relative path)"};
    std::error_code error;
    if (!std::filesystem::exists(host, error))
        throw Failure{"directory \"" + directory + "\" does not exist"};
    if (!std::filesystem::is_directory(host, error))
        throw Failure{"\"" + directory + "\" is not a directory"};
    return host;
}

// Writes the whole file under a temporary name in the same directory and renames it into
// place, so that a reader never sees half a file.
void writeFileAtomically(const std::filesystem::path& path, const void* data, std::size_t size)
{
    std::string pattern = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0)
        throw Failure{"cannot write in " + path.parent_path().string() + ": " + std::strerror(errno)};
    const auto* bytes = static_cast<const char*>(data);
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, bytes + written, size - written);
        if (n <= 0) {
            const int saved = errno;
            close(fd);
            unlink(pattern.c_str());
            throw Failure{"cannot write " + path.string() + ": " + std::strerror(saved)};
        }
        written += static_cast<std::size_t>(n);
    }
    fchmod(fd, 0644);
    if (close(fd) != 0 || std::rename(pattern.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        unlink(pattern.c_str());
        throw Failure{"cannot write " + path.string() + ": " + std::strerror(saved)};
    }
}

// Holds the directory for one generator at a time (a lock on the directory itself, so no
// file is added) and removes the temporaries a generator that was killed left behind: while
// this one holds the lock, no other is writing any.
class GenerationLock {
public:
    explicit GenerationLock(const std::filesystem::path& directory)
        : fd_(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (fd_ < 0 || flock(fd_, LOCK_EX) != 0) {
            const int error = errno;
            if (fd_ >= 0)
                close(fd_);
            throw Failure{"cannot lock " + directory.string() + ": " + std::strerror(error)};
        }
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
            const std::string name = entry.path().filename().string();
            for (const char* file : {".kestrel.drv.", ".KSCONFIG.DAT."})
                if (name.size() == std::strlen(file) + 6 && name.rfind(file, 0) == 0 && !entry.is_directory(error))
                    std::filesystem::remove(entry.path(), error);
        }
    }
    ~GenerationLock() { close(fd_); }
    GenerationLock(const GenerationLock&) = delete;
    GenerationLock& operator=(const GenerationLock&) = delete;

private:
    int fd_;
};

kestrel::CardAnalysis probeThisMachine()
{
    const char* name = std::getenv("PALISADE_MACHINE");
    try {
        auto config = engine::loadMachine(name && *name ? name : "default");
        // palisade --rom: the machine runs another video BIOS, and so does its analysis.
        if (const char* rom = std::getenv("PALISADE_ROM"); rom && *rom) {
            config.romPath = rom;
            config.romPackage.clear();
        }
        // A PC without Kestrel: a copy of the generator found elsewhere must not give it one.
        if (!config.kestrel)
            throw Failure{"machine " + config.name + " has kestrel = no: no driver is generated for it"};
        auto clock = pc::makeVirtualClock();
        const std::unique_ptr<pc::Pc> machine = engine::boot(config, *clock);
        return kestrel::probeCard(*machine, kestrel::residentSegment(*machine));
    } catch (const pc::MachineError& error) {
        throw Failure{std::string("cannot analyse the machine: ") + error.what()};
    }
}

int run(const std::vector<std::string>& args)
{
    const Options options = parseArguments(args);
    const auto directory = hostDirectory(options.directory);
    const auto configPath = directory / "KSCONFIG.DAT";
    const GenerationLock lock(directory);

    kestrel::CardAnalysis card;
    bool fromConfig = false;
    if (!options.analyse && std::filesystem::exists(configPath)) {
        std::ifstream in(configPath, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        if (!in)
            throw Failure{"cannot read " + configPath.string()};
        try {
            card = kestrel::parseConfig(text.str());
        } catch (const kestrel::ConfigError& error) {
            throw Failure{std::string(error.what()) + " (delete it to probe the card again)"};
        }
        fromConfig = true;
    } else {
        card = probeThisMachine();
    }

    if (!fromConfig) {
        const std::string text = kestrel::formatConfig(card);
        writeFileAtomically(configPath, text.data(), text.size());
    }
    if (kestrel::drivenChip(card) == kestrel::HARDWARE_NONE)
        std::cout << "palisade: KSWIN.EXE: no supported graphics hardware: " << card.found << "\n";
    const auto image = kestrel::buildDriver(card);
    writeFileAtomically(directory / "kestrel.drv", image.data(), image.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            std::cout << USAGE;
            return 0;
        }
    }
    try {
        return run(args);
    } catch (const Failure& failure) {
        std::cerr << "palisade: KSWIN.EXE: " << failure.message << "\n";
        return failure.status;
    } catch (const std::exception& error) {
        std::cerr << "palisade: KSWIN.EXE: " << error.what() << "\n";
        return 1;
    }
}
