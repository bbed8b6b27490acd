// Splitting an absolute address into what a connection and a request need. Only a leading
// "http://" or "https://" counts as a scheme, letter case ignored; without one the address is
// taken as host, port and path alone. None of these fail: missing parts give their defaults.
#pragma once

#include <cstdint>

#include "text/Types.h"

namespace quelpath {

// The host in lower case: after the scheme, up to the first "/", "?", "#" or the port's ":".
// A bracketed IPv6 literal keeps its brackets and colons. Empty when the address has none.
Text Url_Host(const Text& address);
// Everything after the host and port, query and fragment included; "/" when nothing follows,
// "/" followed by the rest when it begins with "?" or "#".
Text Url_Path(const Text& address);
// The explicit port when it is a decimal number from 1 to 65535; otherwise 443 for https and
// 80 for everything else.
uint16_t Url_Port(const Text& address);
// True when the scheme is https.
bool Url_IsSecure(const Text& address);
// False when the address holds a byte that would break a request or header line (a control
// byte, DEL), so that it must never reach the wire.
bool Url_IsSendable(const Text& address);

}  // namespace quelpath
