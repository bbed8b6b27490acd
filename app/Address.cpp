#include "app/Address.h"

#include "app/Literals.h"
#include "fetch/Literals.h"
#include "text/Code.h"
#include "text/Text.h"

namespace quelpath {

Text Address_FetchPage(const Text& line, const FetchOptions& options, PageStatus* status) {
  Text address = line;  // Page_Fetch completes its own copy; the batch does not use it again
  const Bytes body = Page_Fetch(address, options);
  if (status) {
    *status = body.empty()                                           ? PageStatus::Empty
              : body.view() == lit::kTimeoutMessage.text().view() ? PageStatus::TimedOut
                                                                     : PageStatus::Page;
  }
  return Code_Utf8BytesToLocal(body);
}

TextList Address_Lines(const Text& source) {
  return Text_Split(Text_Trim(source), lit::kLineBreak);
}

Text Address_ExtractLink(const Text& page) {
  const Text afterSave = Text_AfterLast(page, lit::kMarkerSave);
  const Text beforeDownload = Text_BeforeFirst(afterSave, lit::kMarkerDownload);
  const Text value = Text_Between(beforeDownload, lit::kMarkerHref, lit::kMarkerQuote);
  return Text_ReplaceSeveral(value, {{lit::kEntity, Text()}});
}

void Address_ResolveAll(WindowAccess& window, const PageSource& pageSource) {
  const TextList lines = Address_Lines(window.GetContent(Control::编辑框_原地址));
  window.SetContent(Control::编辑框_实际下载地址, Text());

  const int count = lines.count();
  for (int k = 1; k <= count; ++k) {
    const Text link = Address_ExtractLink(pageSource(lines.at(k)));
    // Read the box again right before appending: the user or a nested batch may have changed it.
    const Text current = window.GetContent(Control::编辑框_实际下载地址);
    window.SetContent(Control::编辑框_实际下载地址, Text_Concat(current, link, lit::kEntryEnd.text()));
  }

  if (Text_Length(window.GetContent(Control::编辑框_实际下载地址)) == 0) return;
  // The caption claims a copy, so it is set only when the copy happened.
  if (window.PutOnClipboard(window.GetContent(Control::编辑框_实际下载地址))) {
    window.SetCaption(Control::标签1, lit::kCaptionCopied);
  }
}

}  // namespace quelpath
