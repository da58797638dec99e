#include <gtest/gtest.h>

#include "basXmlFiles.h"
#include "vb/VbText.h"

namespace {

struct EscapeCase {
    const wchar_t* plain;
    const wchar_t* escaped;
};

TEST(CvtForXmlParser, EscapesEachRunOfSpecialCharacters) {
    const EscapeCase cases[] = {
        {L"", L""},
        {L"plain text 123", L"plain text 123"},
        {L"a<b", L"a{[~3C~]}b"},
        {L"x<>y", L"x{[~3C3E~]}y"},
        {L"Smith & Sons", L"Smith {[~26~]} Sons"},
        {L"\"quoted\"", L"{[~22~]}quoted{[~22~]}"},
        {L"it's", L"it{[~27~]}s"},
        {L"tab\there", L"tab{[~09~]}here"},
        {L"line\r\nbreak", L"line{[~0D0A~]}break"},
        {L"<&>", L"{[~3C263E~]}"},
        {L"~]}{[~", L"~]}{[~7B~]}[~"},
        // A text that holds an escaped run reads back as written, not as the run's character;
        // braces elsewhere stay readable.
        {L"{[~41~]}", L"{[~7B~]}[~41~]}"},
        {L"CLSID\\{00021401-0000}", L"CLSID\\{00021401-0000}"},
        {L"{{[~", L"{{[~7B~]}[~"},
        {L"del\x7F", L"del\x7F"},  // 127 is not special
    };
    for (const EscapeCase& c : cases) {
        EXPECT_EQ(CvtForXmlParser(c.plain, XmlEscape), c.escaped) << vb::ToAnsi(c.plain);
        EXPECT_EQ(CvtForXmlParser(c.escaped, XmlUnescape), c.plain) << vb::ToAnsi(c.escaped);
    }
}

TEST(CvtForXmlParser, CharactersAboveAsciiTravelAsTheirAnsiCodes) {
    // An accented letter of the ANSI code page comes back as itself.
    const std::wstring name = vb::FromAnsi("Caf\xE9 M\xFCller");
    std::wstring escaped = CvtForXmlParser(name, XmlEscape);
    for (wchar_t c : escaped) EXPECT_TRUE(c >= 32 && c <= 127) << escaped.size();
    EXPECT_NE(escaped.find(L"{[~"), std::wstring::npos);
    EXPECT_EQ(CvtForXmlParser(escaped, XmlUnescape), name);
}

TEST(CvtForXmlParser, UnescapeLeavesIncompleteOrForeignMarkersAlone) {
    const EscapeCase cases[] = {
        {L"open {[~41 without close", L"open {[~41 without close"},
        {L"close only 41~]}", L"close only 41~]}"},
        {L"{[~41~]}{[~42~]}", L"AB"},
        {L"lower {[~6a~]}", L"lower j"},
        {L"odd {[~414~]} digits", L"odd {[~414~]} digits"},
        {L"not hex {[~ZZ~]}", L"not hex {[~ZZ~]}"},
        {L"{[~~]}", L"{[~~]}"},
    };
    for (const EscapeCase& c : cases)
        EXPECT_EQ(CvtForXmlParser(c.plain, XmlUnescape), c.escaped) << vb::ToAnsi(c.plain);
    // Any mode other than 12 unescapes.
    EXPECT_EQ(CvtForXmlParser(L"a{[~3C~]}b", 0), L"a<b");
}

}  // namespace
