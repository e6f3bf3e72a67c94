// palisade --conformance: the table on stdout, its summary on stderr, its page in the shots folder.
#include "judge/conformance_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

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

int conformanceCommand(const machine::MachineConfig& config, const std::string& shotsDir,
                       const std::function<void(const std::string&)>& ioLog)
{
    std::string kestrelAbsent;
    std::vector<ConformanceRow> table;
    try {
        table = conformanceTable(config, kestrelAbsent, ioLog);
    } catch (const machine::MachineError& error) {
        std::fprintf(stderr, "palisade: machine: %s\n", error.what());
        return 2;
    }
    Tally bios, kestrel;
    for (const ConformanceRow& row : table) {
        std::printf("%s\t%s\t%s\n", row.name.c_str(), row.bios.text().c_str(), row.kestrel.text().c_str());
        bios.count(row.bios);
        kestrel.count(row.kestrel);
    }
    std::fflush(stdout);
    std::fprintf(stderr, "palisade: conformance of %s: BIOS %s; Kestrel %s\n", config.name.c_str(), bios.text().c_str(),
                 kestrelAbsent.empty() ? kestrel.text().c_str() : ("n/a (" + kestrelAbsent + ")").c_str());
    if (!shotsDir.empty()) {
        // The folder is new or empty: the page is created afresh, never through a planted link.
        const std::string path = shotsDir + "/conformance.html";
        const std::string text = conformancePage(config.name, table);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        std::FILE* page = fd < 0 ? nullptr : fdopen(fd, "w");
        int failure = page ? 0 : errno;
        if (page) {
            std::fwrite(text.data(), 1, text.size(), page);
            failure = std::fflush(page) != 0 ? errno : std::ferror(page) ? EIO : 0;
            if (std::fclose(page) != 0 && failure == 0)
                failure = errno;
            if (failure != 0)
                std::remove(path.c_str());
        } else if (fd >= 0) {
            close(fd);
        }
        if (failure != 0) {
            std::fprintf(stderr, "palisade: cannot write %s: %s\n", path.c_str(), std::strerror(failure));
            return 2;
        }
        std::fprintf(stderr, "palisade: the conformance table as a page: %s\n", path.c_str());
    }
    return bios.fail + kestrel.fail > 0 ? 1 : 0;
}

}  // namespace judge
