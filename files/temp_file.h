#pragma once
// A temporary file being written: created with a unique GUID name in a given directory, deleted
// when destroyed unless it was detached first.

#include <cstdint>
#include <functional>

#include "platform/win.h"
#include "files/detached_temp_file.h"

namespace utils {

class CTempFile {
public:
    /// Every failure of this class.
    class ETempFile {};

    /// Creates a new empty file named `dir` + "\" + a fresh GUID string.
    explicit CTempFile(const WideString& dir);
    /// Same, with the candidate names drawn from `makeName` (tests force collisions with it).
    CTempFile(const WideString& dir, const std::function<WideString()>& makeName);
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;
    /// Closes the file and deletes it if still owned. Never throws: a failed deletion is dropped.
    ~CTempFile();

    /// Appends `size` bytes in one synchronous write.
    void Write(const void* data, std::uint32_t size);
    /// Closes the file and hands it to the returned owner.
    CDetachedTempFile Detach();
    /// Full path of the owned file; empty after Detach.
    const WideString& GetName() const { return name_; }

    /// Attempts made before giving up on name collisions.
    static constexpr int kMaxAttempts = 100;

private:
    void Create(const WideString& dir, const std::function<WideString()>& makeName);
    void CloseHandleIfOpen() noexcept;

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    WideString name_;
};

} // namespace utils
