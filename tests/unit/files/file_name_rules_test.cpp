#include "files/file_name_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string Ext(std::u16string_view s)
{
    return utils::FileExtension(s);
}
std::u16string Safe(std::u16string_view s)
{
    return utils::SafeFileName(s);
}
std::u16string Stored(std::u16string_view s)
{
    return utils::StoredFileExtension(s);
}

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
    // Nothing else is touched: leading blanks and dots, non-ASCII.
    EXPECT_EQ(Safe(u" .CON"), u" .CON");
    EXPECT_EQ(Safe(u"résumé – 履歴書.doc"), u"résumé – 履歴書.doc");
    EXPECT_EQ(Safe(u"dir\\"), u"");
    EXPECT_EQ(Safe(u""), u"");
    EXPECT_EQ(Safe(u"?*:|"), u"");
    EXPECT_EQ(Safe(std::u16string_view(u"a\0b", 3)), u"a");
}

TEST(SafeFileName, DropsTrailingSpacesAndDotsAsWindowsWouldWhenStoringIt)
{
    EXPECT_EQ(Safe(u"shell.asp "), u"shell.asp");
    EXPECT_EQ(Safe(u"shell.asp."), u"shell.asp");
    EXPECT_EQ(Safe(u"C:\\up\\shell.asp . . "), u"shell.asp");
    EXPECT_EQ(Safe(u" .CON. "), u" .CON");
    // A forbidden character removed from the end can expose more of them.
    EXPECT_EQ(Safe(u"shell.asp.:"), u"shell.asp");
    EXPECT_EQ(Safe(u"shell.asp. \t"), u"shell.asp");
    EXPECT_EQ(Safe(u". . ."), u"");
    EXPECT_EQ(Safe(u"a. b"), u"a. b");
}

TEST(SafeFileName, CutsToTheFirst255AllowedCharacters)
{
    const std::u16string allowed(300, u'x');
    EXPECT_EQ(Safe(allowed), std::u16string(255, u'x'));
    // The cut does not leave a trailing blank behind either.
    EXPECT_EQ(Safe(std::u16string(254, u'x') + u"  yz"), std::u16string(254, u'x'));
    // Dropped characters do not count toward the limit.
    std::u16string mixed;
    for (int i = 0; i < 300; ++i)
        mixed += u"y:";
    EXPECT_EQ(Safe(mixed), std::u16string(255, u'y'));
}

TEST(SafeFileName, ALongNameKeepsItsExtensionWhole)
{
    // What stands before the last dot is shortened, here losing its ".asp".
    const std::u16string name = Safe(std::u16string(251, u'x') + u".asp.jpg");
    EXPECT_EQ(name.size(), 255u);
    EXPECT_EQ(name, std::u16string(251, u'x') + u".jpg");
    EXPECT_EQ(Safe(std::u16string(240, u'x') + u".asp.jpg" + std::u16string(10, u' ')),
              std::u16string(240, u'x') + u".asp.jpg");
    EXPECT_EQ(Safe(std::u16string(400, u'n') + u".html"), std::u16string(250, u'n') + u".html");
    // An extension of 253 units leaves one unit of the name before it.
    const std::u16string ext253(253, u'e');
    EXPECT_EQ(Safe(u"abc." + ext253), u"a." + ext253);
    // One that leaves no room is never shortened into another extension: the name keeps its end.
    const std::u16string ext300 = u"asp" + std::u16string(297, u'e');
    EXPECT_EQ(Safe(std::u16string(250, u'x') + u"." + ext300), ext300.substr(45));
    EXPECT_EQ(Safe(u"a." + std::u16string(254, u'e')), u"." + std::u16string(254, u'e'));
}

