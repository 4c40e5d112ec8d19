#include "com/bstr.h"
#include "com/com_object.h"
#include "com/variant.h"
#include "results/text_field.h"
#include "results/text_field_collection.h"
#include "results/uploaded_file.h"
#include "results/uploaded_file_collection.h"
#include "tests/unit/test_temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Form = com::ComPtr<com::ComObject<CTextFieldCollection>>;

Form MakeForm()
{
    Form form;
    EXPECT_EQ(com::CreateComObject(form), S_OK);
    return form;
}

com::ComPtr<ITextField> MakeField(const WideString& name, const WideString& value = OLESTR("v"))
{
    com::ComPtr<com::ComObject<CTextField>> field;
    EXPECT_EQ(com::CreateComObject(field), S_OK);
    field->Init(com::Bstr(value), {}, com::Bstr(name));
    com::ComPtr<ITextField> itf;
    EXPECT_EQ(com::QueryInterfaceTo(field.Get(), IID_ITextField, itf), S_OK);
    return itf;
}

void AddAll(CTextFieldCollection& form, const std::vector<WideString>& names)
{
    for (const auto& name : names)
        form.Add(MakeField(name).Get());
}

WideString NameOf(IDispatch* item)
{
    com::ComPtr<ITextField> field;
    EXPECT_EQ(com::QueryInterfaceTo(item, IID_ITextField, field), S_OK);
    com::Bstr name;
    EXPECT_EQ(field->get_FieldName(name.Receive()), S_OK);
    return name.ToWide();
}

com::Variant Number(VARTYPE vt, long n)
{
    com::Variant v;
    v.Get()->vt = vt;
    if (vt == VT_I2)
        v.Get()->iVal = static_cast<SHORT>(n);
    else
        v.Get()->lVal = n;
    return v;
}

com::Variant Text(const WideString& s)
{
    com::Variant v;
    v.Get()->vt = VT_BSTR;
    v.Get()->bstrVal = com::Bstr(s).Detach();
    return v;
}

std::vector<WideString> ByNumber(CTextFieldCollection& form)
{
    LONG count = 0;
    EXPECT_EQ(form.get_Count(&count), S_OK);
    std::vector<WideString> names;
    for (LONG i = 1; i <= count; ++i) {
        com::Variant item;
        EXPECT_EQ(form.Item(*Number(VT_I4, i).Get(), item.Get()), S_OK);
        EXPECT_EQ(item.Type(), VT_DISPATCH);
        names.push_back(NameOf(item.Get()->pdispVal));
    }
    return names;
}

com::ComPtr<IEnumVARIANT> Enumerate(CTextFieldCollection& form)
{
    com::ComPtr<IUnknown> unknown;
    EXPECT_EQ(form.get__NewEnum(unknown.Receive()), S_OK);
    com::ComPtr<IEnumVARIANT> enumerator;
    EXPECT_EQ(com::QueryInterfaceTo(unknown.Get(), IID_IEnumVARIANT, enumerator), S_OK);
    return enumerator;
}

std::vector<WideString> Drain(IEnumVARIANT* enumerator)
{
    std::vector<WideString> names;
    for (;;) {
        com::Variant item;
        ULONG fetched = 99;
        const HRESULT hr = enumerator->Next(1, item.Get(), &fetched);
        if (hr != S_OK) {
            EXPECT_EQ(hr, S_FALSE);
            EXPECT_EQ(fetched, 0u);
            return names;
        }
        EXPECT_EQ(fetched, 1u);
        names.push_back(NameOf(item.Get()->pdispVal));
    }
}

std::vector<WideString> Names(std::initializer_list<const OLECHAR*> list)
{
    return std::vector<WideString>(list.begin(), list.end());
}

TEST(FieldCollection, EmptyCollectionAnswers)
{
    Form form = MakeForm();
    LONG count = -1;
    ASSERT_EQ(form->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0);
    com::Variant item;
    EXPECT_EQ(form->Item(*Number(VT_I4, 1).Get(), item.Get()), E_INVALIDARG);
    EXPECT_EQ(item.Type(), VT_EMPTY);
    ASSERT_EQ(form->Item(*Text(OLESTR("x")).Get(), item.Get()), S_OK);
    EXPECT_EQ(item.Type(), VT_NULL);
    EXPECT_TRUE(Drain(Enumerate(*form.Get()).Get()).empty());
}

