// The window's event pump: a platform service that the application installs.
#pragma once

#include <functional>

namespace quelpath {

// Dispatches every window event pending for the calling thread, leaves a pending quit request
// for the event loop, and returns. Without an installed pump it does nothing.
void Events_Process();

using EventPump = std::function<void()>;
// Installs the pump (an empty one uninstalls); returns the one it replaces.
EventPump Events_Install(EventPump pump);

}  // namespace quelpath
