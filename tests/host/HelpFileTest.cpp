// The help file Lumox.chm as the build compiled it, read through the system's compiled-help
// storage as HTML Help reads it: its contents and every topic number that the suite's windows pass.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>

#include "HostTestSupport.h"
#include "HostWeb.h"
#include "basWinAPI_Help.h"

namespace {

// A file inside the help file, through the compiled-help storage's moniker ("MSITStore"); empty
// when it cannot be opened.
std::string ReadInside(const std::wstring& chm, const std::wstring& inside) {
    CLSID storage{};
    IParseDisplayName* parser = nullptr;
    if (FAILED(CLSIDFromProgID(L"MSITStore", &storage)) ||
        FAILED(CoCreateInstance(storage, nullptr, CLSCTX_INPROC_SERVER, IID_IParseDisplayName,
                                reinterpret_cast<void**>(&parser))))
        return {};
    IBindCtx* context = nullptr;
    IMoniker* moniker = nullptr;
    IStream* stream = nullptr;
    std::wstring name = L"@MSITStore:" + chm + L"::" + inside;
    ULONG eaten = 0;
    if (SUCCEEDED(CreateBindCtx(0, &context)) &&
        SUCCEEDED(parser->ParseDisplayName(context, &name[0], &eaten, &moniker)) && moniker)
        moniker->BindToStorage(context, nullptr, IID_IStream, reinterpret_cast<void**>(&stream));
    if (moniker) moniker->Release();
    if (context) context->Release();
    parser->Release();
    if (!stream) return {};
    std::string bytes;
    char buffer[4096];
    ULONG read = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof(buffer), &read)) && read > 0) bytes.append(buffer, read);
    stream->Release();
    return bytes;
}

std::string TitleOf(const std::string& page) {
    std::smatch m;
    return std::regex_search(page, m, std::regex("<title>([^<]*)</title>")) ? m[1].str() : std::string();
}

// The page the help file's context map gives a topic number; empty when the number is not mapped.
std::wstring PageOfTopic(const std::wstring& chm, DWORD topic) {
    const std::string map = ReadInside(chm, L"/#IVB");
    const std::string strings = ReadInside(chm, L"/#STRINGS");
    if (map.size() < sizeof(DWORD)) return {};
    for (size_t at = sizeof(DWORD); at + 2 * sizeof(DWORD) <= map.size(); at += 2 * sizeof(DWORD)) {
        DWORD number = 0, offset = 0;
        std::memcpy(&number, map.data() + at, sizeof(DWORD));
        std::memcpy(&offset, map.data() + at + sizeof(DWORD), sizeof(DWORD));
        if (number != topic || offset >= strings.size()) continue;
        const std::string page(strings.c_str() + offset);
        return std::wstring(page.begin(), page.end());
    }
    return {};
}

class HelpFile : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        chm_ = hosttest::BuiltHelpFilePath();
        ASSERT_NE(GetFileAttributesW(chm_.c_str()), INVALID_FILE_ATTRIBUTES) << "the build lays Lumox.chm out";
    }
    void TearDown() override { CoUninitialize(); }
    std::wstring chm_;
};

}  // namespace

TEST_F(HelpFile, EveryTopicNumberTheWindowsPassOpensItsPage) {
    // The Help and Tutorials menus, the help button, and the profession choice (100, 200, 300).
    struct Row {
        long topic;
        const char* title;
    };
    const Row rows[] = {
        {*HelpMenuTopic(0), "Lumox Help"},
        {*TutorialsMenuTopic(0), "Getting started with Lumox"},
        {400, "Lumox Help"},
        {100, "Lumox for accountants"},
        {200, "Lumox for webmasters"},
        {300, "Getting started with Lumox"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.topic);
        const std::wstring page = PageOfTopic(chm_, static_cast<DWORD>(row.topic));
        ASSERT_FALSE(page.empty()) << "the topic number is in the help file's map";
        EXPECT_EQ(TitleOf(ReadInside(chm_, page.front() == L'/' ? page : L"/" + page)), row.title);
    }
    EXPECT_TRUE(PageOfTopic(chm_, 12345).empty());
}

TEST_F(HelpFile, TheContentsLeadToEveryPage) {
    // Topic 0 opens the file at its first page, index.html, beside the contents tree.
    EXPECT_EQ(TitleOf(ReadInside(chm_, L"/index.html")), "Lumox Help");
    const std::string contents = ReadInside(chm_, L"/Lumox.hhc");
    ASSERT_FALSE(contents.empty());
    const std::regex local("<param name=\"Local\" value=\"([^\"]+)\">");
    int pages = 0;
    for (auto it = std::sregex_iterator(contents.begin(), contents.end(), local); it != std::sregex_iterator(); ++it) {
        const std::string name = (*it)[1].str();
        SCOPED_TRACE(name);
        EXPECT_FALSE(TitleOf(ReadInside(chm_, L"/" + std::wstring(name.begin(), name.end()))).empty());
        ++pages;
    }
    EXPECT_GE(pages, 11) << "contents, host, options, chooser, categories, aliases, restorer, previewers, tutorials";
}
