#include "files/file_operations.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "files/temp_file.h"
#include "tests/unit/parser/parse_harness.h"

namespace {

using parser_test::CTestDir;
using parser_test::ReadWholeFile;

WideString MakeFile(const CTestDir& dir, const char* name, const std::string& content)
{
    WideString path = dir.Wide() + OLESTR("\\");
    for (const char* p = name; *p; ++p)
        path.push_back(static_cast<OLECHAR>(*p));
    utils::CTempFile file(dir.Wide(), [&] { return path.substr(dir.Wide().size() + 1); });
    file.Write(content.data(), static_cast<std::uint32_t>(content.size()));
    return file.Detach().Release();
}

template <typename F>
std::string FailureText(F&& f)
{
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no failure";
}

TEST(FileOperations, FileLength)
{
    CTestDir dir;
    EXPECT_EQ(utils::GetFileLength(MakeFile(dir, "empty", "")), 0);
    EXPECT_EQ(utils::GetFileLength(MakeFile(dir, "five", "12345")), 5);
    EXPECT_EQ(FailureText([&] { utils::GetFileLength(dir.Wide() + OLESTR("\\missing")); }), "Can't get a file length");
    // A file still open for writing is not measured.
    utils::CTempFile open(dir.Wide());
    EXPECT_EQ(FailureText([&] { utils::GetFileLength(open.GetName()); }), "Can't get a file length");
}

TEST(FileOperations, CopyMoveAndRemove)
{
    CTestDir dir;
    const WideString a = MakeFile(dir, "a", "first");
    const WideString b = MakeFile(dir, "b", "second");
    const WideString c = dir.Wide() + OLESTR("\\c");

    EXPECT_EQ(FailureText([&] { utils::CopyFileTo(a, b, false); }), "Can't copy file");
    EXPECT_EQ(ReadWholeFile(b), "second");
    utils::CopyFileTo(a, b, true);
    EXPECT_EQ(ReadWholeFile(b), "first");
    utils::CopyFileTo(a, c, false);
    EXPECT_EQ(ReadWholeFile(c), "first");

    const WideString d = MakeFile(dir, "d", "moved");
    EXPECT_EQ(FailureText([&] { utils::MoveFileTo(d, c, false); }), "Can't move file");
    utils::MoveFileTo(d, c, true);
    EXPECT_EQ(ReadWholeFile(c), "moved");
    EXPECT_EQ(GetFileAttributesW(d.c_str()), INVALID_FILE_ATTRIBUTES);

    utils::RemoveFile(c);
    EXPECT_EQ(FailureText([&] { utils::RemoveFile(c); }), "Can't delete file");
    EXPECT_EQ(dir.FileCount(), 2u);
}

// A destination that Windows would open as a device takes nothing: Windows' CopyFileW reports
// success while the bytes go nowhere, and a move that falls back to a copy would then delete its
// source. Both are refused before the call, and the source stays where it was.
TEST(FileOperations, DeviceDestinationsAreRefusedAndTheSourceStays)
{
    CTestDir dir;
    const WideString source = MakeFile(dir, "source", "precious");
    std::vector<WideString> devices = {dir.Wide() + OLESTR("\\nul.txt"),
                                       dir.Wide() + OLESTR("\\CON"),
                                       dir.Wide() + OLESTR("\\Com1.log"),
                                       dir.Wide() + OLESTR("\\lpt\u00b9.txt"),
                                       dir.Wide() + OLESTR("\\conout$. "),
                                       OLESTR("NUL"),
                                       OLESTR("C:aux.txt"),
                                       OLESTR("\\\\.\\pipe\\kestrune-test"),
                                       OLESTR("\\\\?\\GLOBALROOT\\Device\\Null"),
                                       OLESTR("//./PhysicalDrive0")};
#ifndef _WIN32
    devices.push_back(OLESTR("/dev/null")); // an existing character device under an ordinary name
#endif
    for (const WideString& to : devices) {
        SCOPED_TRACE(std::string(to.begin(), to.end()));
        EXPECT_EQ(FailureText([&] { utils::CopyFileTo(source, to, true); }), "Can't copy file");
        EXPECT_EQ(FailureText([&] { utils::MoveFileTo(source, to, true); }), "Can't move file");
        EXPECT_EQ(ReadWholeFile(source), "precious");
    }
    EXPECT_EQ(dir.FileCount(), 1u);

    // Names that only look like devices, and drive or share paths in the device namespace, are files.
    for (const OLECHAR* name : {OLESTR("\\_nul.txt"), OLESTR("\\nul_.txt"), OLESTR("\\com10.txt"), OLESTR("\\x.nul")}) {
        utils::CopyFileTo(source, dir.Wide() + name, false);
        EXPECT_EQ(ReadWholeFile(dir.Wide() + name), "precious");
    }
}

} // namespace
