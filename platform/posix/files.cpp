// Files: CreateFileW and the run-time library's _wsopen_s over POSIX descriptors, with Windows
// share modes enforced between the handles of this process, and the path operations with their
// Windows error codes. Paths are UTF-16; '\' is accepted as a separator.
#include "platform/posix/codepages.h"
#include "platform/posix/fault_injection.h"
#include "platform/posix/files.h"
#include "platform/posix/kernel_objects.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform::detail {
namespace {

/// UTF-8 file-system path from a UTF-16 Windows path.
std::string NativePath(LPCWSTR path)
{
    std::u16string wide(path);
    for (auto& c : wide)
        if (c == u'\\')
            c = u'/';
    std::string out;
    if (wide.empty())
        return out;
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    out.resize(static_cast<size_t>(n));
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

bool ParentExists(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return true;
    std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    struct stat st;
    return stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

/// The Windows error for a failed look-up of path: a missing file, or a missing directory on the way.
DWORD MissingError(const std::string& path, int error)
{
    if (error == ENOENT)
        return ParentExists(path) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    if (error == ENOTDIR)
        return ERROR_PATH_NOT_FOUND;
    return ErrorFromErrno(error);
}

struct Access {
    bool read, write, del;
};

Access AccessOf(DWORD desired)
{
    return {(desired & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA)) != 0,
            (desired & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0,
            (desired & (DELETE | GENERIC_ALL)) != 0};
}

struct FileId {
    dev_t dev;
    ino_t ino;
    bool operator<(const FileId& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
};

struct OpenRecord {
    Access access;
    DWORD share;
};

/// Every open handle of this process, by file, with what it asked and what it lets others do.
struct ShareTable {
    std::mutex lock;
    std::multimap<FileId, const OpenRecord*> opens;
};

ShareTable& Shares()
{
    static auto* t = new ShareTable;
    return *t;
}

bool Conflicts(const OpenRecord& existing, Access wanted, DWORD share)
{
    return (wanted.read && !(existing.share & FILE_SHARE_READ)) ||
           (wanted.write && !(existing.share & FILE_SHARE_WRITE)) ||
           (wanted.del && !(existing.share & FILE_SHARE_DELETE)) ||
           (existing.access.read && !(share & FILE_SHARE_READ)) ||
           (existing.access.write && !(share & FILE_SHARE_WRITE)) ||
           (existing.access.del && !(share & FILE_SHARE_DELETE));
}

/// True when the file at id may be opened with this access and share mode. Caller holds the lock.
bool SharingAllows(const FileId& id, Access wanted, DWORD share)
{
    auto range = Shares().opens.equal_range(id);
    for (auto it = range.first; it != range.second; ++it)
        if (Conflicts(*it->second, wanted, share))
            return false;
    return true;
}

/// True when the file at path may be deleted or renamed by this process's handles.
bool MayDelete(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return true;
    std::lock_guard guard(Shares().lock);
    return SharingAllows(FileId{st.st_dev, st.st_ino}, Access{false, false, true},
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
}

struct File : KernelObject {
    int fd = -1;
    FileId id{};
    OpenRecord record{};
    bool writeThrough = false;
    ~File() override
    {
        {
            std::lock_guard guard(Shares().lock);
            auto range = Shares().opens.equal_range(id);
            for (auto it = range.first; it != range.second; ++it)
                if (it->second == &record) {
                    Shares().opens.erase(it);
                    break;
                }
        }
        if (fd >= 0)
            ::close(fd);
    }
};

/// Opens or creates a file as CreateFileW does. On failure returns null with *error set.
std::shared_ptr<File> OpenFile(LPCWSTR name, DWORD desired, DWORD share, DWORD disposition, DWORD flags, DWORD* error,
                               bool* existed)
{
    *existed = false;
    if (!name || !*name) {
        *error = name ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    std::string path = NativePath(name);
    Access access = AccessOf(desired);
    int mode = access.write ? (access.read ? O_RDWR : O_WRONLY) : O_RDONLY;
    int oflags = mode | O_CLOEXEC;
    switch (disposition) {
    case CREATE_NEW: oflags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS: oflags |= O_CREAT; break;
    case OPEN_EXISTING: break;
    case TRUNCATE_EXISTING:
        if (!access.write) {
            *error = ERROR_INVALID_PARAMETER;
            return nullptr;
        }
        break;
    default: *error = ERROR_INVALID_PARAMETER; return nullptr;
    }
    // CREATE_NEW needs no look-up first: O_EXCL refuses any existing name, a directory included.
    struct stat before;
    *existed = disposition != CREATE_NEW && stat(path.c_str(), &before) == 0;
    if (*existed && S_ISDIR(before.st_mode)) {
        *error = disposition == CREATE_NEW ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED;
        return nullptr;
    }
    int fd = ::open(path.c_str(), oflags, (flags & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666);
    if (fd < 0) {
        int e = errno;
        *error = e == EEXIST ? ERROR_FILE_EXISTS : MissingError(path, e);
        return nullptr;
    }
    auto file = std::make_shared<File>();
    file->fd = fd;
    struct stat st;
    fstat(fd, &st);
    file->id = FileId{st.st_dev, st.st_ino};
    file->record = OpenRecord{access, share};
    file->writeThrough = (flags & FILE_FLAG_WRITE_THROUGH) != 0;
    {
        std::lock_guard guard(Shares().lock);
        if (!SharingAllows(file->id, access, share)) {
            *error = ERROR_SHARING_VIOLATION;
            return nullptr; // closes fd; the file existed (a new file cannot conflict)
        }
        Shares().opens.emplace(file->id, &file->record);
    }
    if ((disposition == CREATE_ALWAYS && *existed) || disposition == TRUNCATE_EXISTING) {
        if (ftruncate(fd, 0) != 0) {
            *error = ErrorFromErrno(errno);
            return nullptr;
        }
    }
    return file;
}

std::shared_ptr<File> FindFile(HANDLE h)
{
    return std::dynamic_pointer_cast<File>(FindHandle(h));
}

BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

/// Copies the bytes of from into a new or truncated file to; removes a partial copy on failure.
DWORD CopyContents(const std::string& from, const std::string& to, bool mustBeNew, bool sync)
{
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return MissingError(from, errno);
    struct stat st;
    fstat(in, &st);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (mustBeNew ? O_EXCL : O_TRUNC), st.st_mode & 0777);
    if (out < 0) {
        int e = errno;
        ::close(in);
        return e == EEXIST ? ERROR_FILE_EXISTS : MissingError(to, e);
    }
    DWORD result = ERROR_SUCCESS;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result = ErrorFromErrno(errno);
            break;
        }
        if (n == 0)
            break;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = ::write(out, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0) {
                result = ErrorFromErrno(errno);
                break;
            }
            done += w;
        }
        if (result != ERROR_SUCCESS)
            break;
    }
    if (result == ERROR_SUCCESS && sync && fsync(out) != 0)
        result = ErrorFromErrno(errno);
    ::close(in);
    if (::close(out) != 0 && result == ERROR_SUCCESS)
        result = ErrorFromErrno(errno);
    if (result != ERROR_SUCCESS)
        ::unlink(to.c_str());
    return result;
}

void SyncDirectoryOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        ::close(fd);
    }
}

// Descriptors opened by _wsopen_s, so that _close can drop their share records.
std::mutex g_descriptorLock;
std::map<int, std::shared_ptr<File>>& Descriptors()
{
    static auto* d = new std::map<int, std::shared_ptr<File>>;
    return *d;
}

} // namespace
} // namespace platform::detail

