// One header line as the lexer classified it: the kind it was handed decides which rule checks
// the value, and only the two recognised kinds make a usable header.
#include "parser/field_header_impl.h"

#include <gtest/gtest.h>

namespace {

using parser::CFieldHeaderImpl;
using Unusable = CFieldHeaderImpl::EFieldHeaderBaseError;

TEST(FieldHeader, TheKindFromTheLexerDecidesTheRule)
{
    const TParserOptions options;
    const parser::CPostTextCvrt converter(&options);

    const CFieldHeaderImpl disposition(parser::kContentDisposition, "Form-Data", &converter);
    EXPECT_EQ(disposition.Kind(), parser::kContentDisposition);
    EXPECT_FALSE(disposition.IsComplete()) << "a disposition needs its name parameter";
    const CFieldHeaderImpl type(parser::kContentType, "text/plain", &converter);
    EXPECT_EQ(type.Kind(), parser::kContentType);
    EXPECT_EQ(type.Value(), WideString(OLESTR("text/plain")));
    EXPECT_TRUE(type.IsComplete());

    // The same value under the other kind meets that kind's rule.
    EXPECT_THROW(CFieldHeaderImpl(parser::kContentDisposition, "text/plain", &converter), Unusable);
    EXPECT_NO_THROW(CFieldHeaderImpl(parser::kContentType, "form-data", &converter));
    EXPECT_THROW(CFieldHeaderImpl(parser::kContentType, "", &converter), Unusable);
    EXPECT_THROW(CFieldHeaderImpl(parser::kContentType, "text/\xE9", &converter), Unusable) << "not ASCII";
    for (const parser::THeaderKind kind : {parser::kOtherHeader, parser::kMalformedLine})
        EXPECT_THROW(CFieldHeaderImpl(kind, "form-data", &converter), Unusable) << kind;
}

} // namespace
