#include "com/bstr.h"
#include "com/com_object.h"
#include "com/variant.h"
#include "results/text_field_collection.h"
#include "results/uploaded_file_collection.h"
#include "tests/unit/test_temp_dir.h"
#include "tests/unit/upload/recording_updater.h"
#include "upload/com_field_receiver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using testing_support::RecordingUpdater;
using testing_support::TestTempDir;

class FakeText final : public parser::CTextFieldData {
public:
    FakeText(WideString name, WideString value) : name_(std::move(name)), value_(std::move(value)) {}
    WideString GetName() const override { return name_; }
    WideString GetContentType() const override { return OLESTR("text/plain"); }
    WideString GetContentTransferEncoding() const override { return {}; }
    std::string_view GetData() const override { return {data_.data(), data_.size()}; }
    com::Bstr TakeValue() override { return com::Bstr(value_); }

private:
    WideString name_;
    WideString value_;
    std::vector<char> data_;
};

class FakeFile final : public parser::CFileFieldData {
public:
    FakeFile(WideString name, WideString clientPath, WideString tempPath)
        : name_(std::move(name)), clientPath_(std::move(clientPath)), tempPath_(std::move(tempPath))
    {}
    WideString GetName() const override { return name_; }
    WideString GetContentType() const override { return OLESTR("application/octet-stream"); }
    WideString GetContentTransferEncoding() const override { return {}; }
    WideString GetFileName() const override { return clientPath_; }
    utils::CDetachedTempFile DetachTempFile() override { return utils::CDetachedTempFile(tempPath_); }

private:
    WideString name_;
    WideString clientPath_;
    WideString tempPath_;
};

struct Collections {
    Collections()
    {
        EXPECT_EQ(com::CreateComObject(files), S_OK);
        EXPECT_EQ(com::CreateComObject(texts), S_OK);
    }
    LONG FileCount()
    {
        LONG n = -1;
        EXPECT_EQ(files->get_Count(&n), S_OK);
        return n;
    }
    LONG TextCount()
    {
        LONG n = -1;
        EXPECT_EQ(texts->get_Count(&n), S_OK);
        return n;
    }
    com::ComPtr<com::ComObject<CUploadedFileCollection>> files;
    com::ComPtr<com::ComObject<CTextFieldCollection>> texts;
};

WideString ValueOf(CTextFieldCollection& texts, const WideString& name)
{
    com::Variant key;
    key.Get()->vt = VT_BSTR;
    key.Get()->bstrVal = com::Bstr(name).Detach();
    com::Variant item;
    EXPECT_EQ(texts.Item(*key.Get(), item.Get()), S_OK);
    EXPECT_EQ(item.Type(), VT_DISPATCH);
    com::ComPtr<ITextField> field;
    EXPECT_EQ(com::QueryInterfaceTo(item.Get()->pdispVal, IID_ITextField, field), S_OK);
    com::Bstr value;
    EXPECT_EQ(field->get_Value(value.Receive()), S_OK);
    return WideString(value.Get() ? value.Get() : OLESTR(""), value.Length());
}

TEST(ComFieldReceiver, EveryTextFieldOfANameIsKeptAndValuesStopAtANul)
{
    Collections c;
    RecordingUpdater updater;
    CComFieldReceiver receiver(c.files.Get(), c.texts.Get(), &updater);
    FakeText first(OLESTR("choice"), WideString(OLESTR("one\0tail"), 8));
    FakeText second(OLESTR("choice"), OLESTR("two"));
    receiver.ReceiveTextField(first);
    receiver.ReceiveTextField(second);
    EXPECT_EQ(c.TextCount(), 2);
    EXPECT_EQ(ValueOf(*c.texts.Get(), OLESTR("choice")), OLESTR("one")); // the name finds the first
    EXPECT_EQ(updater.files, 0);
}

TEST(ComFieldReceiver, EveryFileOfANameKeepsItsTemporaryFileAndIsCountedOnce)
{
    TestTempDir dir;
    Collections c;
    RecordingUpdater updater;
    {
        CComFieldReceiver receiver(c.files.Get(), c.texts.Get(), &updater);
        FakeFile first(OLESTR("doc"), OLESTR("C:\\a.txt"), dir.Write("tmp1", "first"));
        FakeFile second(OLESTR("doc"), OLESTR("C:\\b.txt"), dir.Write("tmp2", "second"));
        receiver.ReceiveFileField(first);
        receiver.ReceiveFileField(second);
        // A text field of the same name goes to its own collection.
        FakeText text(OLESTR("doc"), OLESTR("note"));
        receiver.ReceiveTextField(text);
    }
    EXPECT_EQ(c.FileCount(), 2);
    EXPECT_EQ(c.TextCount(), 1);
    EXPECT_EQ(updater.files, 2);
    std::vector<std::string> left = dir.Files();
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"tmp1", "tmp2"}));
    c.files.Reset();
    EXPECT_TRUE(dir.Files().empty());
}

TEST(ComFieldReceiver, AFileThatCannotBeAdoptedIsNotAddedAndTheErrorPropagates)
{
    TestTempDir dir;
    Collections c;
    RecordingUpdater updater;
    CComFieldReceiver receiver(c.files.Get(), c.texts.Get(), &updater);
    // A file the UploadedFile cannot measure (it is gone) makes Init fail.
    FakeFile file(OLESTR("f"), OLESTR("x.bin"), dir.Wide("gone"));
    EXPECT_ANY_THROW(receiver.ReceiveFileField(file));
    EXPECT_EQ(c.FileCount(), 0);
    EXPECT_EQ(updater.files, 0);
}

TEST(ComFieldReceiver, WorksWithoutAStatisticsUpdater)
{
    TestTempDir dir;
    Collections c;
    CComFieldReceiver receiver(c.files.Get(), c.texts.Get(), nullptr);
    FakeFile file(OLESTR("f"), OLESTR("x.bin"), dir.Write("tmp", "x"));
    receiver.ReceiveFileField(file);
    EXPECT_EQ(c.FileCount(), 1);
}

} // namespace
