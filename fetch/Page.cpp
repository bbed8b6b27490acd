// The page fetch call and the exchange its worker performs.
#include "fetch/Page.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <thread>

#include "fetch/CurlSession.h"
#include "fetch/Literals.h"
#include "fetch/Url.h"
#include "fetch/Wait.h"
#include "text/Bool.h"
#include "text/Bytes.h"
#include "text/Clock.h"
#include "text/Code.h"
#include "text/Events.h"
#include "text/Int.h"
#include "text/Text.h"

namespace quelpath {
namespace {

Bytes& Slot(FetchRecord& record, int k) { return record.at(k + 1); }
Text SlotText(const FetchRecord& record, int k) { return Bytes_ToText(record.at(k + 1)); }
// Byte for byte, as the switches travel.
bool SlotIs(const FetchRecord& record, int k, bool value) {
  return Bytes_Equals(record.at(k + 1), Text_ToBytes(Bool_ToText(value)));
}
bool Contains(const Text& text, const Text& word) { return Text_Find(text, word, 1, true) != -1; }
bool StartsWithFolded(const Text& text, const Text& prefix) {
  return Text_Length(text) >= Text_Length(prefix) &&
         Text_Compare(Text_Left(text, Text_Length(prefix)), prefix, false) == 0;
}

void WriteBack(StreamHandle stream, const FetchRecord& record) {
  Stream_SeekStart(stream);
  Stream_WriteBytesList(stream, record);
}

// An exchange that could not begin: no body, and no request values passed off as response.
void WriteFailure(StreamHandle stream, FetchRecord& record) {
  Slot(record, 0) = Bytes();
  Slot(record, 1) = Bytes();
  Slot(record, 5) = Bytes();
  WriteBack(stream, record);
}

// The header text as sent: the extra lines, then each default line the caller did not write
// itself, then the content lines of a POST and the cookie line.
Text ComposeHeaders(Text text, const Text& address, const Text& method, const Bytes& body,
                    const Text& cookies) {
  if (!Contains(text, lit::kAcceptWord)) text = Text_Concat(text, lit::kAcceptLine);
  if (Contains(text, lit::kRefererNo)) {
    text = Text_Replace(text, lit::kRefererNo, Text(), 1, 1, true);
  } else if (!Contains(text, lit::kRefererWord)) {
    text = Text_Concat(text, lit::kRefererField, address, lit::kCrLf);
  }
  if (!Contains(text, lit::kAcceptLanguageWord)) text = Text_Concat(text, lit::kLanguageLine);
  const bool get = Text_Equals(method, lit::kGet), post = Text_Equals(method, lit::kPost);
  if (post && !body.empty()) {
    if (!Contains(text, lit::kContentTypeWord)) text = Text_Concat(text, lit::kFormTypeLine);
    if (!Contains(text, lit::kContentLengthWord)) {
      text =
          Text_Concat(text, lit::kContentLengthField, Int_ToText(Bytes_Length(body)), lit::kCrLf);
    }
  }
  if ((get || post) && !cookies.empty()) {
    text = Text_Concat(text, lit::kCookieField, cookies, lit::kCookieLineEnd);
  }
  return text;
}

// The name=value part of every Set-Cookie line, each followed by ";"; each cookie goes into
// the store unless `store` is false.
Text CollectCookies(HttpSession& session, const Text& rawHeaders, const Text& host, bool store) {
  std::string collected;
  if (!Contains(rawHeaders, lit::kSetCookieField)) return Text();
  const StreamHandle lines = Stream_Open();
  Stream_WriteText(lines, rawHeaders);
  Stream_SeekStart(lines);
  const Text cookieAddress = Text_Concat(lit::kCookieAddressPrefix, host);
  // Every line read moves on by a byte at least, so this many reads reach the end whatever
  // ends the lines.
  for (int reads = 0; reads <= Text_Length(rawHeaders) && !Stream_AtEnd(lines); ++reads) {
    const Text line = Stream_ReadLine(lines);
    if (!Contains(line, lit::kSetCookieField)) continue;
    const Text cookie = Text_Right(line, Text_Length(line) - Text_Length(lit::kSetCookieField));
    collected.append(Text_BeforeFirst(cookie, lit::kSemicolon).view());
    collected.append(lit::kSemicolon.text().view());
    if (!store) continue;
    const int equals = Text_Find(cookie, lit::kEquals);
    if (equals == -1) {
      session.SetCookie(cookieAddress, Text(), cookie);
    } else {
      session.SetCookie(cookieAddress, Text_Left(cookie, equals - 1),
                        Text_Right(cookie, Text_Length(cookie) - equals));
    }
  }
  Stream_Close(lines);
  return Text(std::move(collected));
}

// A bound on what a session's hint can make the reader reserve up front.
constexpr std::size_t kBodyReserveLimit = CurlSession::kBodyLimit;

std::atomic<int> runningWorkers{0};

// What a fetch shares with its worker. The fetch reads the stream only after the worker has
// ended; when it gives the worker up, the worker's reference keeps the stream open until it
// ends, and whichever lets go last closes it.
struct FetchShared {
  StreamHandle stream = 0;
  std::atomic<bool> ended{false};
  bool failed = false;  // written before `ended`, read after it
  std::stop_source stop;
  std::shared_ptr<WaitService> wait;

