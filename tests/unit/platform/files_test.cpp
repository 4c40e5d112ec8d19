// Files: creation dispositions, share modes and the error codes of the path operations. Every
// test works in its own fresh directory and checks that it leaves nothing behind.
#include "platform/win.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Files : public testing::Test {
protected:
    void SetUp() override
    {
        OLECHAR temp[MAX_PATH + 1];
        DWORD n = GetTempPathW(MAX_PATH + 1, temp);
        ASSERT_GT(n, 0u);
        GUID g;
        ASSERT_EQ(CoCreateGuid(&g), S_OK);
        OLECHAR name[40];
        ASSERT_EQ(StringFromGUID2(g, name, 40), 39);
        dir_ = WideString(temp, n) + OLESTR("kestrune-platform-") + WideString(name + 1, 36);
        ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
    }

    void TearDown() override
    {
        // Nothing may be left in the directory: removing it fails otherwise.
        EXPECT_TRUE(RemoveDirectoryW(dir_.c_str())) << "files left behind, error " << GetLastError();
    }

    /// A path in the test directory, written with backslashes.
    WideString Path(const WideString& name) const { return dir_ + OLESTR("\\") + name; }

    static HANDLE Create(const WideString& path, DWORD access, DWORD share, DWORD disposition)
    {
        return CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    static void Write(HANDLE h, const std::string& bytes)
    {
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        ASSERT_EQ(written, bytes.size());
    }

    static std::string Read(const WideString& path)
    {
        HANDLE h = Create(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        if (h == INVALID_HANDLE_VALUE)
            return "<missing>";
        std::string all;
        char buffer[256];
        DWORD n = 0;
        while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n)
            all.append(buffer, n);
        CloseHandle(h);
        return all;
    }

    WideString dir_;
};

#define EXPECT_LAST_ERROR(code) EXPECT_EQ(GetLastError(), static_cast<DWORD>(code))

} // namespace

TEST_F(Files, CreateNewCollidesWithAnExistingName)
{
    WideString name = Path(OLESTR("upload.tmp"));
    HANDLE first = Create(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    Write(first, "part one");

    SetLastError(0);
    EXPECT_EQ(Create(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_FILE_EXISTS);
    EXPECT_TRUE(CloseHandle(first));
    SetLastError(0);
    EXPECT_EQ(Create(name, GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_FILE_EXISTS);
    EXPECT_EQ(Read(name), "part one"); // the collision did not touch the file

    SetLastError(0);
    EXPECT_EQ(Create(Path(OLESTR("missing\\x.tmp")), GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_PATH_NOT_FOUND);
    SetLastError(0);
    EXPECT_EQ(Create(Path(OLESTR("absent.tmp")), GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(DeleteFileW(name.c_str()));
    SetLastError(0);
    EXPECT_FALSE(DeleteFileW(name.c_str()));
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
}

TEST_F(Files, ReadSharingKeepsWritersAndDeletersOut)
{
    WideString name = Path(OLESTR("shared.tmp"));
    HANDLE owner = Create(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW);
    ASSERT_NE(owner, INVALID_HANDLE_VALUE);
    Write(owner, "abc");

    SetLastError(0);
    EXPECT_EQ(Create(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
    SetLastError(0);
    EXPECT_FALSE(DeleteFileW(name.c_str()));
    EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
    // A reader must let the owner keep writing.
    SetLastError(0);
    EXPECT_EQ(Create(name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
    HANDLE reader = Create(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);

    // The run-time library's deny-write open coexists with it but not with a writer afterwards.
    int fd = -1;
    EXPECT_EQ(_wsopen_s(&fd, name.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYWR, _S_IREAD), EACCES);
    EXPECT_TRUE(CloseHandle(owner));
    ASSERT_EQ(_wsopen_s(&fd, name.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYWR, _S_IREAD), 0);
    EXPECT_EQ(_filelengthi64(fd), 3);
    SetLastError(0);
    EXPECT_EQ(Create(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_SHARING_VIOLATION);
    EXPECT_EQ(_close(fd), 0);
    EXPECT_TRUE(DeleteFileW(name.c_str()));
}

TEST_F(Files, MoveAndCopyRespectExistingTargets)
{
    WideString source = Path(OLESTR("source.tmp"));
    WideString target = Path(OLESTR("target.bin"));
    WideString copy = Path(OLESTR("copy.bin"));
    HANDLE h = Create(source, GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    Write(h, "new content");
    CloseHandle(h);
    h = Create(target, GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    Write(h, "old");
    CloseHandle(h);

    const DWORD move = MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH;
    SetLastError(0);
    EXPECT_FALSE(MoveFileExW(source.c_str(), target.c_str(), move));
    EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
    EXPECT_EQ(Read(target), "old");

    EXPECT_TRUE(CopyFileW(source.c_str(), copy.c_str(), TRUE));
    SetLastError(0);
    EXPECT_FALSE(CopyFileW(target.c_str(), copy.c_str(), TRUE));
    EXPECT_LAST_ERROR(ERROR_FILE_EXISTS);
    EXPECT_EQ(Read(copy), "new content");
    EXPECT_TRUE(CopyFileW(target.c_str(), copy.c_str(), FALSE));
    EXPECT_EQ(Read(copy), "old");

    EXPECT_TRUE(MoveFileExW(source.c_str(), target.c_str(), move | MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(Read(target), "new content");
    EXPECT_EQ(GetFileAttributesW(source.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
    SetLastError(0);
    EXPECT_FALSE(MoveFileExW(source.c_str(), copy.c_str(), move | MOVEFILE_REPLACE_EXISTING));
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);
    SetLastError(0);
    EXPECT_FALSE(CopyFileW(source.c_str(), copy.c_str(), FALSE));
    EXPECT_LAST_ERROR(ERROR_FILE_NOT_FOUND);

    EXPECT_TRUE(DeleteFileW(target.c_str()));
    EXPECT_TRUE(DeleteFileW(copy.c_str()));
}

TEST_F(Files, DirectoriesAndAttributes)
{
    WideString sub = Path(OLESTR("sub"));
    EXPECT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    SetLastError(0);
    EXPECT_FALSE(CreateDirectoryW(sub.c_str(), nullptr));
    EXPECT_LAST_ERROR(ERROR_ALREADY_EXISTS);
    EXPECT_NE(GetFileAttributesW(sub.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    SetLastError(0);
    EXPECT_EQ(Create(sub, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_LAST_ERROR(ERROR_FILE_EXISTS);
    WideString inner = sub + OLESTR("\\f.txt");
    HANDLE h = Create(inner, GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    SetLastError(0);
    EXPECT_FALSE(RemoveDirectoryW(sub.c_str()));
    EXPECT_LAST_ERROR(ERROR_DIR_NOT_EMPTY);
    EXPECT_TRUE(DeleteFileW(inner.c_str()));
    EXPECT_TRUE(RemoveDirectoryW(sub.c_str()));
}

TEST_F(Files, FileTypeTellsDisksFromDevices)
{
    const WideString name = Path(OLESTR("plain.txt"));
    HANDLE file = Create(name, GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileType(file), static_cast<DWORD>(FILE_TYPE_DISK));
    CloseHandle(file);
    EXPECT_TRUE(DeleteFileW(name.c_str()));

#ifdef _WIN32
    const WideString device = OLESTR("NUL");
#else
    const WideString device = OLESTR("/dev/null");
#endif
    HANDLE null = Create(device, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    ASSERT_NE(null, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileType(null), static_cast<DWORD>(FILE_TYPE_CHAR));
    CloseHandle(null);
}
