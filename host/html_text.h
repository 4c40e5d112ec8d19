// HTML encoding of text, as Server.HTMLEncode gives it: the characters that HTML treats as
// markup become character references, everything else stays as it is.
//
//   WideString safe = host::HtmlEncode(OLESTR("<a href=\"x\">&</a>"));
//   // "&lt;a href=&quot;x&quot;&gt;&amp;&lt;/a&gt;"
#pragma once

#include "platform/win.h"

namespace host {

/// text with '&', '<', '>', '"' and '\'' replaced by &amp; &lt; &gt; &quot; &#39;.
WideString HtmlEncode(const WideString& text);

} // namespace host
