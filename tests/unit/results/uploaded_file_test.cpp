#include "com/bstr.h"
#include "com/com_object.h"
#include "results/uploaded_file.h"
#include "tests/unit/test_temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

using testing_support::TestTempDir;
using testing_support::ToPath;
using FilePtr = com::ComPtr<com::ComObject<CUploadedFile>>;

com::Bstr Owned(const WideString& text)
{
    return com::Bstr(text);
}

FilePtr MakeFile(const WideString& clientPath, const WideString& tempPath)
{
    FilePtr file;
    EXPECT_EQ(com::CreateComObject(file), S_OK);
    file->Init(Owned(clientPath), Owned(OLESTR("image/png")), Owned(OLESTR("upload")), Owned(tempPath));
    return file;
}

WideString TempFileName(CUploadedFile& file)
{
    com::Bstr name;
    EXPECT_EQ(file.get_TempFileName(name.Receive()), S_OK);
    return WideString(name.Get() ? name.Get() : OLESTR(""), name.Length());
}

TEST(UploadedFile, DescribesThePartAndTakesNeitherNameNorTypeForAnImage)
{
    TestTempDir dir;
    auto file = MakeFile(OLESTR("C:\\Users\\guest\\My Files\\photo.jpeg"), dir.Write("tmp", "12345"));
    LONG n = -1;
    ASSERT_EQ(file->get_ContentLength(&n), S_OK);
    EXPECT_EQ(n, 5);
    ASSERT_EQ(file->get_ImageWidth(&n), S_OK);
    EXPECT_EQ(n, 0);
    ASSERT_EQ(file->get_ImageHeight(&n), S_OK);
    EXPECT_EQ(n, 0);
    VARIANT_BOOL image = VARIANT_TRUE;
    ASSERT_EQ(file->get_IsImage(&image), S_OK);
    EXPECT_EQ(image, VARIANT_FALSE);

    com::Bstr s;
    ASSERT_EQ(file->get_Extension(s.Receive()), S_OK);
    EXPECT_EQ(s.ToWide(), OLESTR("jpeg"));
    ASSERT_EQ(file->get_SafeFileName(s.Receive()), S_OK);
    EXPECT_EQ(s.ToWide(), OLESTR("photo.jpeg"));
    ASSERT_EQ(file->get_ClientFilePath(s.Receive()), S_OK);
    EXPECT_EQ(s.ToWide(), OLESTR("C:\\Users\\guest\\My Files\\photo.jpeg"));
    ASSERT_EQ(file->get_FieldName(s.Receive()), S_OK);
    EXPECT_EQ(s.ToWide(), OLESTR("upload"));
    ASSERT_EQ(file->get_ContentType(s.Receive()), S_OK);
    EXPECT_EQ(s.ToWide(), OLESTR("image/png"));
    EXPECT_EQ(TempFileName(*file.Get()), dir.Wide("tmp"));
}

