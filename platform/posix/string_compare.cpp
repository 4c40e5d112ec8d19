// VarBstrCmp: an approximation of the locale-aware comparison ("word sort") for the user's
// default locale. Levels, each deciding only when all earlier ones tie:
//   1. base characters, ignoring case and accents; blanks and controls < other symbols < digits <
//      Latin letters (alphabetical) < other letters (by code point); '-' and '\'' are skipped;
//      ß, æ, œ compare as ss, ae, oe;
//   2. accents: at the first position whose characters differ in accent only, the lower code wins;
//   3. case: at the first position differing in case only, lower case comes first;
//   4. the skipped hyphens and apostrophes: the string with fewer comes first, then code order.
// Flag NORM_IGNORECASE drops level 3.
#include "platform/posix/automation.h"
#include "platform/posix/case_mapping.h"

#include <string>
#include <vector>

namespace {

using platform::detail::BaseLetter;
using platform::detail::ToLowerChar;

struct Weighted {
    uint32_t primary;
    OLECHAR accent; // the character lower-cased, telling accented letters apart
    bool upper;
};

bool IsIgnorable(OLECHAR c)
{
    return c == u'-' || c == u'\'' || c == 0x2010 || c == 0x2011;
}

uint32_t PrimaryWeight(OLECHAR lower)
{
    if (lower < 0x20 || lower == u' ' || (lower >= 0x7F && lower <= 0xA0))
        return 0x10000u | lower;
    if (lower >= u'0' && lower <= u'9')
        return 0x30000u | lower;
    if (lower >= u'a' && lower <= u'z')
        return 0x40000u | lower;
    if (char base = BaseLetter(lower))
        return 0x40000u | static_cast<unsigned char>(base);
    if (lower < 0x80 || (lower >= 0xA0 && lower <= 0xBF) || lower == 0xD7 || lower == 0xF7 ||
        (lower >= 0x2000 && lower <= 0x206F))
        return 0x20000u | lower;
    return 0x50000u | lower;
}

void Append(std::vector<Weighted>& out, OLECHAR c)
{
    OLECHAR lower = ToLowerChar(c);
    out.push_back({PrimaryWeight(lower), lower, lower != c});
}

/// Weights of a string, with the expansions of the ligatures and sharp s; ignorables go to skipped.
std::vector<Weighted> Weigh(const OLECHAR* s, UINT n, std::u16string& skipped)
{
    std::vector<Weighted> out;
    out.reserve(n);
    for (UINT i = 0; i < n; ++i) {
        OLECHAR c = s[i];
        if (IsIgnorable(c)) {
            skipped.push_back(c);
            continue;
        }
        switch (c) {
        case 0xDF:
            Append(out, u's');
            Append(out, u's');
            break;
        case 0xE6:
            Append(out, u'a');
            Append(out, u'e');
            break;
        case 0xC6:
            Append(out, u'A');
            Append(out, u'E');
            break;
        case 0x153:
            Append(out, u'o');
            Append(out, u'e');
            break;
        case 0x152:
            Append(out, u'O');
            Append(out, u'E');
            break;
        default: Append(out, c);
        }
    }
    return out;
}

int Sign(long long v)
{
    return v < 0 ? -1 : v > 0 ? 1 : 0;
}

int Compare(const OLECHAR* a, UINT na, const OLECHAR* b, UINT nb, bool ignoreCase)
{
    std::u16string skippedA, skippedB;
    std::vector<Weighted> wa = Weigh(a, na, skippedA);
    std::vector<Weighted> wb = Weigh(b, nb, skippedB);
    size_t common = wa.size() < wb.size() ? wa.size() : wb.size();
    for (size_t i = 0; i < common; ++i)
        if (wa[i].primary != wb[i].primary)
            return Sign(static_cast<long long>(wa[i].primary) - wb[i].primary);
    if (wa.size() != wb.size())
        return wa.size() < wb.size() ? -1 : 1;
    for (size_t i = 0; i < common; ++i)
        if (wa[i].accent != wb[i].accent)
            return Sign(static_cast<long long>(wa[i].accent) - wb[i].accent);
    if (!ignoreCase)
        for (size_t i = 0; i < common; ++i)
            if (wa[i].upper != wb[i].upper)
                return wa[i].upper ? 1 : -1;
    if (skippedA.size() != skippedB.size())
        return skippedA.size() < skippedB.size() ? -1 : 1;
    return Sign(skippedA.compare(skippedB));
}

} // namespace

HRESULT VarBstrCmp(BSTR bstrLeft, BSTR bstrRight, LCID, ULONG dwFlags)
{
    UINT na = SysStringLen(bstrLeft);
    UINT nb = SysStringLen(bstrRight);
    int r = Compare(bstrLeft, na, bstrRight, nb, (dwFlags & NORM_IGNORECASE) != 0);
    return r < 0 ? VARCMP_LT : r > 0 ? VARCMP_GT : VARCMP_EQ;
}
