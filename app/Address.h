// The batch behind the button: share-page addresses in, download links out.
#pragma once

#include <functional>

#include "fetch/Page.h"
#include "text/Types.h"

namespace quelpath {

enum class Control { 编辑框_原地址, 编辑框_实际下载地址, 标签1 };

// What the batch needs of the main window; anything holding two box texts, a caption and a
// clipboard text can stand in for it.
class WindowAccess {
 public:
  virtual ~WindowAccess() = default;
  virtual Text GetContent(Control box) = 0;
  virtual void SetContent(Control box, const Text& text) = 0;
  virtual void SetCaption(Control label, const Text& caption) = 0;
  // True when the text replaced the clipboard's content.
  virtual bool PutOnClipboard(const Text& text) = 0;
};

// Turns one address into the text of its page; never fails (an empty page instead). It may
// process window events, so the batch that calls it can be entered again meanwhile.
using PageSource = std::function<Text(const Text& address)>;

enum class PageStatus { Page, Empty, TimedOut };

// The window's page source: Page_Fetch of the line with `options`, decoded from UTF-8.
// `status`, when given, tells a page from an empty answer and from the time-out message.
Text Address_FetchPage(const Text& line, const FetchOptions& options = {},
                       PageStatus* status = nullptr);

// The pasted source as the batch sees it: trimmed at both ends, split at every "\r\n".
TextList Address_Lines(const Text& source);

// The download link of a share page: the href value of the anchor that stands after the last
// "转存到我的百度云" and before the next "下载", with every "amp;" removed. Empty when missing.
Text Address_ExtractLink(const Text& page);

// Resolves every line of the upper box into an entry of the lower box, then copies the list
// and says so. All of a batch's state lives in the call, so batches may nest.
void Address_ResolveAll(WindowAccess& window, const PageSource& pageSource);

}  // namespace quelpath
