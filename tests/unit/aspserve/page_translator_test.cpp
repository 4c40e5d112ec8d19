#include "tools/aspserve/page_translator.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using aspserve::ETranslationError;
using aspserve::TPageTranslator;
using aspserve::TTranslatedPage;

class PageTranslator : public ::testing::Test {
protected:
    TTranslatedPage Translate(const std::string& page = "/page.asp")
    {
        TPageTranslator translator([this](const std::string& path) -> std::optional<std::string> {
            ++loads_[path];
            const auto found = files_.find(path);
            return found == files_.end() ? std::nullopt : std::optional<std::string>(found->second);
        });
        return translator.Translate(page);
    }

    std::string ErrorOf(const std::string& page = "/page.asp")
    {
        try {
            Translate(page);
        } catch (const ETranslationError& e) {
            return e.what();
        }
        return "no error";
    }

    std::map<std::string, std::string> files_;
    std::map<std::string, int> loads_;
};

TEST_F(PageTranslator, LiteralTextCodeAndExpressionsBecomeOneProgram)
{
    files_["/page.asp"] = "<p>Hi \"you\"</p>\r\n<% x = 1\r\ny = 2 %><b><%= x + y %></b>";
    const TTranslatedPage page = Translate();
    EXPECT_EQ("Response.WriteBlock 0\r\n x = 1\r\ny = 2 \r\nResponse.WriteBlock 1\r\nResponse.Write( x + y )\r\n"
              "Response.WriteBlock 2\r\n",
              page.script);
    ASSERT_EQ(3u, page.blocks.size());
    EXPECT_EQ("<p>Hi \"you\"</p>\r\n", page.blocks[0]); // quotes and line breaks stay out of the script
    EXPECT_EQ("<b>", page.blocks[1]);
    EXPECT_EQ("</b>", page.blocks[2]);
    EXPECT_EQ(0, page.codePage);
}

TEST_F(PageTranslator, EveryScriptLineKnowsItsFileAndLine)
{
    files_["/page.asp"] = "a\nb\n<%\nx = 1\ny = bad() %>\n<!--#include file=\"inc.inc\"-->\n<%= z %>";
    files_["/inc.inc"] = "<% w = 1 %>";
    const TTranslatedPage page = Translate();
    // Script lines: block 0, "", "x = 1", "y = bad() ", block 1, " w = 1 ", block 2, Response.Write( z )
    ASSERT_EQ(8u, page.lines.size());
    EXPECT_EQ(4u, page.SourceOf(2).line);
    EXPECT_EQ(5u, page.SourceOf(3).line);
    EXPECT_EQ("/page.asp", page.SourceOf(3).page);
    EXPECT_EQ(1u, page.SourceOf(5).line);
    EXPECT_EQ("/inc.inc", page.SourceOf(5).page);
    EXPECT_EQ(7u, page.SourceOf(7).line);
    EXPECT_EQ(7u, page.SourceOf(100).line);
}

TEST_F(PageTranslator, TheDirectiveSetsTheCodePageAndRefusesOtherLanguages)
{
    files_["/page.asp"] = "<%@ Language=\"VBScript\" CodePage=65001 %>\r\n<% x = 1 %>";
    EXPECT_EQ(65001, Translate().codePage);
    files_["/page.asp"] = "<%@ language=vbscript codepage='1252' %>";
    EXPECT_EQ(1252, Translate().codePage);
    files_["/page.asp"] = "<%@ Language=\"JScript\" %>";
    EXPECT_NE(std::string::npos, ErrorOf().find("JScript is not supported")) << ErrorOf();
    files_["/page.asp"] = "<%@ CodePage=utf8 %>";
    EXPECT_NE(std::string::npos, ErrorOf().find("bad CodePage")) << ErrorOf();
    files_["/page.asp"] = "<% x = 1 %><%@ CodePage=65001 %>";
    EXPECT_NE(std::string::npos, ErrorOf().find("first block")) << ErrorOf();
}

TEST_F(PageTranslator, IncludesResolveFromThePageOrTheRootAndNest)
{
    files_["/docs/page.asp"] = "A<!--#include file=\"../inc/a.inc\"-->B<!-- #include virtual=\"/inc/b.inc\" -->C";
    files_["/inc/a.inc"] = "a<!--#include file=\"b.inc\"-->";
    files_["/inc/b.inc"] = "b";
    const TTranslatedPage page = Translate("/docs/page.asp");
    std::string text;
    for (const std::string& block : page.blocks)
        text += block;
    // "<!-- #include" with a space is an ordinary comment, as in ASP.
    EXPECT_EQ("Aab"
              "B<!-- #include virtual=\"/inc/b.inc\" -->C",
              text);
    EXPECT_EQ(1, loads_["/inc/b.inc"]);
}

