// The page fetch beside a plain libcurl transfer of the same loopback address: per-fetch
// overhead on a small page, throughput on large bodies, and the processor time a fetch uses
// while it waits for a server that never answers.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "fetch/Page.h"

namespace quelpath {
namespace {

// The bodies, and a server for them on 127.0.0.1.
class Server {
 public:
  static Server& Get() {
    static Server* server = new Server();  // lives until the process ends
    return *server;
  }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::string SilentUrl() const { return "http://127.0.0.1:" + std::to_string(silentPort_) + "/"; }

 private:
  Server() {
    for (auto [path, size] : {std::pair{"/2k", 2u << 10}, {"/1m", 1u << 20}, {"/64m", 64u << 20}}) {
      const std::string body(size, 'b');
      http_.Get(path, [body](const httplib::Request&, httplib::Response& res) {
        res.set_content(body, "application/octet-stream");
      });
    }
    port_ = http_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { http_.listen_after_bind(); });
    while (!http_.is_running()) std::this_thread::yield();

    // Accepts and holds every connection, answering nothing.
    silent_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(silent_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(silent_, 64);
    ::getsockname(silent_, reinterpret_cast<sockaddr*>(&addr), &len);
    silentPort_ = ntohs(addr.sin_port);
    std::thread([fd = silent_] {
      std::vector<int> held;
      for (;;) {
        const int c = ::accept(fd, nullptr, nullptr);
        if (c >= 0) held.push_back(c);
      }
    }).detach();
  }

  httplib::Server http_;
  int port_ = 0;
  std::thread thread_;
  int silent_ = -1;
  int silentPort_ = 0;
};

size_t Append(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

// The baseline: one easy transfer on a fresh handle, body appended to a string.
std::string PlainTransfer(const std::string& url, long timeoutMs = 0) {
  std::string body;
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Append);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  if (timeoutMs > 0) curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, timeoutMs);
  curl_easy_perform(easy);
  curl_easy_cleanup(easy);
  return body;
}

Bytes FetchPage(const std::string& url, const FetchOptions& options = {}) {
  Text address(url);
  return Page_Fetch(address, options);
}

void BodyBench(benchmark::State& state, const char* path, bool plain) {
  const std::string url = Server::Get().Url(path);
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::size_t n = plain ? PlainTransfer(url).size() : FetchPage(url).view().size();
    if (n == 0) state.SkipWithError("empty body");
    bytes += n;
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void BM_Plain_2KiB(benchmark::State& s) { BodyBench(s, "/2k", true); }
void BM_PageFetch_2KiB(benchmark::State& s) { BodyBench(s, "/2k", false); }
void BM_Plain_1MiB(benchmark::State& s) { BodyBench(s, "/1m", true); }
void BM_PageFetch_1MiB(benchmark::State& s) { BodyBench(s, "/1m", false); }
void BM_Plain_64MiB(benchmark::State& s) { BodyBench(s, "/64m", true); }
void BM_PageFetch_64MiB(benchmark::State& s) { BodyBench(s, "/64m", false); }

BENCHMARK(BM_Plain_2KiB)->UseRealTime();
BENCHMARK(BM_PageFetch_2KiB)->UseRealTime();
BENCHMARK(BM_Plain_1MiB)->UseRealTime();
BENCHMARK(BM_PageFetch_1MiB)->UseRealTime();
BENCHMARK(BM_Plain_64MiB)->UseRealTime()->MinTime(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageFetch_64MiB)->UseRealTime()->MinTime(3)->Unit(benchmark::kMillisecond);

double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Processor time of the whole process over a 5 s wait for the silent server; for the fetch
// also how long its given-up worker takes to end once the call has returned.
void SilentWait(benchmark::State& state, bool plain) {
  const std::string url = Server::Get().SilentUrl();
  // One-time costs (the message's conversion on its first use) stay out of the measure.
  FetchPage(url, {.超时返回 = 0});
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  double cpu = 0, stop = 0;
  for (auto _ : state) {
    const double before = ProcessCpuMs();
    if (plain) {
      PlainTransfer(url, 5000);
    } else {
      FetchPage(url, {.超时返回 = 5});
    }
    cpu += ProcessCpuMs() - before;
    const auto returned = std::chrono::steady_clock::now();
    while (Page_RunningWorkers() > 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
    stop += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - returned)
                .count();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["cpu_ms"] = benchmark::Counter(cpu / n);
  if (!plain) state.counters["worker_end_ms"] = benchmark::Counter(stop / n);
}

void BM_Plain_SilentWait5s(benchmark::State& s) { SilentWait(s, true); }
void BM_PageFetch_SilentWait5s(benchmark::State& s) { SilentWait(s, false); }

BENCHMARK(BM_Plain_SilentWait5s)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageFetch_SilentWait5s)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quelpath