TEST(FieldCollection, NumbersItemsInNameIndexOrder)
{
    Form three = MakeForm();
    AddAll(*three.Get(), Names({OLESTR("f3"), OLESTR("f1"), OLESTR("f2")}));
    EXPECT_EQ(ByNumber(*three.Get()), Names({OLESTR("f1"), OLESTR("f2"), OLESTR("f3")}));

    Form five = MakeForm();
    AddAll(*five.Get(), Names({OLESTR("f1"), OLESTR("f2"), OLESTR("f3"), OLESTR("f4"), OLESTR("f5")}));
    const auto expected = Names({OLESTR("f1"), OLESTR("f3"), OLESTR("f5"), OLESTR("f2"), OLESTR("f4")});
    EXPECT_EQ(ByNumber(*five.Get()), expected);
    EXPECT_EQ(Drain(Enumerate(*five.Get()).Get()), expected);

    Form nine = MakeForm();
    AddAll(*nine.Get(), Names({OLESTR("f9"), OLESTR("f8"), OLESTR("f7"), OLESTR("f6"), OLESTR("f5"), OLESTR("f4"),
                               OLESTR("f3"), OLESTR("f2"), OLESTR("f1")}));
    EXPECT_EQ(ByNumber(*nine.Get()), Names({OLESTR("f1"), OLESTR("f5"), OLESTR("f9"), OLESTR("f2"), OLESTR("f4"),
                                            OLESTR("f6"), OLESTR("f8"), OLESTR("f3"), OLESTR("f7")}));
}

TEST(FieldCollection, ItemAcceptsNumbersNamesAndOneLevelOfReference)
{
    Form form = MakeForm();
    AddAll(*form.Get(), Names({OLESTR("a"), OLESTR("b")}));

    com::Variant item;
    ASSERT_EQ(form->Item(*Number(VT_I2, 2).Get(), item.Get()), S_OK);
    EXPECT_EQ(NameOf(item.Get()->pdispVal), OLESTR("b"));

    // A script variable: VT_BYREF|VT_VARIANT around a VT_I2.
    com::Variant inner = Number(VT_I2, 1);
    VARIANT byRef;
    byRef.vt = VT_BYREF | VT_VARIANT;
    byRef.pvarVal = inner.Get();
    ASSERT_EQ(form->Item(byRef, item.Receive()), S_OK);
    EXPECT_EQ(NameOf(item.Get()->pdispVal), OLESTR("a"));

    // References to the value types themselves.
    LONG number = 2;
    VARIANT refI4;
    refI4.vt = VT_BYREF | VT_I4;
    refI4.plVal = &number;
    ASSERT_EQ(form->Item(refI4, item.Receive()), S_OK);
    EXPECT_EQ(NameOf(item.Get()->pdispVal), OLESTR("b"));
    com::Bstr key(OLESTR("a"));
    BSTR keyValue = key.Get();
    VARIANT refBstr;
    refBstr.vt = VT_BYREF | VT_BSTR;
    refBstr.pbstrVal = &keyValue;
    ASSERT_EQ(form->Item(refBstr, item.Receive()), S_OK);
    EXPECT_EQ(NameOf(item.Get()->pdispVal), OLESTR("a"));
    com::Variant byName = Text(OLESTR("b"));
    byRef.pvarVal = byName.Get();
    ASSERT_EQ(form->Item(byRef, item.Receive()), S_OK);
    EXPECT_EQ(NameOf(item.Get()->pdispVal), OLESTR("b"));
}

TEST(FieldCollection, ItemRejectsOutOfRangeNumbersAndOtherTypesWithoutTouchingTheResult)
{
    Form form = MakeForm();
    AddAll(*form.Get(), Names({OLESTR("a"), OLESTR("b")}));
    com::Variant r8;
    r8.Get()->vt = VT_R8;
    r8.Get()->dblVal = 1.0;
    com::Variant ui1;
    ui1.Get()->vt = VT_UI1;
    ui1.Get()->bVal = 1;
    std::vector<com::Variant> bad;
    bad.push_back(Number(VT_I4, 0));
    bad.push_back(Number(VT_I4, 3));
    bad.push_back(Number(VT_I2, -1));
    bad.push_back(std::move(r8));
    bad.push_back(std::move(ui1));
    bad.emplace_back();
    for (const com::Variant& index : bad) {
        VARIANT out;
        out.vt = VT_I4;
        out.lVal = 77;
        EXPECT_EQ(form->Item(*index.Get(), &out), E_INVALIDARG) << index.Type();
        EXPECT_EQ(out.vt, VT_I4);
        EXPECT_EQ(out.lVal, 77);
    }
    EXPECT_EQ(form->Item(*Number(VT_I4, 1).Get(), nullptr), E_INVALIDARG);
    EXPECT_EQ(form->get_Count(nullptr), E_INVALIDARG);
    EXPECT_EQ(form->get__NewEnum(nullptr), E_INVALIDARG);
}