// A name that Windows would open as a device, in any folder and with any extension, is stored as
// an ordinary file under a leading underscore.
TEST(SafeFileName, ADeviceNameIsStoredAsAnOrdinaryFile)
{
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"nul.txt", u"_nul.txt"},
        {u"CON.jpg", u"_CON.jpg"},
        {u"com1.png", u"_com1.png"},
        {u"C:\\fakepath\\Com0.tar.gz", u"_Com0.tar.gz"},
        {u"lpt\u00b9.txt", u"_lpt\u00b9.txt"},
        {u"LPT\u00b2", u"_LPT\u00b2"},
        {u"com\u00b3.doc", u"_com\u00b3.doc"},
        {u"lpt9.x", u"_lpt9.x"},
        {u"CONIN$.txt", u"_CONIN$.txt"},
        {u"conout$", u"_conout$"},
        {u"AUX", u"_AUX"},
        {u"prn .txt", u"_prn .txt"}, // spaces that end the stem do not count
        {u"nul. ", u"_nul"},         // the end Windows drops goes first
        {u"n:ul.txt", u"_nul.txt"},  // so do forbidden characters
        {u"aux.", u"_aux"},
        // Not devices: other stems, a device name inside a longer stem, a leading space.
        {u"nul_.txt", u"nul_.txt"},
        {u"com10.txt", u"com10.txt"},
        {u"com\u00b4.txt", u"com\u00b4.txt"},
        {u"lpt.txt", u"lpt.txt"},
        {u"x.nul", u"x.nul"},
        {u" con.txt", u" con.txt"},
        {u"console.txt", u"console.txt"},
        {u"CONIN.txt", u"CONIN.txt"},
    };
    for (const auto& [client, stored] : cases) {
        EXPECT_EQ(Safe(client), stored) << std::string(client.begin(), client.end());
        EXPECT_FALSE(utils::NamesReservedDevice(std::u16string_view(Safe(client))));
    }
    EXPECT_EQ(Stored(u"nul.txt"), u"txt");
    // The underscore never makes the name longer than 255 units: the stem loses its end instead.
    const std::u16string extension(250, u'e');
    EXPECT_EQ(Safe(u"nul." + extension), u"_nul." + extension);
    EXPECT_EQ(Safe(u"nul." + extension + u"e"), u"_nu." + extension + u"e");
    EXPECT_EQ(Safe(u"nul  ." + extension + u"e"), u"_nu." + extension + u"e");
}

TEST(StoredFileExtension, IsTheExtensionOfTheSafeName)
{
    EXPECT_EQ(Stored(u"C:\\Users\\guest\\My Files\\photo.jpeg"), u"jpeg");
    EXPECT_EQ(Stored(u"report.final.PDF"), u"PDF");
    EXPECT_EQ(Stored(u"C:\\dir.old\\readme"), u"");
    EXPECT_EQ(Stored(u"archive."), u"");
    EXPECT_EQ(Stored(u".htaccess"), u"htaccess");
    EXPECT_EQ(Stored(u"shell.asp "), u"asp");
    EXPECT_EQ(Stored(u"shell.asp."), u"asp");
    EXPECT_EQ(Stored(u"shell.as|p"), u"asp");
    EXPECT_EQ(Stored(u"shell.asp:"), u"asp");
    EXPECT_EQ(Stored(std::u16string(251, u'x') + u".asp.jpg"), u"jpg");
    EXPECT_EQ(Stored(std::u16string(250, u'x') + u".asp" + std::u16string(297, u'e')), u"");

    // Over names built from the characters that matter at the end of a name: the safe name never
    // ends where Windows would cut it, and it ends in exactly the extension reported.
    const std::u16string pieces[] = {u"a", u".", u" ", u":", u"asp", u"\\", u"|", u"\t"};
    for (const auto& p1 : pieces)
        for (const auto& p2 : pieces)
            for (const auto& p3 : pieces)
                for (const auto& p4 : pieces) {
                    const std::u16string name = u"x" + p1 + p2 + p3 + p4;
                    const std::u16string safe = Safe(name);
                    const std::u16string extension = Stored(name);
                    SCOPED_TRACE(std::string(name.begin(), name.end()));
                    EXPECT_TRUE(safe.empty() || !utils::IsDroppedAtNameEnd(safe.back()));
                    if (extension.empty())
                        EXPECT_EQ(safe.find(u'.'), std::u16string::npos);
                    else
                        EXPECT_TRUE(safe.ends_with(u"." + extension));
                    for (char16_t c : extension)
                        EXPECT_FALSE(utils::IsUnsafeFileNameChar(c) || c == u'.');
                }
}

} // namespace
