// What quelpath-resolve writes for each resolved line.
#pragma once

#include <string>

#include "cli/Options.h"

namespace quelpath::cli {

enum class LineStatus { Ok, NoLink, Empty, TimeOut };

struct LineResult {
  std::string address;  // UTF-8, as the page source received it
  std::string link;     // UTF-8; empty when the page gave none
  LineStatus status = LineStatus::Empty;
};

const char* Output_StatusName(LineStatus status);  // "ok", "no link", "empty", "time-out"
// The bytes standard output receives for one line in the given format.
std::string Output_Format(const LineResult& line, Format format);
// The progress line for standard error: "[k/n] status address".
std::string Output_Progress(const LineResult& line, int k, int n);

}  // namespace quelpath::cli
