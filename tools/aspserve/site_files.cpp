#include "tools/aspserve/site_files.h"

#include <fstream>
#include <iterator>

namespace aspserve {

std::filesystem::path FileOfSitePath(const std::filesystem::path& root, const std::string& sitePath)
{
    const std::u8string relative(sitePath.begin() + (sitePath.empty() ? 0 : 1), sitePath.end());
    return root / std::filesystem::path(relative);
}

std::optional<std::string> ReadSiteFile(const std::filesystem::path& root, const std::string& sitePath)
{
    const std::filesystem::path file = FileOfSitePath(root, sitePath);
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return bytes;
}

} // namespace aspserve
