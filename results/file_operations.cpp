#include "results/file_operations.h"

#include <stdexcept>

namespace utils {

WideString CreateGuidString() {
    GUID guid{};
    if (FAILED(CoCreateGuid(&guid))) throw std::runtime_error("CreateGUID error");
    OLECHAR text[56] = {};
    if (StringFromGUID2(guid, text, 56) <= 0) throw std::runtime_error("CreateGUID error");
    return WideString(text);
}

std::int32_t GetFileLength(const WideString& path) {
    int fd = -1;
    try {
        // Read only, and no writer may have the file open: the length is final.
        if (_wsopen_s(&fd, path.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYWR, 0) != 0 || fd == -1) {
            throw std::runtime_error("Can't get a file length");
        }
        const long long length = _filelengthi64(fd);
        _close(fd);
        fd = -1;
        if (length < 0 || length > 0x7FFFFFFF) throw std::runtime_error("Can't get a file length");
        return static_cast<std::int32_t>(length);
    } catch (...) {
        if (fd != -1) _close(fd);
        throw std::runtime_error("Can't get a file length");
    }
}

void MoveFileTo(const WideString& from, const WideString& to, bool overwrite) {
    DWORD flags = MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH;
    if (overwrite) flags |= MOVEFILE_REPLACE_EXISTING;
    if (!MoveFileExW(from.c_str(), to.c_str(), flags)) throw std::runtime_error("Can't move file");
}

void CopyFileTo(const WideString& from, const WideString& to, bool overwrite) {
    if (!CopyFileW(from.c_str(), to.c_str(), overwrite ? FALSE : TRUE)) throw std::runtime_error("Can't copy file");
}

void RemoveFile(const WideString& path) {
    if (!DeleteFileW(path.c_str())) throw std::runtime_error("Can't delete file");
}

}  // namespace utils
