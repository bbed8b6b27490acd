#include "cli/Output.h"

#include <cstdio>

namespace quelpath::cli {
namespace {

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (const unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

}  // namespace

const char* Output_StatusName(LineStatus status) {
  switch (status) {
    case LineStatus::Ok: return "ok";
    case LineStatus::NoLink: return "no link";
    case LineStatus::Empty: return "empty";
    case LineStatus::TimeOut: return "time-out";
  }
  return "empty";
}

std::string Output_Format(const LineResult& line, Format format) {
  switch (format) {
    case Format::Links: return line.link + "\n";
    case Format::Window: return line.link + "\r\n\r\n";
    case Format::Json:
      return "{\"address\":" + JsonString(line.address) + ",\"link\":" + JsonString(line.link) +
             ",\"status\":" + JsonString(Output_StatusName(line.status)) + "}\n";
  }
  return {};
}

std::string Output_Progress(const LineResult& line, int k, int n) {
  return "[" + std::to_string(k) + "/" + std::to_string(n) + "] " +
         Output_StatusName(line.status) + " " + line.address + "\n";
}

}  // namespace quelpath::cli
