#include "tools/aspserve/loop_end_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using aspserve::TLoopEnd;
using aspserve::TLoopEndScanner;
using TKind = TLoopEnd::Kind;

// One line of VBScript and the loop ends the scanner must find in it ('^' marks each below it).
struct TVector {
    const char* line;
    const char* marks;
    std::vector<TKind> kinds;
};

const TVector kVectors[] = {
    {"Loop", "^", {TKind::Do}},
    {"  loop while x < 3", "  ^", {TKind::Do}},
    {"NEXT", "^", {TKind::For}},
    {"\tNext i", "\t^", {TKind::For}},
    {"Wend", "^", {TKind::While}},
    {"x = x + 1 : Loop", "            ^", {TKind::Do}},
    {"For i = 1 To 3: s = s & i: Next", "                           ^", {TKind::For}},
    {"Do: Loop", "    ^", {TKind::Do}},
    {"On Error Resume Next", "", {}},
    {"rs.MoveNext", "", {}},
    {"LoopCount = 1", "", {}},
    {"Nexting = Looped", "", {}},
    {"x = \"a: Loop\"", "", {}},
    {"x = \"say \"\"hi\"\": Next\" : Next", "                         ^", {TKind::For}},
    {"x = #1/2/2003 10:00:00#", "", {}},
    {"[my: name] = 1", "", {}},
    {"' Loop", "", {}},
    {"x = 1 ' : Loop", "", {}},
    {"Rem : Loop", "", {}},
    {"x = 1 : Rem Loop", "", {}},
    {"Loop : Loop", "^      ^", {TKind::Do, TKind::Do}},
    {"If a Then b : Else c", "", {}},
    {"If a Then Do While b : b = b - 1 : Loop", "", {}},
    {"If a Then ' comment : Next", "", {}},
    {"If a Then", "", {}},
    {"x = 1 : If a Then b = 1 : Next", "", {}},
    {"If a Then b = 1 : End If : Next", "", {}},
};

std::string MarksOf(const std::vector<TLoopEnd>& ends)
{
    std::string marks;
    for (const TLoopEnd& end : ends) {
        marks.resize(end.position, ' ');
        marks += '^';
    }
    return marks;
}

std::string Blanked(const char* marks)
{
    std::string text(marks); // tabs in the marks stand for themselves
    for (char& c : text)
        if (c == '\t')
            c = ' ';
    return text;
}

TEST(LoopEndScanner, FindsTheStatementsThatCloseALoop)
{
    for (const TVector& v : kVectors) {
        TLoopEndScanner scanner;
        const std::vector<TLoopEnd> ends = scanner.Scan(v.line);
        EXPECT_EQ(Blanked(v.marks), MarksOf(ends)) << v.line;
        std::vector<TKind> kinds;
        for (const TLoopEnd& end : ends)
            kinds.push_back(end.kind);
        EXPECT_EQ(v.kinds, kinds) << v.line;
    }
}

TEST(LoopEndScanner, AContinuedLineDoesNotStartAStatement)
{
    TLoopEndScanner scanner;
    EXPECT_TRUE(scanner.Scan("Call Foo(a, _").empty());
    EXPECT_TRUE(scanner.Scan("   Next)").empty()); // still inside the call, however odd
    EXPECT_EQ(1u, scanner.Scan("Next").size());
    EXPECT_TRUE(scanner.Scan("x = 1 ' comment _").empty());
    EXPECT_EQ(1u, scanner.Scan("Loop").size()); // a '_' inside a comment continues nothing
    EXPECT_TRUE(scanner.Scan("x = my_").empty());
    EXPECT_EQ(1u, scanner.Scan("Wend").size()); // nor does one that ends a name
}

} // namespace
