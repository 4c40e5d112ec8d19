#include "results/file_operations.h"

#include "frame/failure_reason.h"

#include <stdexcept>

namespace utils {

WideString CreateGuidString()
{
    GUID guid{};
    const HRESULT hr = CoCreateGuid(&guid);
    if (FAILED(hr)) {
        frame::ReportFailure("CoCreateGuid failed (", frame::HResult{hr}, ")");
        throw std::runtime_error("CreateGUID error");
    }
    OLECHAR text[56] = {};
    if (StringFromGUID2(guid, text, 56) <= 0) {
        frame::ReportFailure("StringFromGUID2 failed");
        throw std::runtime_error("CreateGUID error");
    }
    return WideString(text);
}

std::int32_t GetFileLength(const WideString& path)
{
    int fd = -1;
    try {
        // Read only, and no writer may have the file open: the length is final.
        const int error = _wsopen_s(&fd, path.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYWR, 0);
        if (error != 0 || fd == -1) {
            frame::ReportFailure("file length: ", frame::Quoted(path), " cannot be opened for reading (errno ", error,
                                 ")");
            throw std::runtime_error("Can't get a file length");
        }
        const long long length = _filelengthi64(fd);
        _close(fd);
        fd = -1;
        if (length < 0 || length > 0x7FFFFFFF) {
            frame::ReportFailure("file length: the length of ", frame::Quoted(path), " is ", length,
                                 ", not between 0 and 2147483647");
            throw std::runtime_error("Can't get a file length");
        }
        return static_cast<std::int32_t>(length);
    } catch (...) {
        if (fd != -1)
            _close(fd);
        throw std::runtime_error("Can't get a file length");
    }
}

void MoveFileTo(const WideString& from, const WideString& to, bool overwrite)
{
    DWORD flags = MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH;
    if (overwrite)
        flags |= MOVEFILE_REPLACE_EXISTING;
    if (!MoveFileExW(from.c_str(), to.c_str(), flags)) {
        frame::ReportFailure("MoveFileExW from ", frame::Quoted(from), " to ", frame::Quoted(to), " failed with ",
                             frame::Win32Error{GetLastError()});
        throw std::runtime_error("Can't move file");
    }
}

void CopyFileTo(const WideString& from, const WideString& to, bool overwrite)
{
    if (!CopyFileW(from.c_str(), to.c_str(), overwrite ? FALSE : TRUE)) {
        frame::ReportFailure("CopyFileW from ", frame::Quoted(from), " to ", frame::Quoted(to), " failed with ",
                             frame::Win32Error{GetLastError()});
        throw std::runtime_error("Can't copy file");
    }
}

void RemoveFile(const WideString& path)
{
    if (!DeleteFileW(path.c_str())) {
        frame::ReportFailure("DeleteFileW of ", frame::Quoted(path), " failed with ",
                             frame::Win32Error{GetLastError()});
        throw std::runtime_error("Can't delete file");
    }
}

} // namespace utils