TEST_F(PageTranslator, BrokenPagesAndIncludesAreRefusedWithTheirPlace)
{
    files_["/page.asp"] = "line1\n<% x = 1 ";
    EXPECT_EQ("/page.asp(2): <% without %>", ErrorOf());
    files_["/page.asp"] = "<!--#include file=\"../../etc/passwd\"-->";
    EXPECT_NE(std::string::npos, ErrorOf().find("outside the site")) << ErrorOf();
    files_["/page.asp"] = "<!--#include file=\"missing.inc\"-->";
    EXPECT_EQ("/missing.inc: file not found", ErrorOf());
    files_["/page.asp"] = "<!--#include file=\"page.asp\"-->";
    EXPECT_NE(std::string::npos, ErrorOf().find("nested too deep")) << ErrorOf();
    files_["/page.asp"] = "<!--#include nonsense=\"x\"-->";
    EXPECT_NE(std::string::npos, ErrorOf().find("file=")) << ErrorOf();
    EXPECT_EQ("/none.asp: file not found", ErrorOf("/none.asp"));
}

TEST_F(PageTranslator, OptionExplicitOpensTheProgramWhereverThePageWritesIt)
{
    files_["/page.asp"] = "<%@ CodePage=65001 %>\r\n<%\r\n' comment\r\n  option   EXPLICIT\r\nDim x %>";
    const TTranslatedPage page = Translate();
    EXPECT_EQ("Option Explicit\r\nResponse.WriteBlock 0\r\n\r\n' comment\r\n\r\nDim x \r\n", page.script);
    EXPECT_EQ(4u, page.SourceOf(0).line);
    EXPECT_EQ(5u, page.SourceOf(5).line);
    files_["/page.asp"] = "<% Dim optionExplicit : x = \"Option Explicit\" %>";
    EXPECT_EQ(" Dim optionExplicit : x = \"Option Explicit\" \r\n", Translate().script);
}

TEST_F(PageTranslator, AByteOrderMarkIsDroppedAndAnEmptyPageIsAnEmptyProgram)
{
    files_["/page.asp"] = "\xEF\xBB\xBFok";
    const TTranslatedPage page = Translate();
    ASSERT_EQ(1u, page.blocks.size());
    EXPECT_EQ("ok", page.blocks[0]);
    files_["/page.asp"] = "";
    EXPECT_EQ("", Translate().script);
}

TEST_F(PageTranslator, TheDirectiveCanTurnSessionStateOff)
{
    files_["/page.asp"] = "<% x = 1 %>";
    EXPECT_TRUE(Translate().sessionState);
    files_["/page.asp"] = "<%@ Language=VBScript EnableSessionState=False CodePage=65001 %>";
    EXPECT_FALSE(Translate().sessionState);
    EXPECT_EQ(65001, Translate().codePage);
    files_["/page.asp"] = "<%@ enablesessionstate=\"true\" %>";
    EXPECT_TRUE(Translate().sessionState);
    files_["/page.asp"] = "<%@ EnableSessionState=0 %>";
    EXPECT_NE(std::string::npos, ErrorOf().find("EnableSessionState is True or False")) << ErrorOf();
}

TEST_F(PageTranslator, LoopEndsGetADeadlineCheckOnTheirOwnLine)
{
    files_["/page.asp"] = "<p>x</p>\n<% Do While n < 3\r\n  n = n + 1 : Loop\r\n"
                          "For Each f In c: Next\r\nWhile x\r\nWend %>\n<% Next %>";
    const TTranslatedPage page = Translate();
    EXPECT_EQ("Response.WriteBlock 0\r\n"
              " Do While n < 3\r\n"
              "  n = n + 1\r\n"
              "If AspServeLoopCheck.Expired Then Exit Do\r\n"
              "Loop\r\n"
              "For Each f In c\r\n"
              "If AspServeLoopCheck.Expired Then Exit For\r\n"
              "Next\r\n"
              "While x\r\n"
              "AspServeLoopCheck.Expired\r\n"
              "Wend \r\n"
              "Response.WriteBlock 1\r\n"
              "If AspServeLoopCheck.Expired Then Exit For\r\n"
              "Next \r\n",
              page.script);
    // Each inserted line counts as the line of the loop end it stands before.
    ASSERT_EQ(14u, page.lines.size());
    EXPECT_EQ(3u, page.SourceOf(2).line);
    EXPECT_EQ(3u, page.SourceOf(3).line);
    EXPECT_EQ(3u, page.SourceOf(4).line);
    EXPECT_EQ(4u, page.SourceOf(6).line);
    EXPECT_EQ(6u, page.SourceOf(9).line);
    EXPECT_EQ(7u, page.SourceOf(13).line);
}

TEST_F(PageTranslator, LoopWordsInTextAndExpressionsAreLeftAlone)
{
    files_["/page.asp"] = "Loop<%= Next %><% x = \"Loop\" ' Next %>";
    EXPECT_EQ(std::string::npos, Translate().script.find("AspServeLoopCheck"));
}

} // namespace
