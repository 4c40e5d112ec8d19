#include "files/file_operations.h"

#include "com/failure_reason.h"
#include "files/file_name_rules.h"

#include <stdexcept>
#include <string_view>

namespace utils {

namespace {

using PathView = std::basic_string_view<OLECHAR>;

// What follows the last slash, backslash or colon of a path: the name Windows opens in the folder.
PathView LastComponent(PathView path)
{
    const std::size_t separator = path.find_last_of(OLESTR("\\/:"));
    return separator == PathView::npos ? path : path.substr(separator + 1);
}

// True for a path in the device namespace (\\.\ or \\?\) that names no drive and no share: a pipe,
// a physical drive, a device by its NT name.
bool IsDeviceNamespacePath(PathView path)
{
    const auto isSeparator = [](OLECHAR c) { return c == OLECHAR('\\') || c == OLECHAR('/'); };
    if (path.size() < 4 || !isSeparator(path[0]) || !isSeparator(path[1]) ||
        (path[2] != OLECHAR('.') && path[2] != OLECHAR('?')) || !isSeparator(path[3]))
        return false;
    const PathView rest = path.substr(4);
    const bool drive =
        rest.size() >= 2 && rest[1] == OLECHAR(':') &&
        ((rest[0] >= OLECHAR('A') && rest[0] <= OLECHAR('Z')) || (rest[0] >= OLECHAR('a') && rest[0] <= OLECHAR('z')));
    const bool share =
        rest.size() >= 4 && detail::IsAsciiWordIgnoringCase(rest.substr(0, 3), "UNC") && isSeparator(rest[3]);
    return !drive && !share;
}

// Throws std::runtime_error(failureText), after saying why, when `to` names something other than
// a disk file: a device name in any folder ("...\\nul.txt"), the device namespace, or an existing
// object that opens as a character device or a pipe. Windows would write a copy into the device and
// report success, and a move would then delete its source: the bytes would be lost.
void RefuseNonDiskDestination(const WideString& to, const char* operation, const char* failureText)
{
    const PathView path(to);
    if (NamesReservedDevice(LastComponent(path)) || IsDeviceNamespacePath(path)) {
        com::ReportFailure(operation, ": the destination ", com::Quoted(path),
                           " names a device, not a disk file; nothing was written");
        throw std::runtime_error(failureText);
    }
    const HANDLE existing = ::CreateFileW(to.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (existing == INVALID_HANDLE_VALUE)
        return; // nothing there yet (or a folder): the move or copy itself decides
    const DWORD type = ::GetFileType(existing);
    ::CloseHandle(existing);
    if (type != FILE_TYPE_DISK) {
        com::ReportFailure(operation, ": the destination ", com::Quoted(path), " is not a disk file (file type ", type,
                           "); nothing was written");
        throw std::runtime_error(failureText);
    }
}

} // namespace

std::int32_t GetFileLength(const WideString& path)
{
    int fd = -1;
    try {
        // Read only, and no writer may have the file open: the length is final.
        const int error = _wsopen_s(&fd, path.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYWR, 0);
        if (error != 0 || fd == -1) {
            com::ReportFailure("file length: ", com::Quoted(path), " cannot be opened for reading (errno ", error, ")");
            throw std::runtime_error("Can't get a file length");
        }
        const long long length = _filelengthi64(fd);
        _close(fd);
        fd = -1;
        if (length < 0 || length > 0x7FFFFFFF) {
            com::ReportFailure("file length: the length of ", com::Quoted(path), " is ", length,
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
    RefuseNonDiskDestination(to, "SaveAs", "Can't move file");
    DWORD flags = MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH;
    if (overwrite)
        flags |= MOVEFILE_REPLACE_EXISTING;
    if (!MoveFileExW(from.c_str(), to.c_str(), flags)) {
        com::ReportFailure("MoveFileExW from ", com::Quoted(from), " to ", com::Quoted(to), " failed with ",
                           com::Win32Error{GetLastError()});
        throw std::runtime_error("Can't move file");
    }
}

void CopyFileTo(const WideString& from, const WideString& to, bool overwrite)
{
    RefuseNonDiskDestination(to, "CopyTo", "Can't copy file");
    if (!CopyFileW(from.c_str(), to.c_str(), overwrite ? FALSE : TRUE)) {
        com::ReportFailure("CopyFileW from ", com::Quoted(from), " to ", com::Quoted(to), " failed with ",
                           com::Win32Error{GetLastError()});
        throw std::runtime_error("Can't copy file");
    }
}

void RemoveFile(const WideString& path)
{
    if (!DeleteFileW(path.c_str())) {
        com::ReportFailure("DeleteFileW of ", com::Quoted(path), " failed with ", com::Win32Error{GetLastError()});
        throw std::runtime_error("Can't delete file");
    }
}

} // namespace utils