std::string Fixture(const std::string& name)
{
    std::ifstream in(std::filesystem::path(KESTRUNE_TEST_DATA_DIR) / "images" / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct TSeen {
    VARIANT_BOOL isImage = 1;
    LONG width = -1;
    LONG height = -1;
    bool operator==(const TSeen&) const = default;
};

TSeen ImageFactsOf(CUploadedFile& file)
{
    TSeen seen;
    EXPECT_EQ(file.get_IsImage(&seen.isImage), S_OK);
    EXPECT_EQ(file.get_ImageWidth(&seen.width), S_OK);
    EXPECT_EQ(file.get_ImageHeight(&seen.height), S_OK);
    return seen;
}

TEST(UploadedFile, ImageFactsComeFromTheBytesAndStayAfterSaveAs)
{
    TestTempDir dir;
    const struct {
        const char* clientPath;
        const char* fixture;
        TSeen expected;
    } cases[] = {
        {"notes.txt", "png_rgba_3x2.png", {VARIANT_TRUE, 3, 2}},
        {"photo.jpg", "script.jpg", {VARIANT_FALSE, 0, 0}},
        {"scan", "bmp_top_down_4x3.bmp", {VARIANT_TRUE, 4, 3}},
        {"anim.gif", "webp_extended_400x300.webp", {VARIANT_TRUE, 400, 300}},
        {"photo.jpg", "jpeg_cut_in_app1.jpg", {VARIANT_FALSE, 0, 0}},
        {"empty.png", "empty.bin", {VARIANT_FALSE, 0, 0}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture);
        const std::string temp = "tmp" + std::to_string(n++);
        auto file = MakeFile(testing_support::ToWide(c.clientPath), dir.Write(temp, Fixture(c.fixture)));
        EXPECT_EQ(ImageFactsOf(*file.Get()), c.expected);
        // Read once: the facts follow the object, not the file it now names.
        ASSERT_EQ(file->SaveAs(com::Bstr(dir.Wide("saved")).Get(), VARIANT_TRUE), S_OK);
        std::ofstream(dir.Path() / "saved", std::ios::binary | std::ios::trunc) << "changed";
        EXPECT_EQ(ImageFactsOf(*file.Get()), c.expected);
    }
}

TEST(UploadedFile, ExtensionAndSafeNameOfAPathWithoutOneAreEmptyStringsNotNull)
{
    TestTempDir dir;
    auto file = MakeFile(OLESTR("C:\\dir.old\\"), dir.Write("tmp", ""));
    com::Bstr s;
    ASSERT_EQ(file->get_Extension(s.Receive()), S_OK);
    EXPECT_NE(s.Get(), nullptr);
    EXPECT_EQ(s.Length(), 0u);
    ASSERT_EQ(file->get_SafeFileName(s.Receive()), S_OK);
    EXPECT_NE(s.Get(), nullptr);
    EXPECT_EQ(s.Length(), 0u);
    LONG n = -1;
    ASSERT_EQ(file->get_ContentLength(&n), S_OK);
    EXPECT_EQ(n, 0);
    ASSERT_EQ(file->GetSafeName(com::Bstr(OLESTR("../../etc/passwd")).Get(), s.Receive()), S_OK);
    EXPECT_EQ(s.ToWide(), OLESTR("passwd"));
    ASSERT_EQ(file->GetSafeName(nullptr, s.Receive()), S_OK);
    EXPECT_EQ(s.Length(), 0u);
}

// A page that checks Extension and stores the file under SafeFileName stores what it checked.
TEST(UploadedFile, ExtensionIsTheExtensionOfTheNameSafeFileNameStores)
{
    struct Case {
        WideString clientPath;
        WideString extension;
        WideString safeName;
    };
    const WideString longStem(251, OLECHAR('x'));
    const Case cases[] = {
        {longStem + OLESTR(".asp.jpg"), OLESTR("jpg"), longStem + OLESTR(".jpg")},
        {OLESTR("C:\\up\\shell.asp "), OLESTR("asp"), OLESTR("shell.asp")},
        {OLESTR("shell.asp."), OLESTR("asp"), OLESTR("shell.asp")},
        {OLESTR("shell.as|p"), OLESTR("asp"), OLESTR("shell.asp")},
        {OLESTR("photo.jpeg"), OLESTR("jpeg"), OLESTR("photo.jpeg")},
    };
    TestTempDir dir;
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        const std::string temp = "tmp" + std::to_string(n++);
        auto file = MakeFile(c.clientPath, dir.Write(temp, "content"));
        com::Bstr extension, safe;
        ASSERT_EQ(file->get_Extension(extension.Receive()), S_OK);
        ASSERT_EQ(file->get_SafeFileName(safe.Receive()), S_OK);
        EXPECT_EQ(extension.ToWide(), c.extension);
        EXPECT_EQ(safe.ToWide(), c.safeName);
        com::Bstr viaMethod;
        ASSERT_EQ(file->GetSafeName(com::Bstr(c.clientPath).Get(), viaMethod.Receive()), S_OK);
        EXPECT_EQ(viaMethod.ToWide(), c.safeName);

        const WideString target = dir.Wide() + OLESTR("\\") + safe.ToWide();
        ASSERT_EQ(file->SaveAs(com::Bstr(target).Get(), VARIANT_FALSE), S_OK);
        EXPECT_EQ(testing_support::ReadWithPlatform(target), "content");
        ASSERT_EQ(::DeleteFileW(target.c_str()), TRUE);
    }
    EXPECT_TRUE(dir.Files().empty());
}

TEST(UploadedFile, NullOutPointersAreInvalidArguments)
{
    TestTempDir dir;
    auto file = MakeFile(OLESTR("a.txt"), dir.Write("tmp", "x"));
    EXPECT_EQ(file->get_ClientFilePath(nullptr), E_INVALIDARG);
    EXPECT_EQ(file->get_ContentLength(nullptr), E_INVALIDARG);
    EXPECT_EQ(file->get_ContentType(nullptr), E_INVALIDARG);
    EXPECT_EQ(file->get_Extension(nullptr), E_INVALIDARG);
    EXPECT_EQ(file->get_FieldName(nullptr), E_INVALIDARG);
    EXPECT_EQ(file->get_ImageHeight(nullptr), E_INVALIDARG);
    EXPECT_EQ(file->get_ImageWidth(nullptr), E_INVALIDARG);
    EXPECT_EQ(file->get_IsImage(nullptr), E_INVALIDARG);
    EXPECT_EQ(file->get_SafeFileName(nullptr), E_INVALIDARG);
    EXPECT_EQ(file->get_TempFileName(nullptr), E_INVALIDARG);
    EXPECT_EQ(file->GetSafeName(nullptr, nullptr), E_INVALIDARG);
}

TEST(UploadedFile, DeletesAnUnsavedFileWhenReleased)
{
    TestTempDir dir;
    auto file = MakeFile(OLESTR("a.txt"), dir.Write("tmp", "data"));
    ASSERT_EQ(dir.Files().size(), 1u);
    file.Reset();
    EXPECT_TRUE(dir.Files().empty());
}

TEST(UploadedFile, SaveAsMovesTheFileAndFollowsIt)
{
    TestTempDir dir;
    auto file = MakeFile(OLESTR("a.txt"), dir.Write("tmp", "data"));
    const WideString target = dir.Wide("kept.txt");
    ASSERT_EQ(file->SaveAs(com::Bstr(target).Get(), VARIANT_FALSE), S_OK);
    EXPECT_EQ(TempFileName(*file.Get()), target);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "tmp"));

    // A second SaveAs moves the saved file on; CopyTo copies from where it is now.
    const WideString moved = dir.Wide("moved.txt");
    ASSERT_EQ(file->SaveAs(com::Bstr(moved).Get(), VARIANT_FALSE), S_OK);
    ASSERT_EQ(file->CopyTo(com::Bstr(dir.Wide("copy.txt")).Get(), VARIANT_FALSE), S_OK);
    LONG n = -1;
    ASSERT_EQ(file->get_ContentLength(&n), S_OK);
    EXPECT_EQ(n, 4);

    // The saved file is the script's now: releasing the object leaves it.
    file.Reset();
    EXPECT_EQ(TestTempDir::Read(dir.Path() / "moved.txt"), "data");
    EXPECT_EQ(TestTempDir::Read(dir.Path() / "copy.txt"), "data");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "kept.txt"));
}

