// The message catalogue frame: a message number becomes a text, a box style and a title by
// its range; the box is shown after a beep and the answer comes back.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "vb/VbVariant.h"

// Box styles and answers as the platform's message box knows them.
enum : long { StyleCritical = 16, StyleQuestion = 36, StyleInformation = 64 };
enum : int { AnswerOk = 1, AnswerYes = 6, AnswerNo = 7 };

// Shows the boxes. Tests put their own in place to see what would be shown and to answer.
class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    virtual void Beep() = 0;
    virtual int Show(const std::wstring& prompt, long style, const std::wstring& title) = 0;
};

// Installs a presenter (nullptr restores the real one); answers the previous one.
MessagePresenter* SetMessagePresenter(MessagePresenter* presenter);
MessagePresenter& CurrentMessagePresenter();

// The window a deliverable's boxes belong to when it runs inside another program's frame (the
// options library inside the host's): answers that frame's window, or nullptr when there is
// none. Without a finder the boxes belong to this thread's active window. Answers the previous.
using MessageOwnerFinder = HWND (*)();
MessageOwnerFinder SetMessageOwnerFinder(MessageOwnerFinder finder);
// The owner the real presenter gives its box: the frame (or its dialog in front) when the
// finder names one, even while the frame is hidden or another program is in front; otherwise
// the active window.
HWND MessageBoxOwner();

// Stands in front of another presenter and keeps every box and beep from it while silent()
// answers true on the calling thread (a deliverable that must never show a box to a user who
// is only opening a file). Install puts it in front of whichever presenter is current.
class SilentPresenter : public MessagePresenter {
public:
    explicit SilentPresenter(bool (*silent)()) : silent_(silent) {}
    void Beep() override;
    int Show(const std::wstring& prompt, long style, const std::wstring& title) override;
    void Install();

private:
    bool (*silent_)();
    MessagePresenter* next_ = nullptr;
};

// A deliverable's own rows: fills the text (and, for a few rows, the title) of message n.
// Answers false when n has no row.
using MessageRowLookup = bool (*)(long n, std::wstring& text, std::wstring& title);
// The ends of the information and question ranges, which differ between deliverables; the
// error range is 4000 to 4003 and the catalogue's window runs from 4000 to the question range's end.
struct MessageRanges {
    long informationLast = 4549;
    long questionLast = 5009;
};
void SetMessageRows(MessageRowLookup lookup, MessageRanges ranges = {});

// Number: MessageBase + n for the catalogue's rows. Title, Text and Quiet as optional
// arguments; Text is passed by reference (quiet mode writes the message text into it).
// Answers the box's answer, 1, -1, -2, -3 or Null.
vb::Variant MessageHandler(long number, std::optional<std::wstring> title = std::nullopt,
                           std::wstring* text = nullptr, std::optional<bool> quiet = std::nullopt);
