// The clipboard as plain text: a platform service that the application installs.
#pragma once

#include <functional>

#include "text/Types.h"

namespace quelpath {

// Places `text` as plain text, replacing what the clipboard held; false when the clipboard
// cannot be had. Without an installed service it is always false. Window's thread only.
bool Clipboard_SetText(const Text& text);

using ClipboardService = std::function<bool(const Text&)>;
// Installs the service (an empty one uninstalls); returns the one it replaces.
ClipboardService Clipboard_Install(ClipboardService service);

}  // namespace quelpath
