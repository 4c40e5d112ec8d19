// The files of the served folder, reached by site path (see host/site_path.h).
//
//   std::filesystem::path file = aspserve::FileOfSitePath(root, "/css/site.css");
//   std::optional<std::string> text = aspserve::ReadSiteFile(root, "/inc/header.inc");
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace aspserve {

/// The file a site path names under root (a site path never leaves it).
std::filesystem::path FileOfSitePath(const std::filesystem::path& root, const std::string& sitePath);

/// The bytes of a regular file of the site; nullopt when there is none or it cannot be read.
std::optional<std::string> ReadSiteFile(const std::filesystem::path& root, const std::string& sitePath);

} // namespace aspserve
