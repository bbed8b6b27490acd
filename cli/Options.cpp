#include "cli/Options.h"

#include <charconv>
#include <functional>
#include <map>

namespace quelpath::cli {
namespace {

using Setter = std::function<bool(Command&, const std::string&)>;  // false: a bad value

bool SetFormat(Command& c, const std::string& v) {
  static const std::map<std::string, Format> formats = {
      {"links", Format::Links}, {"window", Format::Window}, {"json", Format::Json}};
  const auto it = formats.find(v);
  if (it == formats.end()) return false;
  c.format = it->second;
  return true;
}

bool SetTimeout(Command& c, const std::string& v) {
  int seconds = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), seconds);
  if (ec != std::errc() || end != v.data() + v.size() || seconds < 0) return false;
  c.timeoutSeconds = seconds;
  return true;
}

const std::map<std::string, Setter>& ValueOptions() {
  static const std::map<std::string, Setter> options = {
      {"--format", SetFormat},
      {"--timeout", SetTimeout},
      {"--proxy", [](Command& c, const std::string& v) { c.proxy = v; return !v.empty(); }},
      {"--header",
       [](Command& c, const std::string& v) {
         c.headers.push_back(v);
         return v.find(':') != std::string::npos;
       }},
      {"--cookie", [](Command& c, const std::string& v) { c.cookie = v; return true; }},
      {"--data", [](Command& c, const std::string& v) { c.data = v; return true; }},
  };
  return options;
}

const std::map<std::string, bool Command::*>& Switches() {
  static const std::map<std::string, bool Command::*> switches = {
      {"--no-redirect", &Command::noRedirect},
      {"--no-cookie-store", &Command::noCookieStore},
      {"--no-system-cookies", &Command::noSystemCookies},
      {"--copy", &Command::copy},
      {"--help", &Command::help},
      {"-h", &Command::help},
      {"--version", &Command::version},
  };
  return switches;
}

}  // namespace

Parsed Options_Parse(const std::vector<std::string>& args) {
  Command command;
  bool onlyAddresses = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (onlyAddresses || arg == "-" || arg.rfind("-", 0) != 0) {
      command.addresses.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyAddresses = true;
      continue;
    }
    if (const auto s = Switches().find(arg); s != Switches().end()) {
      command.*(s->second) = true;
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const auto option = ValueOptions().find(name);
    if (option == ValueOptions().end()) return {std::nullopt, "unknown option " + name};
    std::string value;
    if (eq != std::string::npos) {
      value = arg.substr(eq + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return {std::nullopt, "option " + name + " needs a value"};
    }
    if (!option->second(command, value)) {
      return {std::nullopt, "bad value for " + name + ": '" + value + "'"};
    }
  }
  return {command, ""};
}

const char* Options_Usage() {
  return R"(usage: quelpath-resolve [OPTIONS] [ADDRESS...]
Resolves share-page addresses into download links, exactly as the Quelpath window does.
Without addresses, or with "-", reads them from standard input, one a line (UTF-8).

  --format links|window|json  one link a line (default); the text of the window's lower box;
                              or one JSON object a line with address, link and status
  --timeout SECONDS           time-out of each page (default 60)
  --proxy HOST:PORT           proxy for http addresses
  --header 'Name: value'      an extra request header (repeatable)
  --cookie TEXT               cookies to send
  --data TEXT                 send a POST request with this body
  --no-redirect               do not follow redirects
  --no-cookie-store           do not store received cookies
  --no-system-cookies         do not send stored cookies
  --copy                      also put the list on the clipboard (needs a display)
  --help, --version

Exit status: 0 when every non-blank line gave a link, 1 when some gave none, 2 for a usage error.
)";
}

}  // namespace quelpath::cli
