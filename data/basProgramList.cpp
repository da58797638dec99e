#include "basProgramList.h"

#include <windows.h>

#include "vb/VbText.h"
#include "vb/VbThreadState.h"

namespace {

struct ProgramListState {
    std::vector<std::wstring> Lines;
    long LineLast = -1;
};

ProgramListState& State() { return vb::ThreadInstance<ProgramListState>(); }

long Clamp(long value, long lo, long hi) { return value < lo ? lo : (value > hi ? hi : value); }

}  // namespace

const std::wstring& Field(const std::vector<std::wstring>& fields, size_t index) {
    static const std::wstring empty;
    return index < fields.size() ? fields[index] : empty;
}

std::vector<std::wstring>& ProgramLines() { return State().Lines; }
long& ProgramLineLast() { return State().LineLast; }

void SetProgramLines(std::vector<std::wstring> lines) {
    ProgramListState& state = State();
    state.Lines = std::move(lines);
    state.LineLast = static_cast<long>(state.Lines.size()) - 1;
}

std::wstring LowerCase(std::wstring text) {
    if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring GetExeLineKey(const std::wstring& line) {
    std::vector<std::wstring> fields = vb::Split(line, L"|");
    return LowerCase(Field(fields, 0) + Field(fields, 1) + Field(fields, 2) + Field(fields, 3));
}

bool CompareExeKey(const std::wstring& path, const std::wstring& line) {
    std::vector<std::wstring> fields = vb::Split(line, L"|");
    if (fields.size() < 4) return false;
    return LowerCase(fields[3]) == path;
}

bool IsLineAsArrayValidExe(const std::vector<std::wstring>& entry) {
    const std::vector<std::wstring>& lines = ProgramLines();
    const long hi = ProgramLineLast() < static_cast<long>(lines.size()) ? ProgramLineLast()
                                                                          : static_cast<long>(lines.size()) - 1;
    if (hi < 0) return false;
    const std::wstring key =
        LowerCase(Field(entry, 1) + Field(entry, 2) + Field(entry, 3).substr(0, 2) + Field(entry, 4));
    const std::wstring path = LowerCase(Field(entry, 4));
    auto compare = [&](long i) { return vb::StrComp(key, GetExeLineKey(lines[i]), vb::BinaryCompare); };

    // Narrow in on the key, taking a long-path match on the way.
    const long lo = 0;
    long step = (hi - lo) / 2;
    long mid = lo + step;
    int r;
    do {
        if (CompareExeKey(path, lines[mid])) {
            r = 0;
        } else {
            r = compare(mid);
            step /= 2;
            mid = Clamp(mid + r * step, lo, hi);
        }
    } while (step != 0 && r != 0);
    if (r == 0) return true;

    // Walk from there in the key's direction until the comparison turns.
    mid = Clamp(mid, lo, hi);
    if (CompareExeKey(path, lines[mid])) return true;
    const int d = compare(mid);
    if (d == 0) return true;
    long j = Clamp(mid + d, lo, hi);
    for (;;) {
        if (CompareExeKey(path, lines[j])) return true;
        r = compare(j);
        if (r == 0) return true;
        if (r != d) return false;
        j += r;
        if (j < lo || j > hi) return false;
    }
}
