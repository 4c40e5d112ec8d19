// Paths inside the served folder: the path of a request URL, the target of an include, and the
// content type a file is served with. Every path here is a site path: it starts with '/', its
// segments are separated by single '/', it never leaves the site (no "..", no drive, no
// backslash, no NUL), and it is well-formed UTF-8.
//
//   std::optional<std::string> page = host::SitePathOfUrl("/docs/a%20b.asp?x=1");  // "/docs/a b.asp"
//   auto inc = host::SitePathOfInclude("/docs/a.asp", "../inc/h.inc", false);     // "/inc/h.inc"
//   std::string_view type = host::ContentTypeOf("/site.css");                     // "text/css"
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace host {

/// The site path of a request target (the part before '?', percent-decoded). nullopt when the
/// target is not an absolute path, does not decode, does not decode to UTF-8 (over-long forms
/// and surrogates included), or holds a ".." segment, a backslash, a ':' or a NUL. "." segments and repeated '/' are dropped; a trailing '/' is kept.
std::optional<std::string> SitePathOfUrl(std::string_view target);

/// The site path an include directive names. A virtual include is taken from the site's root,
/// a file include from the folder of includingPage. ".." may climb folders but never above the
/// root; nullopt when it would, or when the name holds a backslash, a ':', a NUL or bytes that
/// are not UTF-8.
std::optional<std::string> SitePathOfInclude(std::string_view includingPage, std::string_view name, bool isVirtual);

/// The Content-Type of a static file, from its extension (case ignored); nullopt for a type the
/// server does not hand out.
std::optional<std::string_view> ContentTypeOf(std::string_view sitePath);

/// True when the site path names an .asp page (case ignored).
bool IsAspPage(std::string_view sitePath);

} // namespace host
