#include "results/file_name_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string Ext(std::u16string_view s) { return utils::FileExtension(s); }
std::u16string Safe(std::u16string_view s) { return utils::SafeFileName(s); }

TEST(FileExtension, IsWhatFollowsTheLastDotOfTheLastComponent)
{
    EXPECT_EQ(Ext(u"C:\\Users\\guest\\My Files\\photo.jpeg"), u"jpeg");
    EXPECT_EQ(Ext(u"report.final.PDF"), u"PDF");
    EXPECT_EQ(Ext(u"C:\\dir.old\\readme"), u"");
    EXPECT_EQ(Ext(u"dir.old/readme"), u"");
    EXPECT_EQ(Ext(u"archive."), u"");
    EXPECT_EQ(Ext(u".htaccess"), u"htaccess");
    EXPECT_EQ(Ext(u"noext"), u"");
    EXPECT_EQ(Ext(u""), u"");
    // Only the text before an embedded NUL counts.
    EXPECT_EQ(Ext(std::u16string_view(u"a.txt\0.exe", 10)), u"txt");
}

TEST(SafeFileName, KeepsTheLastComponentWithoutForbiddenCharacters)
{
    EXPECT_EQ(Safe(u"C:\\Users\\guest\\My Files\\photo.jpeg"), u"photo.jpeg");
    EXPECT_EQ(Safe(u"../../etc/passwd"), u"passwd");
    EXPECT_EQ(Safe(u"a:b|c?.txt"), u"abc.txt");
    EXPECT_EQ(Safe(u"C:report.txt"), u"Creport.txt");
    EXPECT_EQ(Safe(u"<a*b>\"c\".txt"), u"abc.txt");
    EXPECT_EQ(Safe(u"tab\there\x1f\x7f.txt"), u"tabhere\x7f.txt");
    // Nothing else is touched: blanks, dots, device names, non-ASCII.
    EXPECT_EQ(Safe(u" .CON. "), u" .CON. ");
    EXPECT_EQ(Safe(u"résumé – 履歴書.doc"), u"résumé – 履歴書.doc");
    EXPECT_EQ(Safe(u"dir\\"), u"");
    EXPECT_EQ(Safe(u""), u"");
    EXPECT_EQ(Safe(u"?*:|"), u"");
    EXPECT_EQ(Safe(std::u16string_view(u"a\0b", 3)), u"a");
}

TEST(SafeFileName, CutsToTheFirst255AllowedCharacters)
{
    const std::u16string allowed(300, u'x');
    EXPECT_EQ(Safe(allowed), std::u16string(255, u'x'));
    // Dropped characters do not count toward the limit.
    std::u16string mixed;
    for (int i = 0; i < 300; ++i)
        mixed += u"y:";
    EXPECT_EQ(Safe(mixed), std::u16string(255, u'y'));
}

} // namespace
