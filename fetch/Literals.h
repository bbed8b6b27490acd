// The fixed texts of the page fetch.
#pragma once

#include "text/Literal.h"

namespace quelpath::lit {

inline constinit const Literal kUserAgent{
    "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727; .NET CLR "
    "3.0.04506.648; .NET CLR 3.5.21022)"};
inline constinit const Literal kAcceptLine{
    "Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
    "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
    "application/msword, */*\r\n"};
inline constinit const Literal kLanguageLine{"Accept-Language: zh-cn\r\n"};
inline constinit const Literal kFormTypeLine{"Content-Type: application/x-www-form-urlencoded\r\n"};
inline constinit const Literal kHttpVersion{"HTTP/1.1"};
inline constinit const Literal kProxyListPrefix{"http="};
inline constinit const Literal kCookieAddressPrefix{"http://"};
inline constinit const Literal kTimeoutMessage{
    "超时返回，指定网站不能访问，或者你的网络出现问题，你可以把参数中的＂超时返回＂的值设置长一些"
    "。"};

// Scheme prefixes of a complete address.
inline constinit const Literal kHttpScheme{"http://"};
inline constinit const Literal kHttpsScheme{"https://"};

inline constinit const Literal kGet{"GET"};
inline constinit const Literal kPost{"POST"};

// Words the header composition looks for, and the lines it writes.
inline constinit const Literal kCrLf{"\r\n"};
inline constinit const Literal kUserAgentField{"User-Agent:"};
inline constinit const Literal kAcceptWord{"Accept"};
inline constinit const Literal kAcceptLanguageWord{"Accept-Language"};
inline constinit const Literal kRefererNo{"RefererNo"};
inline constinit const Literal kRefererWord{"Referer"};
inline constinit const Literal kRefererField{"Referer: "};
inline constinit const Literal kCookieField{"Cookie: "};
inline constinit const Literal kCookieLineEnd{"\r\n\r\n"};
inline constinit const Literal kContentTypeWord{"Content-Type"};
inline constinit const Literal kContentLengthWord{"Content-Length"};
inline constinit const Literal kContentLengthField{"Content-Length: "};

// The cookie pass over the raw headers.
inline constinit const Literal kSetCookieField{"Set-Cookie: "};
inline constinit const Literal kSemicolon{";"};
inline constinit const Literal kEquals{"="};

}  // namespace quelpath::lit