WideString ValueOf(IDispatch* item)
{
    com::ComPtr<ITextField> field;
    EXPECT_EQ(com::QueryInterfaceTo(item, IID_ITextField, field), S_OK);
    com::Bstr value;
    EXPECT_EQ(field->get_Value(value.Receive()), S_OK);
    return value.ToWide();
}

std::vector<WideString> ValuesByNumber(CTextFieldCollection& form)
{
    LONG count = 0;
    EXPECT_EQ(form.get_Count(&count), S_OK);
    std::vector<WideString> values;
    for (LONG i = 1; i <= count; ++i) {
        com::Variant item;
        EXPECT_EQ(form.Item(*Number(VT_I4, i).Get(), item.Get()), S_OK);
        values.push_back(ValueOf(item.Get()->pdispVal));
    }
    return values;
}

std::vector<WideString> ValuesByEnumeration(CTextFieldCollection& form)
{
    com::ComPtr<IEnumVARIANT> enumerator = Enumerate(form);
    std::vector<WideString> values;
    for (;;) {
        com::Variant item;
        if (enumerator->Next(1, item.Get(), nullptr) != S_OK)
            return values;
        values.push_back(ValueOf(item.Get()->pdispVal));
    }
}

TEST(FieldCollection, NamesAreCaseSensitive)
{
    Form form = MakeForm();
    form->Add(MakeField(OLESTR("File1"), OLESTR("upper")).Get());
    form->Add(MakeField(OLESTR("file1"), OLESTR("lower")).Get());
    EXPECT_THROW(form->Add(nullptr), CTextFieldCollection::EFieldCollection);

    LONG count = 0;
    ASSERT_EQ(form->get_Count(&count), S_OK);
    EXPECT_EQ(count, 2);
    for (auto [name, value] :
         {std::pair{OLESTR("File1"), OLESTR("upper")}, std::pair{OLESTR("file1"), OLESTR("lower")}}) {
        com::Variant item;
        ASSERT_EQ(form->Item(*Text(name).Get(), item.Get()), S_OK);
        ASSERT_EQ(item.Type(), VT_DISPATCH);
        EXPECT_EQ(ValueOf(item.Get()->pdispVal), value);
    }
    com::Variant missing;
    ASSERT_EQ(form->Item(*Text(OLESTR("FILE1")).Get(), missing.Get()), S_OK);
    EXPECT_EQ(missing.Type(), VT_NULL);
    // A null BSTR key is the empty name.
    com::Variant nullKey;
    nullKey.Get()->vt = VT_BSTR;
    nullKey.Get()->bstrVal = nullptr;
    ASSERT_EQ(form->Item(*nullKey.Get(), missing.Receive()), S_OK);
    EXPECT_EQ(missing.Type(), VT_NULL);
}

// A checkbox group or a multiple select: every value is kept, right after the first of its name,
// in posting order; the name finds the first; the other names keep the order they would have alone.
TEST(FieldCollection, RepeatedNamesKeepEveryItemAfterTheFirstOfTheirName)
{
    Form form = MakeForm();
    const std::pair<const OLECHAR*, const OLECHAR*> posted[] = {
        {OLESTR("f3"), OLESTR("f3")},        {OLESTR("colour"), OLESTR("red")}, {OLESTR("f1"), OLESTR("f1")},
        {OLESTR("colour"), OLESTR("green")}, {OLESTR("f2"), OLESTR("f2")},      {OLESTR("colour"), OLESTR("blue")},
        {OLESTR("f1"), OLESTR("f1 again")}};
    for (auto [name, value] : posted)
        form->Add(MakeField(name, value).Get());

    // Seven insertion attempts over four names: the fifth grows the index to two buckets, as it
    // would if the repeated names had been dropped; each name's later items follow its first.
    const auto expected = Names(
        {OLESTR("f1"), OLESTR("f1 again"), OLESTR("f3"), OLESTR("red"), OLESTR("green"), OLESTR("blue"), OLESTR("f2")});
    EXPECT_EQ(ValuesByNumber(*form.Get()), expected);
    EXPECT_EQ(ValuesByEnumeration(*form.Get()), expected);

    com::Variant first;
    ASSERT_EQ(form->Item(*Text(OLESTR("colour")).Get(), first.Get()), S_OK);
    EXPECT_EQ(ValueOf(first.Get()->pdispVal), OLESTR("red"));
    com::Variant beyond;
    EXPECT_EQ(form->Item(*Number(VT_I4, 8).Get(), beyond.Get()), E_INVALIDARG);
}

