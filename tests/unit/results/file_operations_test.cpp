#include "results/file_operations.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "results/temp_file.h"
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

TEST(FileOperations, GuidStringsAreFreshAndInRegistryForm)
{
    std::set<WideString> seen;
    for (int i = 0; i < 100; ++i) {
        const WideString guid = utils::CreateGuidString();
        ASSERT_EQ(guid.size(), 38u);
        EXPECT_EQ(guid.front(), OLECHAR('{'));
        EXPECT_EQ(guid.back(), OLECHAR('}'));
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 100u);
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

} // namespace
