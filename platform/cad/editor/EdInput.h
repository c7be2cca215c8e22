#pragma once
// The editor's input: every prompt, pick and selection takes the next input line.
// Lines come first from text sent to the document (sendStringToExecute), then from
// answers queued by a test, then from the installed source (cadhost's script and
// terminal). No line left means the end of input, which cancels the prompt.
#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace ed {

constexpr wchar_t kCancelLine[] = L"*Cancel*";

class Input {
public:
    using Source = std::function<std::optional<std::wstring>()>;
    void setSource(Source source) { source_ = std::move(source); }
    void queue(std::wstring line) { queued_.push_back(std::move(line)); }
    void pushFront(std::wstring line) { queued_.push_front(std::move(line)); }
    // Text sent to the document: read before anything else; an escape character cancels.
    void send(const std::wstring& text);
    void clear() {
        queued_.clear();
        sent_.clear();
    }
    size_t queuedCount() const { return queued_.size() + sent_.size(); }
    // The next line, or nothing at the end of input.
    std::optional<std::wstring> next();
    // When set, answers are written to the command line after their prompt, as a terminal shows them.
    void setEcho(bool echo) { echo_ = echo; }
    bool echo() const { return echo_; }
    // Called when prompts go on asking after the end of input (a caller that never takes a
    // cancel for an answer): the host ends the run instead of waiting for ever.
    void setRunawayHandler(std::function<void()> handler) { runaway_ = std::move(handler); }
    void noteEndOfInputPrompt();
    void noteAnswer() { endPrompts_ = 0; }
    // Told of each answer refused and asked for again (not a number, not a point, not an object):
    // the answer as given and why. A script's line refused so is a line not applied.
    using RefusalHandler = std::function<void(const std::wstring& answer, const std::wstring& why)>;
    void setRefusalHandler(RefusalHandler handler) { refusal_ = std::move(handler); }
    // The last answer given to a prompt.
    const std::wstring& lastAnswer() const { return lastAnswer_; }
    void noteAnswerText(std::wstring text) { lastAnswer_ = std::move(text); }
    void tellRefusal(const std::wstring& why) const {
        if (refusal_) refusal_(lastAnswer_, why);
    }
    // Told when a command ends in an error it said only on the command line (no error box).
    void setFailureHandler(std::function<void(const std::wstring& why)> handler) { failure_ = std::move(handler); }
    void tellFailure(const std::wstring& why) const {
        if (failure_) failure_(why);
    }

private:
    Source source_;
    std::deque<std::wstring> sent_;
    std::deque<std::wstring> queued_;
    bool echo_ = false;
    std::function<void()> runaway_;
    int endPrompts_ = 0;
    RefusalHandler refusal_;
    std::function<void(const std::wstring&)> failure_;
    std::wstring lastAnswer_;
};

Input& input();

// Prints the prompt and reads an answer. Nothing (with cancelled set) on a cancel line,
// an escape character or the end of input.
struct Answer {
    bool cancelled = false;
    std::wstring text;
};
Answer ask(const wchar_t* prompt);
// Refuses the last answer: says why on the command line (a line of its own) and tells the host.
void refuseAnswer(const std::wstring& why);

bool isCancelLine(const std::wstring& line);

} // namespace ed

int acedGetInt(const wchar_t* prompt, int* result);
int acedGetReal(const wchar_t* prompt, double* result);
// cronly 0: a blank ends the answer (the rest of the line is the next input), as the
// command line does; otherwise the whole line. The three-argument form fills a buffer of
// 133 characters and keeps the first 132 of a longer answer, as the command line does.
int acedGetString(int cronly, const wchar_t* prompt, wchar_t* result);
int acedGetString(int cronly, const wchar_t* prompt, wchar_t* result, size_t bufsize);