using namespace platform::detail;

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE)
{
    DWORD error = ERROR_SUCCESS;
    if (platform::faults::detail::ShouldFail(platform::faults::Point::FileCreate, &error)) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    bool existed = false;
    auto file = OpenFile(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition, dwFlagsAndAttributes, &error,
                         &existed);
    if (!file) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    bool reportsExisting = dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS;
    SetLastError(reportsExisting && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return AddHandle(std::move(file));
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    auto file = FindFile(hFile);
    if (!file)
        return Fail(ERROR_INVALID_HANDLE);
    if (lpOverlapped || (!lpBuffer && nNumberOfBytesToWrite))
        return Fail(ERROR_INVALID_PARAMETER);
    if (!file->record.access.write)
        return Fail(ERROR_ACCESS_DENIED);
    const char* data = static_cast<const char*>(lpBuffer);
    DWORD allowed = nNumberOfBytesToWrite;
    DWORD injected = ERROR_SUCCESS;
    const bool writeAll = platform::faults::detail::AllowWrite(nNumberOfBytesToWrite, &allowed, &injected);
    DWORD done = 0;
    while (done < allowed) {
        ssize_t n = ::write(file->fd, data + done, allowed - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (lpNumberOfBytesWritten)
                *lpNumberOfBytesWritten = done;
            return Fail(ErrorFromErrno(errno));
        }
        done += static_cast<DWORD>(n);
    }
    if (!writeAll) {
        if (lpNumberOfBytesWritten)
            *lpNumberOfBytesWritten = done;
        return Fail(injected);
    }
    if (file->writeThrough)
        fdatasync(file->fd);
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = done;
    return TRUE;
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped)
{
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = 0;
    auto file = FindFile(hFile);
    if (!file)
        return Fail(ERROR_INVALID_HANDLE);
    if (lpOverlapped || (!lpBuffer && nNumberOfBytesToRead))
        return Fail(ERROR_INVALID_PARAMETER);
    if (!file->record.access.read)
        return Fail(ERROR_ACCESS_DENIED);
    if (DWORD injected; platform::faults::detail::ShouldFail(platform::faults::Point::FileRead, &injected))
        return Fail(injected);
    ssize_t n;
    do
        n = ::read(file->fd, lpBuffer, nNumberOfBytesToRead);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        return Fail(ErrorFromErrno(errno));
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = static_cast<DWORD>(n);
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE hFile)
{
    auto file = FindFile(hFile);
    if (!file)
        return Fail(ERROR_INVALID_HANDLE);
    return fsync(file->fd) == 0 ? TRUE : Fail(ErrorFromErrno(errno));
}

BOOL GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize)
{
    auto file = FindFile(hFile);
    if (!file)
        return Fail(ERROR_INVALID_HANDLE);
    struct stat st;
    if (fstat(file->fd, &st) != 0)
        return Fail(ErrorFromErrno(errno));
    lpFileSize->QuadPart = st.st_size;
    return TRUE;
}

DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(hFile, &size))
        return INVALID_FILE_SIZE;
    if (lpFileSizeHigh)
        *lpFileSizeHigh = static_cast<DWORD>(size.QuadPart >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size.QuadPart);
}

BOOL SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer, DWORD dwMoveMethod)
{
    auto file = FindFile(hFile);
    if (!file)
        return Fail(ERROR_INVALID_HANDLE);
    int whence = dwMoveMethod == FILE_BEGIN ? SEEK_SET : dwMoveMethod == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    off_t pos = lseek(file->fd, liDistanceToMove.QuadPart, whence);
    if (pos < 0)
        return Fail(ERROR_INVALID_PARAMETER);
    if (lpNewFilePointer)
        lpNewFilePointer->QuadPart = pos;
    return TRUE;
}

DWORD GetFileType(HANDLE hFile)
{
    auto file = FindFile(hFile);
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FILE_TYPE_UNKNOWN;
    }
    struct stat st;
    if (fstat(file->fd, &st) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FILE_TYPE_UNKNOWN;
    }
    SetLastError(ERROR_SUCCESS);
    if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))
        return FILE_TYPE_DISK;
    if (S_ISCHR(st.st_mode))
        return FILE_TYPE_CHAR;
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))
        return FILE_TYPE_PIPE;
    return FILE_TYPE_UNKNOWN;
}

