#include "host/site_path.h"

#include <gtest/gtest.h>

namespace {

using host::SitePathOfInclude;
using host::SitePathOfUrl;

TEST(SitePath, UrlsDecodeAndNormalise)
{
    EXPECT_EQ("/", SitePathOfUrl("/"));
    EXPECT_EQ("/upload.asp", SitePathOfUrl("/upload.asp?id=%7Babc%7D&x=1"));
    EXPECT_EQ("/a b/c.asp", SitePathOfUrl("/a%20b//./c.asp"));
    EXPECT_EQ("/docs/", SitePathOfUrl("/docs/"));
    EXPECT_EQ("/a+b.html", SitePathOfUrl("/a+b.html")); // '+' is a plus in a path
}

TEST(SitePath, UrlsThatCouldLeaveTheFolderAreRefused)
{
    for (const char* target : {"/../secret.txt", "/a/../../b", "/a/%2e%2e/b", "/%2E%2E/x", "/a\\..\\b", "/c:/windows",
                               "/x%00.asp", "relative.asp", "", "http://host/x", "/bad%zz", "/a/.."})
        EXPECT_EQ(std::nullopt, SitePathOfUrl(target)) << target;
}

TEST(SitePath, PathsMustDecodeToUtf8)
{
    EXPECT_EQ("/caf\xC3\xA9.html", SitePathOfUrl("/caf%C3%A9.html"));
    EXPECT_EQ("/\xF0\x9F\x98\x80/", SitePathOfUrl("/%F0%9F%98%80/"));
    EXPECT_EQ("/\xEF\xBF\xBF", SitePathOfUrl("/%EF%BF%BF"));
    for (const char* target : {"/%FF", "/%C0%AF", "/%E0%80%AF", "/%ED%A0%80", "/%F4%90%80%80", "/%C3", "/%E2%82",
                               "/%80", "/%C3%28", "/%F8%88%80%80%80", "/\xFF.html"})
        EXPECT_EQ(std::nullopt, SitePathOfUrl(target)) << target;
    EXPECT_EQ(std::nullopt, SitePathOfInclude("/a.asp", "\xC0\xAFx.inc", false));
}

TEST(SitePath, IncludesResolveFromThePageOrTheRootAndStayInside)
{
    EXPECT_EQ("/inc/h.inc", SitePathOfInclude("/docs/a.asp", "../inc/h.inc", false));
    EXPECT_EQ("/docs/h.inc", SitePathOfInclude("/docs/a.asp", "h.inc", false));
    EXPECT_EQ("/inc/h.inc", SitePathOfInclude("/docs/a.asp", "/inc/h.inc", true));
    EXPECT_EQ("/inc/h.inc", SitePathOfInclude("/docs/a.asp", "inc/h.inc", true));
    EXPECT_EQ("/h.inc", SitePathOfInclude("/a.asp", "./h.inc", false));
    EXPECT_EQ(std::nullopt, SitePathOfInclude("/a.asp", "../h.inc", false));
    EXPECT_EQ(std::nullopt, SitePathOfInclude("/docs/a.asp", "/../h.inc", true));
    EXPECT_EQ(std::nullopt, SitePathOfInclude("/docs/a.asp", "..\\h.inc", false));
    EXPECT_EQ(std::nullopt, SitePathOfInclude("/docs/a.asp", "c:/h.inc", false));
    EXPECT_EQ(std::nullopt, SitePathOfInclude("/docs/a.asp", "", false));
}

TEST(SitePath, ContentTypesComeFromTheExtension)
{
    EXPECT_EQ("text/css; charset=utf-8", host::ContentTypeOf("/site.CSS"));
    EXPECT_EQ("image/png", host::ContentTypeOf("/img/a.b/logo.png"));
    EXPECT_EQ("image/svg+xml", host::ContentTypeOf("/x.svg"));
    EXPECT_EQ("image/x-icon", host::ContentTypeOf("/favicon.ico"));
    EXPECT_EQ("text/javascript; charset=utf-8", host::ContentTypeOf("/app.js"));
    EXPECT_EQ(std::nullopt, host::ContentTypeOf("/page.asp"));
    EXPECT_EQ(std::nullopt, host::ContentTypeOf("/inc/header.inc"));
    EXPECT_EQ(std::nullopt, host::ContentTypeOf("/dir.png/file"));
    EXPECT_TRUE(host::IsAspPage("/A/Upload.ASP"));
    EXPECT_FALSE(host::IsAspPage("/upload.aspx"));
}

} // namespace
