// The data files' reader when a read fails part way: no short file is taken for the whole one,
// since the next save would write it back.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "DataTestSupport.h"
#include "basTextFiles.h"
#include "basUserChoices.h"

namespace {

// A source that hands over the first part of its bytes and then breaks off: a named pipe whose
// other end writes a part and goes, so that the reader's next ReadFile fails.
class BrokenOffSource {
public:
    explicit BrokenOffSource(const std::wstring& name, std::string part)
        : path_(L"\\\\.\\pipe\\" + name), part_(std::move(part)) {
        pipe_ = CreateNamedPipeW(path_.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0,
                                 nullptr);
        if (pipe_ == INVALID_HANDLE_VALUE) return;
        writer_ = std::thread([this] {
            if (!ConnectNamedPipe(pipe_, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) return;
            DWORD done = 0;
            WriteFile(pipe_, part_.data(), static_cast<DWORD>(part_.size()), &done, nullptr);
            FlushFileBuffers(pipe_);  // the reader has the part
            CloseHandle(pipe_);
            pipe_ = INVALID_HANDLE_VALUE;
        });
    }
    ~BrokenOffSource() {
        if (writer_.joinable()) {
            // A reader that never came: let the writer's wait end.
            HANDLE unblock = CreateFileW(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            writer_.join();
            if (unblock != INVALID_HANDLE_VALUE) CloseHandle(unblock);
        }
        if (pipe_ != INVALID_HANDLE_VALUE) CloseHandle(pipe_);
    }
    BrokenOffSource(const BrokenOffSource&) = delete;
    BrokenOffSource& operator=(const BrokenOffSource&) = delete;

    bool Ready() const { return writer_.joinable(); }
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
    std::string part_;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
    std::thread writer_;
};

TEST(TextFilesTest, AReadThatFailsPartWayIsNoFile) {
    const std::string part = ".txt|Acme - Edit|1.0|OK-A|C:\\e.exe|C:\\E.EXE\r\n.doc|Acme - Ed";
    {
        BrokenOffSource source(L"LumoxBrokenBytes" + std::to_wstring(GetCurrentProcessId()), part);
        ASSERT_TRUE(source.Ready());
        std::string bytes = "as it was";
        EXPECT_FALSE(ReadFileBytes(source.Path(), bytes));
        EXPECT_EQ(bytes, "as it was");
    }
    {
        BrokenOffSource source(L"LumoxBrokenLines" + std::to_wstring(GetCurrentProcessId()), part);
        ASSERT_TRUE(source.Ready());
        std::vector<std::wstring> lines = {L"as it was"};
        EXPECT_FALSE(ReadTextLines(source.Path(), lines));
        EXPECT_EQ(lines, std::vector<std::wstring>{L"as it was"});
    }
    {
        // An override list read from such a source keeps what it held.
        BrokenOffSource source(L"TesselAdd.dat", part);
        ASSERT_TRUE(source.Ready());
        AddList().Clear();
        AddList().Add(L".htm|Acme - Edit|1.0|OK-A|C:\\e.exe|C:\\E.EXE");
        LoadUserChoiceFile(source.Path());
        ASSERT_EQ(AddList().Count(), 1);
        EXPECT_EQ(AddList()[1], L".htm|Acme - Edit|1.0|OK-A|C:\\e.exe|C:\\E.EXE");
        AddList().Clear();
    }
}

}  // namespace
