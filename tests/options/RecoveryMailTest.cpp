#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "OptionsTestSupport.h"
#include "RecoveryMail.h"
#include "basErrorHandler.h"
#include "basWinAPI_Email.h"
#include "vb/VbText.h"

using optionstest::FakeDispatch;
using optionstest::PercentDecode;

namespace {

size_t Count(const std::wstring& text, const std::wstring& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

// The addresses the shell was asked to open, in place of a mail program.
std::vector<std::wstring> g_opened;
INT_PTR g_shellAnswer = 42;
HINSTANCE RecordOpen(HWND, const std::wstring& address) {
    g_opened.push_back(address);
    return reinterpret_cast<HINSTANCE>(g_shellAnswer);
}

FakeDispatch* g_face = nullptr;
HRESULT FakeFace(IDispatch** face) {
    g_face->AddRef();
    *face = g_face;
    return S_OK;
}
HRESULT NoFace(IDispatch** face) {
    *face = nullptr;
    return REGDB_E_CLASSNOTREG;
}

class RecoveryMailTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRows(LibraryMessageRow);
        g_opened.clear();
        g_shellAnswer = 42;
        g_face = &face;
        previousOpen = SetShellOpenFunction(&RecordOpen);
        previousFactory = SetPlugInFaceFactory(&FakeFace);
    }
    void TearDown() override {
        SetShellOpenFunction(previousOpen);
        SetPlugInFaceFactory(previousFactory);
        ErrorHandler(ehClearAll);
    }
    FakeDispatch face{{{L"ProductName", vb::Variant(L"Lumox Expert")}, {L"Version", vb::Variant(L"1.2.34")}}};
    FakePresenter boxes;
    ShellOpenFunction previousOpen = nullptr;
    PlugInFaceFactory previousFactory = nullptr;
};

}  // namespace

TEST_F(RecoveryMailTest, BodyAndSubjectAsTheSupportDepartmentReadsThem) {
    struct Case {
        const wchar_t* content;
        const wchar_t* decodedBody;
        std::vector<const wchar_t*> encodedPieces;  // must stand in the encoded body
    };
    const Case cases[] = {
        {L"[Lumox]\r\nLog Snapshot=1\r\nScanning Progress=C:\\Tools\r\n",
         L"<HTML><HEAD></HEAD><BODY>[Lumox]<BR>Log Snapshot=1<BR>Scanning Progress=C:\\Tools<BR></BODY></HTML>",
         {L"%3CBR%3E", L"Log%20Snapshot%3D1", L"C:%5CTools"}},
        {L"Key=a&b\r\nRate=50%\r\nFile=#1?x\r\n",
         L"<HTML><HEAD></HEAD><BODY>Key=a&b<BR>Rate=50%<BR>File=#1?x<BR></BODY></HTML>",
         {L"a%26b", L"50%25", L"%231%3Fx"}},
        // A CR of its own inside a line, and characters above 127.
        {L"a\rb\r\nCaf\u00E9=\u20AC\r\n", L"<HTML><HEAD></HEAD><BODY>a\rb<BR>Caf\u00E9=\u20AC<BR></BODY></HTML>",
         {L"a%0Db", L"Caf%C3%A9%3D%E2%82%AC"}},
        // A last line without its line break gets no "<BR>".
        {L"only", L"<HTML><HEAD></HEAD><BODY>only</BODY></HTML>", {L"only%3C%2FBODY"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(vb::ToAnsi(c.content));
        RecoveryMail mail = BuildRecoveryMail(c.content, L"Lumox Expert", L"1.2.34");
        EXPECT_EQ(mail.to, L"Support%20%3Csupport@morva.example%3E");  // no blank or bracket ends the request
        EXPECT_EQ(PercentDecode(mail.body), c.decodedBody);
        for (const wchar_t* piece : c.encodedPieces) EXPECT_NE(mail.body.find(piece), std::wstring::npos) << vb::ToAnsi(piece);
        for (wchar_t raw : std::wstring(L"&#?<>\r\n\u00E9 ")) EXPECT_EQ(mail.body.find(raw), std::wstring::npos);
        EXPECT_FALSE(mail.shortened);
        EXPECT_EQ(PercentDecode(mail.subject), L"Morva recovery information for: Lumox Expert,  version: 1.2.34");
    }
    EXPECT_EQ(Count(PercentDecode(BuildRecoveryMail(cases[0].content, L"P", L"1").body), L"<BR>"), 3u);
}

TEST_F(RecoveryMailTest, ALongFileIsCutAtAWholeLineToKeepTheAddressShort) {
    std::wstring content;
    std::vector<std::wstring> lines;
    for (int i = 0; i < 200; ++i) {
        lines.push_back(L"Detail " + std::to_wstring(i) + L"=C:\\Program Files\\Some Tool\\tool" + std::to_wstring(i) +
                        L".exe");
        content += lines.back() + L"\r\n";
    }
    RecoveryMail mail = BuildRecoveryMail(content, L"Lumox Expert", L"1.2.34");
    EXPECT_TRUE(mail.shortened);
    const std::wstring address = BuildMailtoAddress(mail.to, mail.subject, mail.body, L"", L"");
    EXPECT_LE(address.size(), kMailtoAddressLimit);
    EXPECT_GT(address.size(), kMailtoAddressLimit - 120) << "as many lines as fit";

    std::wstring body = PercentDecode(mail.body);
    ASSERT_TRUE(vb::EndsWith(body, L"<BR></BODY></HTML>", vb::BinaryCompare)) << "the cut falls between lines";
    body = body.substr(25, body.size() - 25 - 14);
    auto kept = vb::Split(body, L"<BR>");
    ASSERT_GE(kept.size(), 2u);
    kept.pop_back();  // after the last "<BR>"
    for (size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(kept[i], lines[i]);
}

TEST_F(RecoveryMailTest, SentThroughTheShellWithTheNameAndVersionOfANewPlugInFace) {
    const LONG before = face.References();
    EXPECT_TRUE(SendRecoveryMail(L"A=1\r\nB=2\r\n", nullptr));
    ASSERT_EQ(g_opened.size(), 1u);
    const std::wstring& address = g_opened[0];
    EXPECT_TRUE(vb::StartsWith(address,
                               L"mailto:Support%20%3Csupport@morva.example%3E?Subject=Morva%20recovery%20information%20for:"
                               L"%20Lumox%20Expert,%20%20version:%201.2.34&Body=%3CHTML%3E",
                               vb::BinaryCompare))
        << vb::ToAnsi(address);
    EXPECT_EQ(address.find(L"CC="), std::wstring::npos);
    EXPECT_EQ(face.References(), before) << "the plug-in face is released";
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(RecoveryMailTest, NoMailProgramIsSaidOnceAndAnswersFalse) {
    g_shellAnswer = 2;
    EXPECT_FALSE(SendRecoveryMail(L"A=1\r\n", nullptr));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(optionstest::Unwrapped(boxes.shown[0].prompt).find(L"default email program"), std::wstring::npos);
}

TEST_F(RecoveryMailTest, APlugInFaceThatCannotBeMadeRaises) {
    SetPlugInFaceFactory(&NoFace);
    EXPECT_THROW(SendRecoveryMail(L"A=1\r\n", nullptr), vb::Error);
    vb::Err().Clear();
    EXPECT_TRUE(g_opened.empty());
}
