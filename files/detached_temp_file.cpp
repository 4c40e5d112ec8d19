#include "files/detached_temp_file.h"

namespace utils {

CDetachedTempFile::CDetachedTempFile(const WideString& path) : path_(std::make_unique<WideString>(path)) {}

CDetachedTempFile& CDetachedTempFile::operator=(CDetachedTempFile&& other) noexcept
{
    if (this != &other) {
        DeleteOwnedFile();
        path_ = std::move(other.path_);
    }
    return *this;
}

CDetachedTempFile::~CDetachedTempFile()
{
    DeleteOwnedFile();
}

void CDetachedTempFile::DeleteOwnedFile() noexcept
{
    if (path_ && !path_->empty())
        DeleteFileW(path_->c_str());
}

WideString CDetachedTempFile::GetName() const
{
    return path_ ? *path_ : WideString();
}

WideString CDetachedTempFile::Release()
{
    if (!path_)
        return WideString();
    WideString path = std::move(*path_);
    path_->clear();
    return path;
}

} // namespace utils
