#pragma once
// Reads input lines from a script or the terminal, one syntax for both.
#include <istream>
#include <optional>
#include <string>

namespace cadhost {

// Removes a comment (';' at the start of the line or after a blank), a carriage return
// and trailing blanks. Sets wasComment when the line held nothing but a comment.
std::string stripLine(const std::string& raw, bool* wasComment = nullptr);

// The first control character other than tab in a line, named for a message ("NUL at column
// 12"); empty when there is none. A NUL would cut the line short where it is handed on as a C
// string; an Esc inside a name would reach a file name given to a file dialog.
std::string controlCharacterIn(const std::string& line);
// The first byte that does not belong to UTF-8 text, named for a message ("byte 0xE9 at
// column 4"); empty when the line is UTF-8.
std::string invalidUtf8In(const std::string& line);

class LineReader {
public:
    LineReader(std::istream& in, std::string name) : in_(in), name_(std::move(name)) {}
    // The next line that is not only a comment, or nothing at the end of the stream. A
    // byte-order mark at the start of the stream is skipped. A line longer than kMaxLine bytes
    // ends the stream. A read cut short by Ctrl-C gives nothing too, and keeps what it read of
    // the line for the next call.
    std::optional<std::string> next();
    // Reads on after the end of the stream: a terminal is read again after Ctrl-D.
    void resume();
    // Why the line next() returned may not be applied (a control character in it, a line too
    // long); empty when it may.
    const std::string& refusal() const { return refusal_; }
    static constexpr std::size_t kMaxLine = 1 << 20;
    int lineNumber() const { return line_; }
    const std::string& name() const { return name_; }

private:
    std::istream& in_;
    std::string name_;
    int line_ = 0;
    bool ended_ = false;
    std::string refusal_;
    std::string partial_; // the start of a line whose reading Ctrl-C cut short
};

} // namespace cadhost
