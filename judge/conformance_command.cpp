#include "judge/conformance_command.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "judge/conformance.h"

namespace judge {
namespace {

struct Tally {
    int pass = 0, fail = 0;
    void count(const RowVerdict& verdict)
    {
        pass += verdict.kind == RowVerdict::Kind::Pass;
        fail += verdict.kind == RowVerdict::Kind::Fail;
    }
    std::string text() const { return std::to_string(pass) + " pass, " + std::to_string(fail) + " fail"; }
};

}  // namespace

int conformanceCommand(const pc::MachineConfig& config, const std::string& shotsDir)
{
    std::string kestrelAbsent;
    const std::vector<ConformanceRow> table = conformanceTable(config, kestrelAbsent);
    Tally bios, kestrel;
    for (const ConformanceRow& row : table) {
        std::printf("%s\t%s\t%s\n", row.name.c_str(), row.bios.text().c_str(), row.kestrel.text().c_str());
        bios.count(row.bios);
        kestrel.count(row.kestrel);
    }
    std::fflush(stdout);
    std::fprintf(stderr, "conformance of %s: BIOS %s; Kestrel %s\n", config.name.c_str(), bios.text().c_str(),
                 kestrelAbsent.empty() ? kestrel.text().c_str() : ("n/a (" + kestrelAbsent + ")").c_str());
    if (!shotsDir.empty()) {
        const std::string path = shotsDir + "/conformance.html";
        std::error_code error;
        std::filesystem::create_directories(shotsDir, error);
        std::ofstream page(path);
        page << conformancePage(config.name, table);
        if (!page) {
            std::fprintf(stderr, "palisade: cannot write %s\n", path.c_str());
            return 2;
        }
        std::fprintf(stderr, "palisade: the conformance table as a page: %s\n", path.c_str());
    }
    return bios.fail + kestrel.fail > 0 ? 1 : 0;
}

}  // namespace judge
