#include "tools/aspserve/value_table.h"

#include "com/bstr.h"

#include <gtest/gtest.h>

namespace {

using aspserve::CValueTable;

VARIANT Long(LONG value)
{
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

LONG LongOf(const CValueTable& table, const OLECHAR* name)
{
    com::Variant v;
    EXPECT_EQ(S_OK, table.Get(name, v.Get()));
    return v.Type() == VT_I4 ? v.Get()->lVal : -1;
}

TEST(ValueTable, NamesIgnoreCaseAndKeepTheirFirstPlace)
{
    CValueTable table;
    EXPECT_EQ(S_OK, table.Put(OLESTR("Count"), Long(1)));
    EXPECT_EQ(S_OK, table.Put(OLESTR("other"), Long(2)));
    EXPECT_EQ(S_OK, table.Put(OLESTR("COUNT"), Long(3)));
    EXPECT_EQ(2u, table.Count());
    EXPECT_EQ(3, LongOf(table, OLESTR("count")));
    EXPECT_EQ(WideString(OLESTR("Count")), table.NameAt(0));
    EXPECT_EQ(WideString(OLESTR("other")), table.NameAt(1));
    EXPECT_EQ(std::nullopt, table.NameAt(2));
    com::Variant missing;
    EXPECT_EQ(S_OK, table.Get(OLESTR("none"), missing.Get()));
    EXPECT_EQ(VT_EMPTY, missing.Type());
    com::Variant at;
    EXPECT_EQ(DISP_E_BADINDEX, table.GetAt(2, at.Get()));
    EXPECT_EQ(S_OK, table.GetAt(1, at.Receive()));
    EXPECT_EQ(2, at.Get()->lVal);
}

TEST(ValueTable, StoredValuesAreCopiesOfWhatTheScriptHeld)
{
    CValueTable table;
    com::Variant text;
    text.Get()->vt = VT_BSTR;
    text.Get()->bstrVal = ::SysAllocString(OLESTR("abc"));
    VARIANT reference; // a script variable arrives as a reference to it
    ::VariantInit(&reference);
    reference.vt = VT_BYREF | VT_VARIANT;
    reference.pvarVal = text.Get();
    EXPECT_EQ(S_OK, table.Put(OLESTR("t"), reference));
    ::SysFreeString(text.Get()->bstrVal);
    text.Get()->bstrVal = ::SysAllocString(OLESTR("changed"));
    com::Variant stored;
    ASSERT_EQ(S_OK, table.Get(OLESTR("t"), stored.Get()));
    ASSERT_EQ(VT_BSTR, stored.Type());
    EXPECT_EQ(WideString(OLESTR("abc")), com::Bstr::ToWide(stored.Get()->bstrVal));
}

TEST(ValueTable, ObjectsAndArraysHoldingThemAreRefused)
{
    CValueTable table;
    SAFEARRAYBOUND bound = {2, 0};
    SAFEARRAY* array = ::SafeArrayCreate(VT_VARIANT, 1, &bound);
    ASSERT_NE(nullptr, array);
    com::Variant holder;
    holder.Get()->vt = VT_ARRAY | VT_VARIANT;
    holder.Get()->parray = array;
    EXPECT_EQ(S_OK, table.Put(OLESTR("plain"), *holder.Get())); // an array of numbers is fine

    VARIANT* items = nullptr;
    ASSERT_EQ(S_OK, ::SafeArrayAccessData(array, reinterpret_cast<void**>(&items)));
    items[1].vt = VT_DISPATCH; // any object pointer: the table must not touch it
    items[1].pdispVal = nullptr;
    ::SafeArrayUnaccessData(array);
    EXPECT_EQ(E_INVALIDARG, table.Put(OLESTR("objects"), *holder.Get()));
    ::SafeArrayAccessData(array, reinterpret_cast<void**>(&items));
    items[1].vt = VT_EMPTY;
    ::SafeArrayUnaccessData(array);

    VARIANT object;
    ::VariantInit(&object);
    object.vt = VT_UNKNOWN;
    object.punkVal = nullptr;
    EXPECT_EQ(E_INVALIDARG, table.Put(OLESTR("object"), object));
    EXPECT_EQ(1u, table.Count());
}

TEST(ValueTable, RemovingByNameByPlaceAndAll)
{
    CValueTable table;
    for (const OLECHAR* name : {OLESTR("a"), OLESTR("b"), OLESTR("c")})
        table.Put(name, Long(1));
    EXPECT_TRUE(table.Remove(OLESTR("B")));
    EXPECT_FALSE(table.Remove(OLESTR("b")));
    EXPECT_TRUE(table.RemoveAt(0));
    EXPECT_FALSE(table.RemoveAt(1));
    EXPECT_EQ(std::vector<WideString>{OLESTR("c")}, table.Names());
    table.RemoveAll();
    EXPECT_EQ(0u, table.Count());
}

} // namespace
