#include "text/Clipboard.h"

#include <utility>

namespace quelpath {
namespace {
ClipboardService& Installed() {
  static ClipboardService service;
  return service;
}
}  // namespace

bool Clipboard_SetText(const Text& text) {
  const ClipboardService& service = Installed();
  return service ? service(text) : false;
}

ClipboardService Clipboard_Install(ClipboardService service) {
  return std::exchange(Installed(), std::move(service));
}

}  // namespace quelpath
