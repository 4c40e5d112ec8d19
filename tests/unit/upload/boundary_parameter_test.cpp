#include "upload/boundary_parameter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string Boundary(std::u16string_view contentType)
{
    return utils::FindBoundaryParameter(contentType);
}

TEST(BoundaryParameter, TakesAPlainValueUpToTheNextParameterOrBlank)
{
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=AaB03x"), u"AaB03x");
    EXPECT_EQ(Boundary(u"multipart/form-data;boundary=AaB03x"), u"AaB03x");
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=AaB03x; charset=utf-8"), u"AaB03x");
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=AaB03x charset"), u"AaB03x");
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=AaB03x\tx"), u"AaB03x");
    // A comma is a boundary character, not a separator.
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=a,b"), u"a,b");
    // The value keeps its own case.
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=----WebKitFormBoundaryXyZ"), u"----WebKitFormBoundaryXyZ");
}

TEST(BoundaryParameter, MatchesTheNameInAnyCaseButOnlyAsAWholeName)
{
    EXPECT_EQ(Boundary(u"Multipart/Form-Data; Boundary=AaB03x"), u"AaB03x");
    EXPECT_EQ(Boundary(u"multipart/form-data; BOUNDARY=AaB03x"), u"AaB03x");
    EXPECT_EQ(Boundary(u"multipart/form-data; xboundary=no; boundary=yes"), u"yes");
    EXPECT_EQ(Boundary(u"multipart/form-data; x-boundary=no"), u"");
}

TEST(BoundaryParameter, UnquotesAQuotedValue)
{
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=\"AaB03x\""), u"AaB03x");
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=\"a b;c\"; charset=utf-8"), u"a b;c");
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=\"a\\\"b\""), u"a\"b");
    // An unterminated quote names no usable boundary.
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=\"AaB03x"), u"");
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=\"\""), u"");
}

// Quoted strings are values, never parameters: what a quoted value holds cannot name the boundary,
// whatever it looks like, so the component and every other reader of the header see one boundary.
TEST(BoundaryParameter, TextInsideAnotherQuotedValueIsNeverAParameter)
{
    EXPECT_EQ(Boundary(u"multipart/form-data; x=\"a boundary=AAA b\"; boundary=BBB"), u"BBB");
    EXPECT_EQ(Boundary(u"multipart/form-data; x=\"a;boundary=AAA\"; boundary=BBB"), u"BBB");
    EXPECT_EQ(Boundary(u"multipart/form-data; x=\"; boundary=AAA\""), u"");
    EXPECT_EQ(Boundary(u"multipart/form-data; x=\"\\\"; boundary=AAA\"; boundary=BBB"), u"BBB");
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=BBB; x=\"boundary=AAA\""), u"BBB");
    // A quoted string where a name belongs is skipped whole.
    EXPECT_EQ(Boundary(u"multipart/form-data; \"boundary=AAA\"; boundary=BBB"), u"BBB");
    // A quote left open: nothing after it can be read the same way by everyone.
    EXPECT_EQ(Boundary(u"multipart/form-data; x=\"a; boundary=BBB"), u"");
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=BBB; x=\"a"), u"");
}

TEST(BoundaryParameter, TwoBoundaryParametersNameNone)
{
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=AAA; boundary=BBB"), u"");
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=AAA; Boundary=\"AAA\""), u"");
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=; boundary=BBB"), u"");
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=AAA boundary=BBB"), u"");
}

TEST(BoundaryParameter, AnswersEmptyWithoutAValue)
{
    EXPECT_EQ(Boundary(u"multipart/form-data"), u"");
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary="), u"");
    EXPECT_EQ(Boundary(u"multipart/form-data; boundary=; x=y"), u"");
    EXPECT_EQ(Boundary(u""), u"");
    EXPECT_EQ(Boundary(u"boundary"), u"");
}

} // namespace
