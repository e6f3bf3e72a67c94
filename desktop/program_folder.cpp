#include "desktop/program_folder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace fs = std::filesystem;

namespace desktop {

namespace {

// Long stems would push the program's path towards the 260 characters Windows allows.
constexpr size_t kStemLimit = 32;

// The longest path the program builds in its folder, as Windows writes it, must stay below
// the 260 characters Windows allows: a cut path would name another machine's folder.
constexpr size_t kWindowsPathLimit = 259;
constexpr size_t kLongestFileName = sizeof "KSCONFIG.DAT" - 1;  // kestrel.drv, KSWIN.EXE, palisade

bool fitsWindowsPaths(const fs::path& folder)
{
    // "Z:" and a backslash before each part, the file name's own backslash.
    return 2 + folder.string().size() + 1 + kLongestFileName <= kWindowsPathLimit;
}

uint32_t fnv1a(const std::string& text)
{
    uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

std::string readableStem(const fs::path& file)
{
    std::string stem;
    for (char c : file.stem().string()) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.';
        stem.push_back(plain ? c : '_');
        if (stem.size() == kStemLimit)
            break;
    }
    if (stem.empty() || stem[0] == '.')
        stem.insert(0, "machine");
    return stem;
}

// Points link at target, replacing whatever is there; the new link appears at once, so a
// run starting at the same moment sees the old link or the new one, never none.
void linkTo(const fs::path& link, const fs::path& target)
{
    std::error_code error;
    if (fs::is_symlink(link, error) && fs::read_symlink(link, error) == target)
        return;
    // Something else of that name is the user's: it is reported, not replaced or avoided.
    if (fs::is_directory(fs::symlink_status(link, error)))
        throw ProgramFolderError(link.string() + " is a folder where the link to " + target.filename().string() +
                                 " belongs: move it away");
    const fs::path temporary = link.string() + ".new-" + std::to_string(getpid());
    fs::remove(temporary, error);
    fs::create_symlink(target, temporary);
    try {
        fs::rename(temporary, link);
    } catch (const fs::filesystem_error&) {
        fs::remove(temporary, error);
        throw;
    }
}

}  // namespace

std::string machineId(const std::string& nameOrFile, bool preset)
{
    if (preset)
        return nameOrFile;
    std::error_code error;
    fs::path absolute = fs::weakly_canonical(fs::absolute(nameOrFile), error);
    if (error)
        absolute = fs::absolute(nameOrFile).lexically_normal();
    char hash[9];
    std::snprintf(hash, sizeof hash, "%08x", fnv1a(absolute.string()));
    return readableStem(absolute) + "-" + hash;
}

fs::path stateFolder()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/')
        return fs::path(state) / "palisade";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return fs::path(home) / ".local" / "state" / "palisade";
    return {};
}

fs::path prepareProgramFolder(const fs::path& executable, const std::string& id, const std::vector<fs::path>& bases,
                              bool withKestrel)
{
    const fs::path generator = executable.parent_path() / "KSWIN.EXE";
    std::string why = "no folder to put it in";
    for (const fs::path& base : bases) {
        if (base.empty())
            continue;
        const fs::path folder = base / "machines" / id;
        if (!fitsWindowsPaths(folder)) {
            why = folder.string() + ": too long for the program's 259-character paths";
            continue;
        }
        try {
            fs::create_directories(folder);
            linkTo(folder / "palisade", executable);
            std::error_code error;
            // Without the generator the loader goes on without a driver, as it would on a PC.
            if (withKestrel && fs::exists(generator, error)) {
                linkTo(folder / "KSWIN.EXE", generator);
            } else {
                fs::remove(folder / "KSWIN.EXE", error);
                if (!withKestrel)
                    for (const char* made : {"kestrel.drv", "KSCONFIG.DAT"})
                        fs::remove(folder / made, error);
            }
            return folder / "palisade";
        } catch (const fs::filesystem_error& error) {
            why = folder.string() + ": " + error.code().message();
        }
    }
    throw ProgramFolderError("cannot make the program folder of machine " + id + " (" + why + ")");
}

}  // namespace desktop
