// Each machine is a PC of its own with its own program folder: the program finds itself
// there, so the driver and configuration its generator writes for one machine are never
// found by a run on another.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace desktop {

struct ProgramFolderError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The folder name of a machine: a preset's name, or for a machine file a readable stem and
// a short hash of its absolute path ("my-card-1f2e3d4c"), so two files of one name differ.
std::string machineId(const std::string& nameOrFile, bool preset);

// Where program folders go when the executable's folder cannot be written:
// $XDG_STATE_HOME/palisade, else ~/.local/state/palisade; empty when neither is known.
std::filesystem::path stateFolder();

// Makes BASE/machines/ID/ under the first base that can hold it, with links to the
// executable (as "palisade") and to the generator KSWIN.EXE beside it, and returns the
// program's path inside it. Without Kestrel the folder holds neither the generator nor a
// driver or configuration it wrote before. Throws ProgramFolderError when no base can.
std::filesystem::path prepareProgramFolder(const std::filesystem::path& executable, const std::string& id,
                                           const std::vector<std::filesystem::path>& bases, bool withKestrel = true);

}  // namespace desktop
