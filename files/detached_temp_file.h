#pragma once
// A finished, closed temporary file owned by name: deletes the file when destroyed unless the
// path was released to a new owner first.

#include <memory>

#include "platform/win.h"

namespace utils {

class CDetachedTempFile {
public:
    /// Takes ownership of the file at `path`.
    explicit CDetachedTempFile(const WideString& path);
    CDetachedTempFile(CDetachedTempFile&& other) noexcept = default;
    CDetachedTempFile& operator=(CDetachedTempFile&& other) noexcept;
    CDetachedTempFile(const CDetachedTempFile&) = delete;
    CDetachedTempFile& operator=(const CDetachedTempFile&) = delete;
    /// Deletes the file if it is still owned; a failed deletion is ignored.
    ~CDetachedTempFile();

    /// The full path (empty once released).
    WideString GetName() const;
    /// Gives up ownership: returns the path, and the file is no longer deleted here.
    WideString Release();

private:
    void DeleteOwnedFile() noexcept;

    std::unique_ptr<WideString> path_;
};

} // namespace utils
