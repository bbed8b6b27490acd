// The application's fixed texts.
#pragma once

#include "text/Literal.h"

namespace quelpath::lit {

inline constinit const Literal kLineBreak{"\r\n"};
inline constinit const Literal kMarkerSave{"转存到我的百度云"};  // the link lies after its last one
inline constinit const Literal kMarkerDownload{"下载"};           // ... and before the next one
inline constinit const Literal kMarkerHref{"href=\""};            // ... between this
inline constinit const Literal kMarkerQuote{"\""};                // ... and the next quote
inline constinit const Literal kEntity{"amp;"};                   // removed from the link
inline constinit const Literal kEntryEnd{"\r\n\r\n"};
inline constinit const Literal kCaptionCopied{"下载地址已复制到剪贴板"};

}  // namespace quelpath::lit
