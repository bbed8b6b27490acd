// The page fetch: one page downloaded on a worker thread within a time-out, while the calling
// (window) thread keeps processing its events.
#pragma once

#include <optional>
#include <stop_token>

#include "fetch/Http.h"
#include "text/Stream.h"
#include "text/Types.h"

namespace quelpath {

// What carries a request to the worker and its response back: nine slots, slot k being member
// k + 1. Request / response: 0 address / body; 1 "GET" or "POST" / the collected cookies;
// 2 proxy; 3 extra header lines; 4 post data; 5 cookies to send / raw response headers;
// 6, 7, 8 "真" or "假" for no redirect, no cookie store, no system cookies.
using FetchRecord = BytesList;
inline constexpr int kFetchSlots = 9;

struct FetchOptions {
  int method = 0;  // 1: POST; anything else: GET
  Text proxy{};    // for http addresses only; empty: none
  Text extraHeaders{};
  Bytes postData{};
  Text cookies{};                 // sent as they are; non-blank ones keep the store out
  std::optional<int> 超时返回{};  // the time-out in seconds; 60 when not given
  Text* responseHeaders = nullptr;
  int conversion = 0;  // 1: from UTF-8; 2: from Big5 to simplified; otherwise as received
  Text* responseCookies = nullptr;
  bool noRedirect = false;
  bool noCookieStore = false;    // received cookies are not stored
  bool noSystemCookies = false;  // stored cookies are not sent, received ones not stored by curl
};

// The body of the page at `address`; empty for a blank address or a failed exchange; the fixed
// time-out message when the time-out passes first. The address is trimmed and, without a
// scheme, completed with "http://"; `address` receives the one sent.
Bytes Page_Fetch(Text& address, const FetchOptions& options = {});

// The request record for a complete address.
FetchRecord Page_MakeRecord(const Text& address, const FetchOptions& options);

// One exchange: reads the record from `stream`, performs it through `session` and writes the
// response back into the stream.
void Page_FetchWorker(StreamHandle stream, HttpSession& session);
// The same on libcurl; a stop request ends the transfer within milliseconds.
void Page_FetchWorker(StreamHandle stream, std::stop_token stop = {});

// Workers started by Page_Fetch that have not ended yet, given-up ones included.
int Page_RunningWorkers();

}  // namespace quelpath