  FetchShared() = default;
  FetchShared(const FetchShared&) = delete;
  FetchShared& operator=(const FetchShared&) = delete;
  ~FetchShared() { Stream_Close(stream); }
};

void RunWorker(std::shared_ptr<FetchShared> shared) {
  try {
    Page_FetchWorker(shared->stream, shared->stop.get_token());
  } catch (...) {  // out of memory: no response, and nothing thrown across the thread
    shared->failed = true;
  }
  const std::shared_ptr<WaitService> wait = shared->wait;
  shared->ended.store(true, std::memory_order_release);
  wait->Wake();
  shared.reset();
  runningWorkers.fetch_sub(1);
}

int32_t TimeoutMs(const std::optional<int>& seconds) {
  if (!seconds) return 60000;
  const int64_t ms = static_cast<int64_t>(*seconds) * 1000;
  return static_cast<int32_t>(std::clamp<int64_t>(ms, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// Milliseconds since `start`, across a wrap of the clock.
int64_t ElapsedMs(int32_t start) {
  return static_cast<uint32_t>(Clock_UptimeMs()) - static_cast<uint32_t>(start);
}

}  // namespace

FetchRecord Page_MakeRecord(const Text& address, const FetchOptions& options) {
  FetchRecord record(kFetchSlots);
  Slot(record, 0) = Text_ToBytes(address);
  Slot(record, 1) = Text_ToBytes(options.method == 1 ? lit::kPost : lit::kGet);
  Slot(record, 2) = Text_ToBytes(options.proxy);
  Slot(record, 3) = Text_ToBytes(options.extraHeaders);
  Slot(record, 4) = options.postData;
  Slot(record, 5) = Text_ToBytes(options.cookies);
  Slot(record, 6) = Text_ToBytes(Bool_ToText(options.noRedirect));
  Slot(record, 7) = Text_ToBytes(Bool_ToText(options.noCookieStore));
  Slot(record, 8) = Text_ToBytes(Bool_ToText(options.noSystemCookies));
  return record;
}

void Page_FetchWorker(StreamHandle stream, HttpSession& session) {
  FetchRecord record(kFetchSlots);
  if (!Stream_SeekStart(stream) || !Stream_ReadBytesList(stream, record)) return;

  const Text address = SlotText(record, 0);
  const Text method = SlotText(record, 1);
  const Text extraHeaders = SlotText(record, 3);
  const Bytes& body = Slot(record, 4);
  const Text cookies = SlotText(record, 5);
  const bool followRedirects = SlotIs(record, 6, false);
  const bool secure = Url_IsSecure(address);
  const Text host = Url_Host(address);
  const Text path = Url_Path(address);

  // The agent named by the caller's own User-Agent line, if any.
  Text agent = lit::kUserAgent;
  if (Contains(extraHeaders, lit::kUserAgentField)) {
    agent = Text_Trim(Text_Between(extraHeaders, lit::kUserAgentField, lit::kCrLf));
  }

  const HttpHandle internet =
      Slot(record, 2).empty()
          ? session.Open(agent, HttpAccess::Direct, Text())
          : session.Open(agent, HttpAccess::Proxy,
                         Text_Concat(lit::kProxyListPrefix, Bytes_ToText(Slot(record, 2))));
  if (!internet) return WriteFailure(stream, record);

  const HttpHandle connection = session.Connect(internet, host, Url_Port(address));
  if (!connection) {
    WriteFailure(stream, record);
    session.Close(internet);
    return;
  }

  const bool bypassCookieStore = !Text_Trim(cookies).empty() || SlotIs(record, 8, true);
  HttpFlags flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE;
  if (bypassCookieStore) flags |= INTERNET_FLAG_NO_COOKIES;
  if (!followRedirects) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
  flags |= secure ? INTERNET_FLAG_SECURE : INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;

  const HttpHandle request =
      session.OpenRequest(connection, method, path, lit::kHttpVersion, flags);
  if (!request) {
    WriteFailure(stream, record);
    session.Close(connection);
    session.Close(internet);
    return;
  }

  const Text headers = ComposeHeaders(extraHeaders, address, method, body, cookies);

  // Only GET and POST are sent, and never an address that would break the request's lines:
  // an unsent request reads as an empty body.
  if (Url_IsSendable(address)) {
    if (Text_Equals(method, lit::kGet)) {
      session.Send(request, headers, Bytes());
    } else if (Text_Equals(method, lit::kPost)) {
      session.Send(request, headers, body);
    }
  }

  std::string received;
  // Room for what is known to come: a large body is not moved again and again as it grows.
  received.reserve(static_cast<std::size_t>(
      std::clamp(session.QueryDataAvailable(request), 0, static_cast<int>(kBodyReserveLimit))));
  for (;;) {
    std::array<char, kHttpChunk> buffer{};
    const int count = std::min(session.ReadFile(request, buffer), kHttpChunk);
    if (count <= 0) break;
    received.append(buffer.data(), static_cast<std::size_t>(count));
  }
  Slot(record, 0) = Bytes(std::move(received));

  const Text rawHeaders = session.QueryRawHeaders(request);
  Slot(record, 5) = Text_ToBytes(rawHeaders);

  session.Close(request);
  session.Close(connection);
  session.Close(internet);

  const Text collected = CollectCookies(session, rawHeaders, host, !SlotIs(record, 7, true));
  Slot(record, 1) = Text_ToBytes(collected);
  WriteBack(stream, record);
}

void Page_FetchWorker(StreamHandle stream, std::stop_token stop) {
  CurlSession session(std::move(stop));
  Page_FetchWorker(stream, session);
}

int Page_RunningWorkers() { return runningWorkers.load(); }

Bytes Page_Fetch(Text& address, const FetchOptions& options) {
  const Text trimmed = Text_Trim(address);
  if (trimmed.empty()) return Bytes();
  Text complete = trimmed;
  if (!StartsWithFolded(trimmed, lit::kHttpScheme) &&
      !StartsWithFolded(trimmed, lit::kHttpsScheme)) {
    complete = Text_Concat(lit::kHttpScheme, trimmed);
  }
  if (!Text_Equals(complete, address)) address = complete;

  FetchRecord record = Page_MakeRecord(complete, options);
  auto shared = std::make_shared<FetchShared>();
  shared->stream = Stream_Open();
  if (!Stream_WriteBytesList(shared->stream, record)) return Bytes();
  shared->wait = Wait_Service();

  std::thread worker;
  runningWorkers.fetch_add(1);
  try {
    worker = std::thread(RunWorker, shared);
  } catch (...) {  // no thread to be had: nothing to wait for
    runningWorkers.fetch_sub(1);
    return Bytes();
  }
  const int32_t start = Clock_UptimeMs();
  const int32_t timeout = TimeoutMs(options.超时返回);

  // Each pass waits for what remains of the time-out, and every wake-up first tests the time.
  WaitOutcome outcome;
  do {
    const int64_t remaining = std::max<int64_t>(timeout - ElapsedMs(start), 0);
    outcome = shared->wait->Wait(shared->ended, static_cast<int32_t>(remaining));
    if (outcome == WaitOutcome::Ended && !shared->ended.load(std::memory_order_acquire)) {
      outcome = WaitOutcome::Other;
    }
    if (ElapsedMs(start) >= timeout) outcome = WaitOutcome::TimedOut;
    Events_Process();
  } while (outcome == WaitOutcome::Other);

  if (outcome == WaitOutcome::TimedOut) {
    // The worker stops soon, alone; its response is never read.
    shared->stop.request_stop();
    worker.detach();
    return Text_ToBytes(lit::kTimeoutMessage);
  }

  worker.join();
  if (shared->failed || !Stream_SeekStart(shared->stream) ||
      !Stream_ReadBytesList(shared->stream, record)) {
    return Bytes();
  }
  shared.reset();
  if (options.responseHeaders) *options.responseHeaders = SlotText(record, 5);
  if (options.responseCookies) *options.responseCookies = SlotText(record, 1);
  switch (options.conversion) {
    case 1:
      return Text_ToBytes(Code_Utf8ToGbk(SlotText(record, 0)));
    case 2:
      return Text_ToBytes(Code_Big5ToGbkSimplified(SlotText(record, 0)));
    default:
      return std::move(Slot(record, 0));
  }
}

}  // namespace quelpath