TEST(UploadedFile, SaveAsOntoAnExistingFileNeedsOverwrite)
{
    TestTempDir dir;
    const WideString temp = dir.Write("tmp", "new");
    const WideString target = dir.Write("target.txt", "old");
    auto file = MakeFile(OLESTR("a.txt"), temp);

    EXPECT_EQ(file->SaveAs(com::Bstr(target).Get(), VARIANT_FALSE), E_FAIL);
    EXPECT_EQ(TempFileName(*file.Get()), temp);
    EXPECT_EQ(TestTempDir::Read(dir.Path() / "target.txt"), "old");

    // Any non-zero VARIANT_BOOL counts as true.
    ASSERT_EQ(file->SaveAs(com::Bstr(target).Get(), static_cast<VARIANT_BOOL>(1)), S_OK);
    EXPECT_EQ(TestTempDir::Read(dir.Path() / "target.txt"), "new");
    file.Reset();
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"target.txt"});
}

TEST(UploadedFile, FailedSaveAsKeepsOwnershipSoTheFileStillGoes)
{
    TestTempDir dir;
    auto file = MakeFile(OLESTR("a.txt"), dir.Write("tmp", "x"));
    EXPECT_EQ(file->SaveAs(com::Bstr(dir.Wide("missing-dir/x.txt")).Get(), VARIANT_FALSE), E_FAIL);
    EXPECT_EQ(file->SaveAs(nullptr, VARIANT_FALSE), E_FAIL);
    file.Reset();
    EXPECT_TRUE(dir.Files().empty());
}

