#pragma once

#include <istream>
#include <string>
#include <vector>

namespace quelpath::cli {

// The lines of a UTF-8 stream: a leading byte-order mark and a CR before each LF dropped.
std::vector<std::string> Input_ReadLines(std::istream& in);

}  // namespace quelpath::cli
