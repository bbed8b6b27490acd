// Runs the window's batch over addresses from the command line, writing each line as it is done.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/Options.h"

namespace quelpath::cli {

// Resolves `addresses` (UTF-8) with the command's fetch options. `progress`, when given,
// receives one line per resolved line. Returns the exit status: 0 when every non-blank line
// gave a link, 1 otherwise.
int Resolve_Run(const Command& command, const std::vector<std::string>& addresses,
                std::ostream& out, std::ostream* progress);

}  // namespace quelpath::cli
