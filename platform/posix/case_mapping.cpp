// Case mapping and base letters for the scripts of the supported code pages.
#include "platform/posix/case_mapping.h"

namespace platform::detail {
namespace {

// Base letters of U+00C0..U+00FF; 0 where there is none (multiplication sign, thorn, sharp s).
constexpr char kLatin1Base[] = "AAAAAAACEEEEIIIIDNOOOOO\0OUUUUY\0\0aaaaaaaceeeeiiiidnooooo\0ouuuuy\0y";
static_assert(sizeof(kLatin1Base) == 64 + 1);

// Base letters of U+0100..U+017F.
constexpr char kLatinExtABase[] = "AaAaAa"
                                  "CcCcCcCc"
                                  "DdDd"
                                  "EeEeEeEeEe"
                                  "GgGgGgGg"
                                  "HhHh"
                                  "IiIiIiIiIi"
                                  "Ii"
                                  "Jj"
                                  "Kkk"
                                  "LlLlLlLlLl"
                                  "NnNnNn"
                                  "n"
                                  "Nn"
                                  "OoOoOo"
                                  "Oo"
                                  "RrRrRr"
                                  "SsSsSsSs"
                                  "TtTtTt"
                                  "UuUuUuUuUuUu"
                                  "Ww"
                                  "YyY"
                                  "ZzZzZz"
                                  "s";
static_assert(sizeof(kLatinExtABase) == 128 + 1);

/// Latin Extended-A pairs: upper case at even code points in 0100-0137 and 014A-0177, at odd
/// ones in 0139-0148 and 0179-017E.
bool ExtAIsUpper(OLECHAR c)
{
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return (c & 1) == 0;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) == 1;
    return false;
}

bool ExtAIsLower(OLECHAR c)
{
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return (c & 1) == 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) == 0;
    return false;
}

} // namespace

OLECHAR ToLowerChar(OLECHAR c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? static_cast<OLECHAR>(c + 32) : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<OLECHAR>(c + 32);
    if (c == 0x130) // dotted capital I stays as it is
        return c;
    if (ExtAIsUpper(c))
        return static_cast<OLECHAR>(c + 1);
    if (c == 0x178)
        return 0xFF;
    // Greek
    if (c == 0x386)
        return 0x3AC;
    if (c >= 0x388 && c <= 0x38A)
        return static_cast<OLECHAR>(c + 37);
    if (c == 0x38C)
        return 0x3CC;
    if (c == 0x38E || c == 0x38F)
        return static_cast<OLECHAR>(c + 63);
    if ((c >= 0x391 && c <= 0x3A1) || (c >= 0x3A3 && c <= 0x3AB))
        return static_cast<OLECHAR>(c + 32);
    // Cyrillic
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<OLECHAR>(c + 80);
    if (c >= 0x410 && c <= 0x42F)
        return static_cast<OLECHAR>(c + 32);
    if (c >= 0x490 && c <= 0x4BF && (c & 1) == 0)
        return static_cast<OLECHAR>(c + 1);
    return c;
}

OLECHAR ToUpperChar(OLECHAR c)
{
    if (c < 0x80)
        return (c >= u'a' && c <= u'z') ? static_cast<OLECHAR>(c - 32) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<OLECHAR>(c - 32);
    if (c == 0xFF)
        return 0x178;
    if (c == 0x131) // dotless small i stays as it is
        return c;
    if (ExtAIsLower(c))
        return static_cast<OLECHAR>(c - 1);
    if (c == 0x3AC)
        return 0x386;
    if (c >= 0x3AD && c <= 0x3AF)
        return static_cast<OLECHAR>(c - 37);
    if (c == 0x3CC)
        return 0x38C;
    if (c == 0x3CD || c == 0x3CE)
        return static_cast<OLECHAR>(c - 63);
    if ((c >= 0x3B1 && c <= 0x3C1) || (c >= 0x3C3 && c <= 0x3CB))
        return static_cast<OLECHAR>(c - 32);
    if (c == 0x3C2) // final sigma
        return 0x3A3;
    if (c >= 0x430 && c <= 0x44F)
        return static_cast<OLECHAR>(c - 32);
    if (c >= 0x450 && c <= 0x45F)
        return static_cast<OLECHAR>(c - 80);
    if (c >= 0x491 && c <= 0x4BF && (c & 1) == 1)
        return static_cast<OLECHAR>(c - 1);
    return c;
}

char BaseLetter(OLECHAR c)
{
    if (c >= 0xC0 && c <= 0xFF)
        return kLatin1Base[c - 0xC0];
    if (c >= 0x100 && c <= 0x17F)
        return kLatinExtABase[c - 0x100];
    return 0;
}

} // namespace platform::detail
