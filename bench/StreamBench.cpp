// A 64 MiB nine-member record written into a stream and read back, beside memcpy of its bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>

#include "text/Stream.h"

namespace {

constexpr std::size_t kRecord = 64u << 20;

// Shaped like a fetch record: a large body and eight small members, 64 MiB in all.
quelpath::BytesList Record() {
  quelpath::BytesList record{quelpath::Bytes(std::string("http://127.0.0.1/s/1")),
                             quelpath::Bytes(),
                             quelpath::Bytes(std::string("GET")),
                             quelpath::Bytes(std::string("Accept: */*\r\n")),
                             quelpath::Bytes(),
                             quelpath::Bytes(),
                             quelpath::Bytes(std::string("\xD5\xE6")),
                             quelpath::Bytes(std::string("\xBC\xD9")),
                             quelpath::Bytes(std::string("\xD5\xE6"))};
  std::size_t small = 0;
  for (const quelpath::Bytes& m : record) small += 4 + m.view().size();
  record.at(2) = quelpath::Bytes(std::string(kRecord - small - 4, 'b'));
  return record;
}

// The fetch's own sequence: open, write, seek, read back into the same record, close.
void BM_Stream_RecordRoundTrip(benchmark::State& state) {
  quelpath::BytesList record = Record();
  for (auto _ : state) {
    const quelpath::StreamHandle h = quelpath::Stream_Open();
    bool ok = quelpath::Stream_WriteBytesList(h, record);
    ok = ok && quelpath::Stream_SeekStart(h) && quelpath::Stream_ReadBytesList(h, record);
    quelpath::Stream_Close(h);
    if (!ok) state.SkipWithError("round trip failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRecord));
}
BENCHMARK(BM_Stream_RecordRoundTrip)->Unit(benchmark::kMillisecond);

// Reading into a fresh list: every member's storage is newly allocated.
void BM_Stream_RecordRoundTripFreshList(benchmark::State& state) {
  const quelpath::BytesList record = Record();
  for (auto _ : state) {
    const quelpath::StreamHandle h = quelpath::Stream_Open();
    quelpath::BytesList back(9);
    bool ok = quelpath::Stream_WriteBytesList(h, record);
    ok = ok && quelpath::Stream_SeekStart(h) && quelpath::Stream_ReadBytesList(h, back);
    quelpath::Stream_Close(h);
    if (!ok) state.SkipWithError("round trip failed");
    benchmark::DoNotOptimize(back);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRecord));
}
BENCHMARK(BM_Stream_RecordRoundTripFreshList)->Unit(benchmark::kMillisecond);

// The baseline: the same number of bytes copied once into a buffer allocated once.
void BM_Memcpy(benchmark::State& state) {
  const std::string from(kRecord, 'b');
  std::string to(kRecord, '\0');
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kRecord);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRecord));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

// For reference: the same copy into fresh memory, which the kernel must first clear.
void BM_MemcpyFresh(benchmark::State& state) {
  const std::string from(kRecord, 'b');
  for (auto _ : state) {
    std::unique_ptr<char[]> to(new char[kRecord]);
    std::memcpy(to.get(), from.data(), kRecord);
    benchmark::DoNotOptimize(to.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRecord));
}
BENCHMARK(BM_MemcpyFresh)->Unit(benchmark::kMillisecond);

}  // namespace