BOOL DeleteFileW(LPCWSTR lpFileName)
{
    if (!lpFileName)
        return Fail(ERROR_INVALID_PARAMETER);
    if (DWORD injected; platform::faults::detail::ShouldFail(platform::faults::Point::FileDelete, &injected))
        return Fail(injected);
    std::string path = NativePath(lpFileName);
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return Fail(MissingError(path, errno));
    if (S_ISDIR(st.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    if (!MayDelete(path))
        return Fail(ERROR_SHARING_VIOLATION);
    if (::unlink(path.c_str()) != 0)
        return Fail(MissingError(path, errno));
    return TRUE;
}

BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags)
{
    if (!lpExistingFileName || !lpNewFileName)
        return Fail(ERROR_INVALID_PARAMETER);
    if (dwFlags & MOVEFILE_DELAY_UNTIL_REBOOT)
        return Fail(ERROR_NOT_SUPPORTED);
    if (DWORD injected; platform::faults::detail::ShouldFail(platform::faults::Point::FileMove, &injected))
        return Fail(injected);
    std::string from = NativePath(lpExistingFileName);
    std::string to = NativePath(lpNewFileName);
    struct stat src;
    if (lstat(from.c_str(), &src) != 0)
        return Fail(MissingError(from, errno));
    if (!MayDelete(from))
        return Fail(ERROR_SHARING_VIOLATION);
    struct stat dst;
    bool targetExists = lstat(to.c_str(), &dst) == 0;
    if (targetExists && !(src.st_dev == dst.st_dev && src.st_ino == dst.st_ino)) {
        if (!(dwFlags & MOVEFILE_REPLACE_EXISTING))
            return Fail(ERROR_ALREADY_EXISTS);
        if (S_ISDIR(dst.st_mode))
            return Fail(ERROR_ACCESS_DENIED);
        if (!MayDelete(to))
            return Fail(ERROR_ACCESS_DENIED);
    }
    bool sync = (dwFlags & MOVEFILE_WRITE_THROUGH) != 0;
    if (::rename(from.c_str(), to.c_str()) == 0) {
        if (sync)
            SyncDirectoryOf(to);
        return TRUE;
    }
    int e = errno;
    if (e != EXDEV)
        return Fail(e == ENOENT || e == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(e));
    if (!(dwFlags & MOVEFILE_COPY_ALLOWED) || S_ISDIR(src.st_mode))
        return Fail(ERROR_NOT_SAME_DEVICE);
    DWORD error = CopyContents(from, to, false, sync);
    if (error != ERROR_SUCCESS)
        return Fail(error);
    if (sync)
        SyncDirectoryOf(to);
    if (::unlink(from.c_str()) != 0)
        return Fail(ErrorFromErrno(errno));
    return TRUE;
}

BOOL MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName)
{
    return MoveFileExW(lpExistingFileName, lpNewFileName, MOVEFILE_COPY_ALLOWED);
}

BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists)
{
    if (!lpExistingFileName || !lpNewFileName)
        return Fail(ERROR_INVALID_PARAMETER);
    if (DWORD injected; platform::faults::detail::ShouldFail(platform::faults::Point::FileCopy, &injected))
        return Fail(injected);
    std::string from = NativePath(lpExistingFileName);
    std::string to = NativePath(lpNewFileName);
    struct stat src;
    if (stat(from.c_str(), &src) != 0)
        return Fail(MissingError(from, errno));
    if (S_ISDIR(src.st_mode))
        return Fail(ERROR_ACCESS_DENIED);
    struct stat dst;
    if (stat(to.c_str(), &dst) == 0) {
        if (bFailIfExists)
            return Fail(ERROR_FILE_EXISTS);
        if (src.st_dev == dst.st_dev && src.st_ino == dst.st_ino)
            return Fail(ERROR_SHARING_VIOLATION);
        if (S_ISDIR(dst.st_mode))
            return Fail(ERROR_ACCESS_DENIED);
    }
    {
        std::lock_guard guard(Shares().lock);
        if (!SharingAllows(FileId{src.st_dev, src.st_ino}, Access{true, false, false},
                           FILE_SHARE_READ | FILE_SHARE_WRITE)) // how CopyFileW opens the source
            return Fail(ERROR_SHARING_VIOLATION);
    }
    if (stat(to.c_str(), &dst) == 0) {
        std::lock_guard guard(Shares().lock);
        if (!SharingAllows(FileId{dst.st_dev, dst.st_ino}, Access{false, true, false}, 0))
            return Fail(ERROR_SHARING_VIOLATION);
    }
    DWORD error = CopyContents(from, to, bFailIfExists != FALSE, false);
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

DWORD GetFileAttributesW(LPCWSTR lpFileName)
{
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    std::string path = NativePath(lpFileName);
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        SetLastError(MissingError(path, errno));
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(st.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    return (st.st_mode & 0222) ? FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY;
}

BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES)
{
    if (!lpPathName)
        return Fail(ERROR_INVALID_PARAMETER);
    std::string path = NativePath(lpPathName);
    if (::mkdir(path.c_str(), 0777) != 0) {
        int e = errno;
        return Fail(e == EEXIST ? ERROR_ALREADY_EXISTS : e == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(e));
    }
    return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR lpPathName)
{
    if (!lpPathName)
        return Fail(ERROR_INVALID_PARAMETER);
    std::string path = NativePath(lpPathName);
    if (::rmdir(path.c_str()) != 0) {
        int e = errno;
        return Fail(e == ENOTDIR ? ERROR_DIRECTORY : MissingError(path, e));
    }
    return TRUE;
}

DWORD GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer)
{
    const char* dir = std::getenv("TMPDIR");
    std::string path = dir && *dir ? dir : "/tmp";
    if (path.back() != '/')
        path.push_back('/');
    std::u16string wide;
    int n = MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    wide.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
    if (!lpBuffer || nBufferLength < wide.size() + 1)
        return static_cast<DWORD>(wide.size() + 1);
    wide.copy(lpBuffer, wide.size());
    lpBuffer[wide.size()] = 0;
    return static_cast<DWORD>(wide.size());
}

