// The command line of quelpath-resolve.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quelpath::cli {

enum class Format { Links, Window, Json };

// Every text as typed, in UTF-8.
struct Command {
  Format format = Format::Links;
  std::optional<int> timeoutSeconds;
  std::string proxy;
  std::vector<std::string> headers;
  std::string cookie;
  std::optional<std::string> data;  // given: the request is a POST
  bool noRedirect = false;
  bool noCookieStore = false;
  bool noSystemCookies = false;
  bool copy = false;
  bool help = false;
  bool version = false;
  std::vector<std::string> addresses;  // empty, or holding "-": read standard input
};

struct Parsed {
  std::optional<Command> command;
  std::string error;  // one line naming the bad option, when there is no command
};

Parsed Options_Parse(const std::vector<std::string>& args);
const char* Options_Usage();

}  // namespace quelpath::cli