TEST(UploadedFile, SaveAsOrCopyToADeviceFailsAndTheObjectKeepsItsFile)
{
    TestTempDir dir;
    const WideString temp = dir.Write("tmp", "data");
    auto file = MakeFile(OLESTR("nul.txt"), temp);
    com::Bstr safe;
    ASSERT_EQ(file->get_SafeFileName(safe.Receive()), S_OK);
    EXPECT_EQ(safe.ToWide(), OLESTR("_nul.txt"));
    for (const OLECHAR* device : {OLESTR("nul.txt"), OLESTR("CON.jpg"), OLESTR("com1.png")}) {
        const com::Bstr target(dir.Wide() + OLESTR("/") + device);
        EXPECT_EQ(file->SaveAs(target.Get(), VARIANT_TRUE), E_FAIL);
        EXPECT_EQ(file->CopyTo(target.Get(), VARIANT_TRUE), E_FAIL);
        EXPECT_EQ(TempFileName(*file.Get()), temp);
    }
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"tmp"});
    ASSERT_EQ(file->SaveAs(com::Bstr(dir.Wide() + OLESTR("/") + safe.ToWide()).Get(), VARIANT_FALSE), S_OK);
    EXPECT_EQ(TestTempDir::Read(dir.Path() / "_nul.txt"), "data");
}

TEST(UploadedFile, CopyToLeavesTheObjectOwningItsFile)
{
    TestTempDir dir;
    const WideString temp = dir.Write("tmp", "abc");
    auto file = MakeFile(OLESTR("a.txt"), temp);
    const WideString copy = dir.Wide("copy.txt");
    ASSERT_EQ(file->CopyTo(com::Bstr(copy).Get(), VARIANT_FALSE), S_OK);
    EXPECT_EQ(file->CopyTo(com::Bstr(copy).Get(), VARIANT_FALSE), E_FAIL);
    EXPECT_EQ(file->CopyTo(com::Bstr(copy).Get(), VARIANT_TRUE), S_OK);
    EXPECT_EQ(TempFileName(*file.Get()), temp);
    file.Reset();
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"copy.txt"});
}

TEST(UploadedFile, FailedInitLetsGoOfTheFile)
{
    TestTempDir dir;
    FilePtr file;
    ASSERT_EQ(com::CreateComObject(file), S_OK);
    // The file cannot be measured: Init fails and the object must not claim it.
    EXPECT_ANY_THROW(file->Init(Owned(OLESTR("a")), {}, Owned(OLESTR("f")), Owned(dir.Wide("absent"))));
    com::Bstr name;
    ASSERT_EQ(file->get_TempFileName(name.Receive()), S_OK);
    EXPECT_EQ(name.Get(), nullptr);
    const WideString other = dir.Write("absent", "created later");
    file.Reset();
    EXPECT_EQ(dir.Files(), std::vector<std::string>{"absent"});
}

} // namespace
