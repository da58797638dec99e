#include <string>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "basDescriptions.h"

namespace {

const wchar_t* const Missing = L"Missing Info.";

TEST(Descriptions, CleanCompanyName) {
    FakePresenter boxes;
    struct Case {
        const wchar_t* company;
        const wchar_t* expected;
    } cases[] = {
        {L"Adobe Systems, Inc.", L"Adobe"},  // the text from the comma on goes first
        {L"Microsoft Corporation", L"Microsoft"},
        {L"IBM Corporation", L"IBM Corporation"},  // three letters left: the name keeps its word
        {L"", Missing},
        {L" .-, ", Missing},
        {L"Acme Incubators", L"Acmeubators"},  // a company word inside a longer word goes too
        {L"Sun Microsystems, Inc.", L"Sun Microsystems"},
        {L"Hewlett-Packard Development Company, L.P.", L"HewlettPackard Company"},
        {L"Nullsoft\tInc", L"NullsoftInc"},
        {L"  Caf\u00e9 Co.  ", L"Caf Co"},
        {L"Foo|Bar CORP.", L"Foo/Bar"},
        {L"A|B Corp", L"A/B Corp"},  // the short-name fallback keeps the "|" out
        {L"   Inc", L"Inc"},
    };
    for (const Case& c : cases) EXPECT_EQ(CleanCompanyName(c.company, Missing), c.expected) << c.company;
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(Descriptions, CleanProductName) {
    FakePresenter boxes;
    struct Case {
        const wchar_t* product;
        const wchar_t* words;
        const wchar_t* expected;
        const wchar_t* productAfter;
    } cases[] = {
        {L"Winamp's Player (R)", L"Winamp", L"Player", L"Winamp's Player (R)"},
        {L"WINAMP's winamp Player", L"winamp", L"Player", L"WINAMP's winamp Player"},
        {L"(R)", L"Acme", Missing, L"(R)"},
        {L"Adobe's Reader", L"", L"Adobe's Reader", L"Adobe's Reader"},  // an empty list removes nothing
        {L"Microsoft\u00ae Windows\u00ae Media Player", L"Microsoft Windows", L"Media Player",
         L"Microsoft Windows Media Player"},
        {L"Acme", L"acme", L"Acme", L"Acme"},  // nothing left: the cleaned name comes back
        {L"A|B (c) Tool\r\n", L"Zed", L"A/B  Tool", L"A|B (c) Tool"},
        {L"", L"Acme", Missing, L""},
    };
    for (const Case& c : cases) {
        std::wstring product = c.product;
        EXPECT_EQ(CleanProductName(product, c.words, Missing), c.expected) << c.product;
        EXPECT_EQ(product, c.productAfter) << c.product;
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(Descriptions, CleanFieldTextFitsAProgramListField) {
    FakePresenter boxes;
    struct Case {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"5, 1, 2600, 2180", L"5.1.2600.2180"},
        {L"1.0 | beta\t", L"1.0/beta"},
        {L"2.0 \u00df", L"2.0"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        std::wstring cleaned = CleanFieldText(c.text);
        EXPECT_EQ(cleaned, c.expected) << c.text;
        EXPECT_EQ(cleaned.find_first_of(L"| "), std::wstring::npos);
    }
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
