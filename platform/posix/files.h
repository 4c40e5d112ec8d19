// Files of the POSIX stand-in. Paths are UTF-16 and may use '\' as separator. Share modes are
// enforced between the handles of this process (CreateFileW, _wsopen_s, DeleteFileW, MoveFileExW).
#pragma once

#include "platform/posix/types.h"

#ifndef _WIN32

#define GENERIC_READ 0x80000000
#define GENERIC_WRITE 0x40000000
#define GENERIC_EXECUTE 0x20000000
#define GENERIC_ALL 0x10000000
#define DELETE 0x00010000
#define FILE_READ_DATA 0x0001
#define FILE_WRITE_DATA 0x0002
#define FILE_APPEND_DATA 0x0004
#define FILE_READ_ATTRIBUTES 0x0080

#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define FILE_FLAG_WRITE_THROUGH 0x80000000
#define FILE_FLAG_DELETE_ON_CLOSE 0x04000000
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000

#define MOVEFILE_REPLACE_EXISTING 0x00000001
#define MOVEFILE_COPY_ALLOWED 0x00000002
#define MOVEFILE_DELAY_UNTIL_REBOOT 0x00000004
#define MOVEFILE_WRITE_THROUGH 0x00000008

#define FILE_TYPE_UNKNOWN 0x0000
#define FILE_TYPE_DISK 0x0001
#define FILE_TYPE_CHAR 0x0002
#define FILE_TYPE_PIPE 0x0003

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)

typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;

EXTERN_C HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                            LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                            DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
EXTERN_C BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                        LPOVERLAPPED lpOverlapped);
EXTERN_C BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                       LPOVERLAPPED lpOverlapped);
EXTERN_C BOOL FlushFileBuffers(HANDLE hFile);
EXTERN_C BOOL GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize);
EXTERN_C DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh);
EXTERN_C BOOL SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer,
                               DWORD dwMoveMethod);
EXTERN_C DWORD GetFileType(HANDLE hFile);
EXTERN_C BOOL DeleteFileW(LPCWSTR lpFileName);
EXTERN_C BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags);
EXTERN_C BOOL MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName);
EXTERN_C BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists);
EXTERN_C DWORD GetFileAttributesW(LPCWSTR lpFileName);
EXTERN_C BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
EXTERN_C BOOL RemoveDirectoryW(LPCWSTR lpPathName);
/// The temporary directory ($TMPDIR or /tmp) with a trailing '/'; length without the NUL.
EXTERN_C DWORD GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer);

#define CreateFile CreateFileW
#define DeleteFile DeleteFileW
#define MoveFileEx MoveFileExW
#define MoveFile MoveFileW
#define CopyFile CopyFileW
#define GetFileAttributes GetFileAttributesW
#define CreateDirectory CreateDirectoryW
#define RemoveDirectory RemoveDirectoryW
#define GetTempPath GetTempPathW

// The C run-time's descriptor API with share flags (io.h, share.h, fcntl.h, sys/stat.h on Windows).
#define _O_RDONLY 0x0000
#define _O_WRONLY 0x0001
#define _O_RDWR 0x0002
#define _O_APPEND 0x0008
#define _O_CREAT 0x0100
#define _O_TRUNC 0x0200
#define _O_EXCL 0x0400
#define _O_TEXT 0x4000
#define _O_BINARY 0x8000
#define _O_NOINHERIT 0x0080
#define _O_SEQUENTIAL 0x0020
#define _SH_DENYRW 0x10
#define _SH_DENYWR 0x20
#define _SH_DENYRD 0x30
#define _SH_DENYNO 0x40
#define _S_IREAD 0x0100
#define _S_IWRITE 0x0080

/// Opens a file with a share mode; returns 0 or an errno value (EACCES for a sharing conflict).
EXTERN_C int _wsopen_s(int* pfh, const WCHAR* filename, int oflag, int shflag, int pmode);
EXTERN_C long long _filelengthi64(int fd);
EXTERN_C int _close(int fd);
EXTERN_C int _read(int fd, void* buffer, unsigned int count);
EXTERN_C int _write(int fd, const void* buffer, unsigned int count);

#endif // !_WIN32
