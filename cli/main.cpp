// quelpath-resolve: the window's resolver for terminals and scripts.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/Input.h"
#include "cli/Options.h"
#include "cli/Resolve.h"

int main(int argc, char** argv) {
  using namespace quelpath::cli;
  const Parsed parsed = Options_Parse(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.command) {
    std::cerr << "quelpath-resolve: " << parsed.error << " (see --help)\n";
    return 2;
  }
  const Command& command = *parsed.command;
  if (command.help) {
    std::cout << Options_Usage();
    return 0;
  }
  if (command.version) {
    std::cout << "quelpath-resolve " QUELPATH_VERSION "\n";
    return 0;
  }

  // Standard input stands where "-" stands, or alone when no address is given.
  std::vector<std::string> addresses;
  bool readInput = command.addresses.empty();
  for (const std::string& a : command.addresses) {
    if (a != "-") {
      addresses.push_back(a);
    } else if (!readInput) {
      readInput = true;
      for (std::string& line : Input_ReadLines(std::cin)) addresses.push_back(std::move(line));
    }
  }
  if (command.addresses.empty()) addresses = Input_ReadLines(std::cin);
  std::ostream* progress = isatty(STDERR_FILENO) ? &std::cerr : nullptr;
  return Resolve_Run(command, addresses, std::cout, progress);
}
