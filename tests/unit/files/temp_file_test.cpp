#include "files/temp_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>

#include "com/guid.h"
#include "files/file_operations.h"
#include "tests/unit/parser/parse_harness.h"

namespace {

using parser_test::CTestDir;
using parser_test::Narrow;
using parser_test::ReadWholeFile;
using utils::CDetachedTempFile;
using utils::CTempFile;

bool Exists(const WideString& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

WideString Wide(const char* text)
{
    return WideString(text, text + std::strlen(text));
}

TEST(TempFile, NameIsTheDirectoryABackslashAndABracedGuid)
{
    CTestDir dir;
    CTempFile plain(dir.Wide());
    CTempFile withSlash(dir.Wide() + OLESTR("\\"));
    const std::regex form(R"(.*[^\\]\\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})");
    for (const CTempFile* file : {&plain, &withSlash}) {
        const std::string name = Narrow(file->GetName());
        EXPECT_TRUE(std::regex_match(name, form)) << name;
        EXPECT_EQ(file->GetName().substr(0, dir.Wide().size() + 1), dir.Wide() + OLESTR("\\"));
        EXPECT_EQ(file->GetName().size(), dir.Wide().size() + 1 + 38);
    }
    EXPECT_NE(plain.GetName(), withSlash.GetName());
    EXPECT_EQ(dir.FileCount(), 2u);
}

TEST(TempFile, CreationFailures)
{
    EXPECT_THROW(CTempFile{WideString()}, CTempFile::ETempFile);

    // A missing directory is not a name collision: one attempt only.
    CTestDir dir;
    int attempts = 0;
    const WideString missing = dir.Wide() + OLESTR("\\no-such-dir");
    EXPECT_THROW(CTempFile(missing,
                           [&] {
                               ++attempts;
                               return com::NewGuidString();
                           }),
                 CTempFile::ETempFile);
    EXPECT_EQ(attempts, 1);
}

TEST(TempFile, CollisionsAreRetriedWithFreshNamesUpToAHundred)
{
    CTestDir dir;
    const WideString taken = Wide("{taken}");
    {
        CTempFile first(dir.Wide(), [&] { return taken; });
        first.Detach().Release(); // leave it on disk
    }
    int attempts = 0;
    CTempFile retried(dir.Wide(), [&] { return ++attempts < 4 ? taken : com::NewGuidString(); });
    EXPECT_EQ(attempts, 4);

    attempts = 0;
    EXPECT_THROW(CTempFile(dir.Wide(),
                           [&] {
                               ++attempts;
                               return taken;
                           }),
                 CTempFile::ETempFile);
    EXPECT_EQ(attempts, CTempFile::kMaxAttempts);
    EXPECT_EQ(dir.FileCount(), 2u);
}

TEST(TempFile, WriteDetachAndOwnership)
{
    CTestDir dir;
    WideString kept;
    {
        CTempFile file(dir.Wide());
        file.Write("abc", 3);
        file.Write("", 0);
        EXPECT_THROW(file.Write(nullptr, 1), CTempFile::ETempFile);
        file.Write("de", 2); // a failed write changes nothing
        CDetachedTempFile detached = file.Detach();
        EXPECT_TRUE(file.GetName().empty());
        EXPECT_THROW(file.Detach(), CTempFile::ETempFile);
        EXPECT_THROW(file.Write("x", 1), CTempFile::ETempFile);
        EXPECT_EQ(ReadWholeFile(detached.GetName()), "abcde");
        kept = detached.Release();
        EXPECT_TRUE(detached.GetName().empty());
    }
    EXPECT_TRUE(Exists(kept)); // released: the caller owns it now

    WideString dropped;
    {
        CTempFile file(dir.Wide());
        CDetachedTempFile detached = file.Detach();
        dropped = detached.GetName();
        CDetachedTempFile moved = std::move(detached);
        EXPECT_TRUE(Exists(dropped));
    }
    EXPECT_FALSE(Exists(dropped)); // the detached owner deleted it

    {
        CTempFile file(dir.Wide());
        dropped = file.GetName();
        file.Write("partial", 7);
    }
    EXPECT_FALSE(Exists(dropped)); // never detached: deleted with the object
    EXPECT_EQ(dir.FileCount(), 1u);
}

// Another handle without delete sharing makes the deletion fail.
HANDLE HoldOpen(const WideString& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(TempFile, AFailedDeletionNeitherThrowsNorMasksTheErrorOnItsWay)
{
    CTestDir dir;
    WideString name;
    HANDLE holder = INVALID_HANDLE_VALUE;
    {
        CTempFile file(dir.Wide());
        name = file.GetName();
        holder = HoldOpen(name);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    } // the deletion fails here, silently
    EXPECT_TRUE(Exists(name));
    CloseHandle(holder);
    EXPECT_TRUE(DeleteFileW(name.c_str()));

    struct EFirst {};
    try {
        CTempFile file(dir.Wide());
        name = file.GetName();
        holder = HoldOpen(name);
        throw EFirst();
    } catch (const EFirst&) {
        SUCCEED();
    }
    CloseHandle(holder);
    DeleteFileW(name.c_str());
}

} // namespace
