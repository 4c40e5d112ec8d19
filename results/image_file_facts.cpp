#include "results/image_file_facts.h"

#include <algorithm>

namespace utils {

namespace {

// An open file as an image byte source; the handle is closed when the object goes.
class CFileImageBytes final : public IImageByteSource {
public:
    explicit CFileImageBytes(const WideString& path) noexcept
        : file_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr))
    {}
    ~CFileImageBytes()
    {
        if (IsOpen())
            ::CloseHandle(file_);
    }
    CFileImageBytes(const CFileImageBytes&) = delete;
    CFileImageBytes& operator=(const CFileImageBytes&) = delete;

    bool IsOpen() const noexcept { return file_ != INVALID_HANDLE_VALUE; }

    std::size_t ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t size) noexcept override
    {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(offset);
        if (!IsOpen() || offset > 0x7FFFFFFFFFFFFFFFull || !::SetFilePointerEx(file_, to, nullptr, FILE_BEGIN))
            return 0;
        std::size_t done = 0;
        while (done < size) {
            DWORD got = 0;
            const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(size - done, 0x10000));
            if (!::ReadFile(file_, buffer + done, ask, &got, nullptr))
                return 0; // a failed read spoils what came before it
            if (got == 0)
                break; // the end of the file
            done += got;
        }
        return done;
    }

private:
    HANDLE file_;
};

} // namespace

TImageFacts ReadImageFactsOfFile(const WideString& path) noexcept
{
    CFileImageBytes file(path);
    if (!file.IsOpen())
        return {};
    return ReadImageFacts(file);
}

} // namespace utils
