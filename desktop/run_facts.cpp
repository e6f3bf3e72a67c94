// The facts that head a run's reports and pages.
#include "desktop/run_facts.h"

#include <ctime>

#include "desktop/sha256.h"

namespace desktop {

std::string shellQuoted(const std::string& argument)
{
    const bool plain =
        !argument.empty() && argument.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                        "0123456789-_./=:,+@%") == std::string::npos;
    if (plain)
        return argument;
    std::string quoted = "'";
    for (char c : argument)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

RunFacts startingFacts(const std::string& machine, const std::string& romPath, int argc, const char* const* argv)
{
    RunFacts facts;
    facts.machine = machine;
    facts.romPath = romPath;
    facts.romSha256 = sha256OfFile(romPath);
    facts.version = PALISADE_VERSION;
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%SZ", &utc);
    facts.date = date;
    for (int i = 0; i < argc; ++i)
        facts.commandLine += (i ? " " : "") + shellQuoted(argv[i]);
    return facts;
}

}  // namespace desktop
