// "KSCONFIG.DAT": the generator's analysis as "key: value" lines, written beside the driver
// and read back by "KSWIN.EXE -noanalyse" instead of probing again.
#pragma once

#include <stdexcept>
#include <string>

#include "kestrel/card.h"

namespace kestrel {

struct ConfigError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string formatConfig(const CardAnalysis& card);
// Throws ConfigError with a one-line message naming the line at fault.
CardAnalysis parseConfig(const std::string& text);

}  // namespace kestrel
