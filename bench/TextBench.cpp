// Text_Find, Text_FindLast and the link recipe on a generated share page, each beside memmem
// looking for the same marker in the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "app/Address.h"
#include "app/Literals.h"
#include "text/Text.h"

namespace quelpath {
namespace {

// Mixed ASCII markup and two-byte text, with the anchor near the end as on a real share page.
Text SharePage(std::size_t bytes) {
  const std::string chinese = Literal_Convert("文件分享页面，请稍候。网盘用户名：").str();
  const std::string ascii = "<div class=\"item\" data-id=\"12345\"><span>";
  std::string page;
  while (page.size() + 512 < bytes) page += (page.size() / 64) % 3 ? ascii : chinese;
  page += lit::kMarkerSave.text().str();
  page += "<a class=\"btn\" HREF=\"https://d.example/file?a=1&amp;b=2\">";
  page += lit::kMarkerDownload.text().str();
  page += "</a></body>";
  return Text(std::move(page));
}

const Text& Page(std::size_t bytes) {
  static const Text small = SharePage(256 << 10), large = SharePage(1 << 20);
  return bytes == (256u << 10) ? small : large;
}

void BM_TextFind(benchmark::State& state) {
  const Text& page = Page(256 << 10);
  for (auto _ : state) benchmark::DoNotOptimize(Text_Find(page, lit::kMarkerSave));
  state.SetBytesProcessed(state.iterations() * page.length());
}

void BM_Memmem(benchmark::State& state) {
  const Text& page = Page(256 << 10);
  const Text& marker = lit::kMarkerSave;
  for (auto _ : state) {
    benchmark::DoNotOptimize(memmem(page.str().data(), page.str().size(), marker.str().data(),
                                    marker.str().size()));
  }
  state.SetBytesProcessed(state.iterations() * page.length());
}

void BM_TextFindLast(benchmark::State& state) {
  const Text& page = Page(256 << 10);
  for (auto _ : state) benchmark::DoNotOptimize(Text_FindLast(page, lit::kMarkerSave));
  state.SetBytesProcessed(state.iterations() * page.length());
}

// The case-folding search, as the recipe uses it for the href marker.
void BM_TextFindIgnoreCase(benchmark::State& state) {
  const Text& page = Page(256 << 10);
  const Text sought("https://d.example");
  for (auto _ : state) benchmark::DoNotOptimize(Text_Find(page, sought, 1, true));
  state.SetBytesProcessed(state.iterations() * page.length());
}

void BM_LinkRecipe(benchmark::State& state) {
  const Text& page = Page(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(Address_ExtractLink(page));
  state.SetBytesProcessed(state.iterations() * page.length());
}

BENCHMARK(BM_TextFind);
BENCHMARK(BM_Memmem);
BENCHMARK(BM_TextFindLast);
BENCHMARK(BM_TextFindIgnoreCase);
BENCHMARK(BM_LinkRecipe)->Arg(256 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quelpath