TEST(FieldCollection, ClearReleasesFilesAndStartsOver)
{
    testing_support::TestTempDir dir;
    com::ComPtr<com::ComObject<CUploadedFileCollection>> files;
    ASSERT_EQ(com::CreateComObject(files), S_OK);
    for (const char* name : {"a", "b", "c", "d", "e", "f"}) {
        com::ComPtr<com::ComObject<CUploadedFile>> file;
        ASSERT_EQ(com::CreateComObject(file), S_OK);
        const WideString temp = dir.Write(std::string("tmp-") + name, name);
        file->Init({}, {}, com::Bstr(testing_support::ToWide(name)), com::Bstr(temp));
        com::ComPtr<IUploadedFile> itf;
        ASSERT_EQ(com::QueryInterfaceTo(file.Get(), IID_IUploadedFile, itf), S_OK);
        files->Add(itf.Get());
    }
    EXPECT_EQ(dir.Files().size(), 6u);
    files->Clear();
    EXPECT_TRUE(dir.Files().empty());
    LONG count = -1;
    ASSERT_EQ(files->get_Count(&count), S_OK);
    EXPECT_EQ(count, 0);
}

TEST(FieldEnumerator, IsASnapshotThatKeepsItsItemsAlive)
{
    Form form = MakeForm();
    AddAll(*form.Get(), Names({OLESTR("a"), OLESTR("b")}));
    auto enumerator = Enumerate(*form.Get());
    form->Add(MakeField(OLESTR("c")).Get());
    form.Reset();
    EXPECT_EQ(Drain(enumerator.Get()), Names({OLESTR("a"), OLESTR("b")}));
}

TEST(FieldEnumerator, NextSkipResetFollowTheirArgumentRules)
{
    Form form = MakeForm();
    AddAll(*form.Get(), Names({OLESTR("a"), OLESTR("b"), OLESTR("c")}));
    auto e = Enumerate(*form.Get());

    VARIANT items[4];
    ULONG fetched = 99;
    EXPECT_EQ(e->Next(0, items, &fetched), E_INVALIDARG);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(e->Next(1, nullptr, &fetched), E_POINTER);
    EXPECT_EQ(e->Next(2, items, nullptr), E_POINTER);
    EXPECT_EQ(e->Skip(0), E_INVALIDARG);

    // One element may be asked for without a count pointer.
    ASSERT_EQ(e->Next(1, items, nullptr), S_OK);
    EXPECT_EQ(NameOf(items[0].pdispVal), OLESTR("a"));
    ::VariantClear(&items[0]);

    ASSERT_EQ(e->Next(4, items, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(NameOf(items[0].pdispVal), OLESTR("b"));
    EXPECT_EQ(NameOf(items[1].pdispVal), OLESTR("c"));
    ::VariantClear(&items[0]);
    ::VariantClear(&items[1]);

    ASSERT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(2), S_OK);
    EXPECT_EQ(e->Skip(2), S_FALSE);
    ASSERT_EQ(e->Reset(), S_OK);
    ASSERT_EQ(e->Next(3, items, &fetched), S_OK);
    EXPECT_EQ(fetched, 3u);
    for (auto& v : {&items[0], &items[1], &items[2]})
        ::VariantClear(v);
}

TEST(FieldEnumerator, CloneStartsAtTheSourcePositionAndOutlivesIt)
{
    Form form = MakeForm();
    AddAll(*form.Get(), Names({OLESTR("a"), OLESTR("b"), OLESTR("c")}));
    auto e = Enumerate(*form.Get());
    form.Reset();
    ASSERT_EQ(e->Skip(1), S_OK);
    EXPECT_EQ(e->Clone(nullptr), E_POINTER);
    com::ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(e->Clone(clone.Receive()), S_OK);
    e.Reset();
    EXPECT_EQ(Drain(clone.Get()), Names({OLESTR("b"), OLESTR("c")}));
    ASSERT_EQ(clone->Reset(), S_OK);
    EXPECT_EQ(Drain(clone.Get()), Names({OLESTR("a"), OLESTR("b"), OLESTR("c")}));
}

} // namespace
