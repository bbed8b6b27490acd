// Code_Utf8BytesToLocal on a 1 MiB page beside glibc's iconv doing the same conversion.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <random>
#include <string>

#include "text/Code.h"

namespace {

// A page of markup and Chinese text, about half of its bytes in three-byte characters.
const std::string& Page() {
  static const std::string page = [] {
    const char* chinese[] = {"转存到我的百度云",
                             "下载",
                             "文件",
                             "分享",
                             "链接",
                             "提取码",
                             "会员",
                             "保存",
                             "网盘",
                             "视频",
                             "资料",
                             "目录",
                             "大小",
                             "时间"};
    const char* ascii[] = {"<div class=\"item\">",
                           "</div>\n",
                           "<a href=\"https://example.com/s/1",
                           "\">",
                           "</a>",
                           " ",
                           "2024-05-01 ",
                           "&amp;",
                           "var x = 1;\n"};
    std::mt19937 random(1);
    std::string s;
    while (s.size() < (1u << 20)) {
      s += random() % 2 ? chinese[random() % std::size(chinese)]
                        : ascii[random() % std::size(ascii)];
    }
    while (s.size() > (1u << 20)) s.pop_back();
    while ((static_cast<unsigned char>(s.back()) & 0xC0) == 0x80) s.pop_back();  // whole characters
    while (static_cast<unsigned char>(s.back()) >= 0xC0) s.pop_back();
    return s;
  }();
  return page;
}

void BM_Code_Utf8BytesToLocal(benchmark::State& state) {
  const quelpath::Bytes page(Page());
  for (auto _ : state) {
    quelpath::Text text = quelpath::Code_Utf8BytesToLocal(page);
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * page.length());
}
BENCHMARK(BM_Code_Utf8BytesToLocal)->Unit(benchmark::kMillisecond);

// The baseline: one converter opened once, output into a buffer allocated once.
void BM_Iconv_Utf8ToCp936(benchmark::State& state) {
  std::string page = Page();
  std::string out(page.size() * 2, '\0');
  iconv_t cd = iconv_open("CP936", "UTF-8");
  for (auto _ : state) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = page.data();
    std::size_t srcLeft = page.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) {
      state.SkipWithError("iconv refused the page");
    }
    benchmark::DoNotOptimize(dst);
  }
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_Iconv_Utf8ToCp936)->Unit(benchmark::kMillisecond);

}  // namespace
