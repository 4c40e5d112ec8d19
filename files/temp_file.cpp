#include "files/temp_file.h"

#include "com/failure_reason.h"
#include "com/guid.h"
#include "files/file_operations.h"

namespace utils {

CTempFile::CTempFile(const WideString& dir)
{
    Create(dir, com::NewGuidString);
}

CTempFile::CTempFile(const WideString& dir, const std::function<WideString()>& makeName)
{
    Create(dir, makeName);
}

void CTempFile::Create(const WideString& dir, const std::function<WideString()>& makeName)
{
    if (dir.empty()) {
        com::ReportFailure("temporary file: no directory given (Save's TempDir is empty)");
        throw ETempFile();
    }
    WideString prefix = dir;
    if (prefix.back() != OLECHAR('\\'))
        prefix.push_back(OLECHAR('\\'));
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        WideString candidate = prefix + makeName();
        HANDLE handle = CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            handle_ = handle;
            name_ = std::move(candidate);
            return;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            com::ReportFailure("temporary file: CreateFileW of ", com::Quoted(candidate), " failed with ",
                               com::Win32Error{error});
            throw ETempFile();
        }
    }
    com::ReportFailure("temporary file: every one of ", kMaxAttempts, " names tried in ", com::Quoted(dir),
                       " exists already");
    throw ETempFile();
}

CTempFile::~CTempFile()
{
    CloseHandleIfOpen();
    if (!name_.empty()) {
        // A deletion can fail while another process holds the file open. Throwing from here
        // would end the process (or replace an error already on its way): drop it instead.
        try {
            RemoveFile(name_);
        } catch (...) {
        }
    }
}

void CTempFile::CloseHandleIfOpen() noexcept
{
    if (handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
}

void CTempFile::Write(const void* data, std::uint32_t size)
{
    if (name_.empty() || data == nullptr)
        throw ETempFile();
    if (size == 0)
        return;
    DWORD written = 0;
    if (!WriteFile(handle_, data, size, &written, nullptr)) {
        com::ReportFailure("temporary file: WriteFile to ", com::Quoted(name_), " failed with ",
                           com::Win32Error{GetLastError()});
        throw ETempFile();
    }
    if (written != size) {
        com::ReportFailure("temporary file: WriteFile to ", com::Quoted(name_), " wrote ", written, " of ", size,
                           " bytes");
        throw ETempFile();
    }
}

CDetachedTempFile CTempFile::Detach()
{
    if (name_.empty())
        throw ETempFile();
    CloseHandleIfOpen();
    CDetachedTempFile detached(name_);
    name_.clear();
    return detached;
}

} // namespace utils
