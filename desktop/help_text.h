// The pages palisade prints for --help and --help-machine-file, each line within 80 columns.
#pragma once

#include <string>

namespace desktop {

std::string helpText();
std::string machineFileHelpText();

}  // namespace desktop
