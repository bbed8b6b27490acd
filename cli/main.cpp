// quelpath-resolve: the window's resolver for terminals and scripts.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/Input.h"
#include "cli/Options.h"
#include "cli/Resolve.h"
#include "fetch/Page.h"

#ifdef QUELPATH_HAS_WINDOW
#include <QApplication>

#include "app/QtClipboard.h"
#include "app/QtPlatform.h"
#endif

namespace {

// A page given up on its time-out leaves a worker that is stopping; let it end before the
// process tears down what it still uses, and never wait long for it.
int Finish(int status) {
  for (int i = 0; i < 2000 && quelpath::Page_RunningWorkers() > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::cout.flush();
  if (quelpath::Page_RunningWorkers() > 0) std::_Exit(status);
  return status;
}

}  // namespace

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
  if (!command.copy) return Finish(Resolve_Run(command, addresses, std::cout, progress));

#ifdef QUELPATH_HAS_WINDOW
  // The clipboard needs the desktop's connection; without a display the list is only printed.
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
    std::cerr << "quelpath-resolve: no display, --copy ignored\n";
    return Finish(Resolve_Run(command, addresses, std::cout, progress));
  }
  QApplication app(argc, argv);
  quelpath::QtPlatform_Install();
  const int status = Resolve_Run(command, addresses, std::cout, progress);
  quelpath::QtClipboard_HandOver(2000);  // X11: the list outlives us only in a clipboard manager
  return Finish(status);
#else
  std::cerr << "quelpath-resolve: built without the window, --copy ignored\n";
  return Finish(Resolve_Run(command, addresses, std::cout, progress));
#endif
}
