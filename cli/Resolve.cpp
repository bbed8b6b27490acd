#include "cli/Resolve.h"

#include "app/Address.h"
#include "app/Literals.h"
#include "cli/Output.h"
#include "fetch/Page.h"
#include "text/Clipboard.h"
#include "text/Code.h"
#include "text/Text.h"

namespace quelpath::cli {
namespace {

Text FromUtf8(const std::string& utf8) { return Code_Utf8ToGbk(Text(utf8)); }

FetchOptions OptionsOf(const Command& command) {
  FetchOptions options;
  options.method = command.data ? 1 : 0;
  options.proxy = FromUtf8(command.proxy);
  std::string headers;
  for (const std::string& h : command.headers) headers += h + "\r\n";
  options.extraHeaders = FromUtf8(headers);
  if (command.data) options.postData = Bytes(*command.data);
  options.cookies = FromUtf8(command.cookie);
  options.超时返回 = command.timeoutSeconds;
  options.noRedirect = command.noRedirect;
  options.noCookieStore = command.noCookieStore;
  options.noSystemCookies = command.noSystemCookies;
  return options;
}

// Stands in for the window: the upper box holds the addresses, and every append to the lower
// box is one resolved line, written out at once.
class StreamWindow : public WindowAccess {
 public:
  StreamWindow(const Command& command, Text source, std::ostream& out, std::ostream* progress)
      : command_(command), source_(std::move(source)), out_(out), progress_(progress),
        total_(Address_Lines(source_).count()) {}

  Text GetContent(Control box) override {
    return box == Control::编辑框_原地址 ? source_ : lower_;
  }
  void SetContent(Control box, const Text& text) override {
    if (box != Control::编辑框_实际下载地址) return;
    if (text.length() > lower_.length()) Emit(Text(text.view().substr(lower_.view().size())));
    lower_ = text;
  }
  void SetCaption(Control, const Text&) override {}
  bool PutOnClipboard(const Text& text) override {
    return command_.copy && Clipboard_SetText(text);
  }

  // Called by the page source for each line, before the batch appends its entry.
  void Fetched(const Text& line, PageStatus status) {
    line_ = line;
    status_ = status;
  }
  int failures() const { return failures_; }

 private:
  void Emit(const Text& entry) {
    const std::string_view end = lit::kEntryEnd.text().view();
    std::string_view link = entry.view();
    if (link.size() >= end.size()) link.remove_suffix(end.size());
    LineResult result{Code_LocalToUtf8(line_).str(), Code_LocalToUtf8(Text(link)).str(),
                      LineStatus::Ok};
    if (status_ == PageStatus::Empty) {
      result.status = LineStatus::Empty;
    } else if (status_ == PageStatus::TimedOut) {
      result.status = LineStatus::TimeOut;
    } else if (result.link.empty()) {
      result.status = LineStatus::NoLink;
    }
    if (result.status != LineStatus::Ok && !Text_Trim(line_).empty()) ++failures_;
    out_ << Output_Format(result, command_.format) << std::flush;
    if (progress_) *progress_ << Output_Progress(result, ++done_, total_) << std::flush;
  }

  const Command& command_;
  const Text source_;
  std::ostream& out_;
  std::ostream* progress_;
  const int total_;
  Text lower_;
  Text line_;
  PageStatus status_ = PageStatus::Empty;
  int done_ = 0;
  int failures_ = 0;
};

}  // namespace

int Resolve_Run(const Command& command, const std::vector<std::string>& addresses,
                std::ostream& out, std::ostream* progress) {
  std::string source;
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    source += (i ? "\r\n" : "") + addresses[i];
  }
  StreamWindow window(command, FromUtf8(source), out, progress);
  const FetchOptions options = OptionsOf(command);
  Address_ResolveAll(window, [&](const Text& line) {
    PageStatus status = PageStatus::Empty;
    Text page = Address_FetchPage(line, options, &status);
    window.Fetched(line, status);
    return page;
  });
  return window.failures() == 0 ? 0 : 1;
}

}  // namespace quelpath::cli
