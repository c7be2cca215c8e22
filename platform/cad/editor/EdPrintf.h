#pragma once
// The host's command line: printf-style output with the Microsoft wide rules, captured
// for tests and passed on to whoever shows it (cadhost writes it to standard output).
#include <cstdarg>
#include <functional>
#include <string>

namespace ed {

// Formats as the Microsoft wide printf family does: %s and %c take wide text, %S and %C
// (and %hs, %hc) narrow text; %ls/%ws wide; numbers in the C locale. A conversion the
// Microsoft runtime does not know, and %n, are copied to the output as they stand.
std::wstring formatMs(const wchar_t* format, va_list args);
std::wstring formatMsV(const wchar_t* format, ...);

class CommandLine {
public:
    // Everything printed since the last clear().
    const std::wstring& text() const { return captured_; }
    void clear() { captured_.clear(); }
    void write(const std::wstring& text);
    // What is printed after the last line end: the prompt that waits, if any.
    const std::wstring& currentLine() const { return current_; }
    // Called with every piece of output as it is printed (null: nobody shows it).
    void setSink(std::function<void(const std::wstring&)> sink) { sink_ = std::move(sink); }

private:
    std::wstring captured_;
    std::wstring current_;
    std::function<void(const std::wstring&)> sink_;
};

CommandLine& commandLine();

} // namespace ed

int acutPrintf(const wchar_t* format, ...);