// ---- run-time library descriptors ----

int _wsopen_s(int* pfh, const WCHAR* filename, int oflag, int shflag, int pmode)
{
    if (!pfh || !filename)
        return EINVAL;
    *pfh = -1;
    int accessBits = oflag & (_O_WRONLY | _O_RDWR);
    DWORD desired = accessBits == _O_WRONLY ? GENERIC_WRITE
                    : accessBits == _O_RDWR ? GENERIC_READ | GENERIC_WRITE
                                            : GENERIC_READ;
    DWORD share;
    switch (shflag) {
    case _SH_DENYRW: share = 0; break;
    case _SH_DENYWR: share = FILE_SHARE_READ; break;
    case _SH_DENYRD: share = FILE_SHARE_WRITE; break;
    case _SH_DENYNO: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: return EINVAL;
    }
    DWORD disposition;
    if (oflag & _O_CREAT)
        disposition = (oflag & _O_EXCL) ? CREATE_NEW : (oflag & _O_TRUNC) ? CREATE_ALWAYS : OPEN_ALWAYS;
    else
        disposition = (oflag & _O_TRUNC) ? TRUNCATE_EXISTING : OPEN_EXISTING;
    DWORD attributes = ((oflag & _O_CREAT) && !(pmode & _S_IWRITE)) ? FILE_ATTRIBUTE_READONLY : 0;
    DWORD error = ERROR_SUCCESS;
    bool existed = false;
    auto file = OpenFile(filename, desired, share, disposition, attributes, &error, &existed);
    if (!file) {
        switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return ENOENT;
        case ERROR_FILE_EXISTS: return EEXIST;
        case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
        default: return EACCES;
        }
    }
    if (oflag & _O_APPEND)
        lseek(file->fd, 0, SEEK_END);
    std::lock_guard guard(g_descriptorLock);
    *pfh = file->fd;
    Descriptors()[file->fd] = std::move(file);
    return 0;
}

long long _filelengthi64(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0) {
        errno = EBADF;
        return -1;
    }
    return st.st_size;
}

int _close(int fd)
{
    std::shared_ptr<File> file;
    {
        std::lock_guard guard(g_descriptorLock);
        auto it = Descriptors().find(fd);
        if (it != Descriptors().end()) {
            file = std::move(it->second);
            Descriptors().erase(it);
        }
    }
    if (file)
        return 0; // the File closes the descriptor and drops its share record
    if (::close(fd) != 0) {
        errno = EBADF;
        return -1;
    }
    return 0;
}

int _read(int fd, void* buffer, unsigned int count)
{
    return static_cast<int>(::read(fd, buffer, count));
}

int _write(int fd, const void* buffer, unsigned int count)
{
    return static_cast<int>(::write(fd, buffer, count));
}
