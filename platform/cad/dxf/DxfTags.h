#pragma once
// Group code / value pairs of a DXF file, and the text encodings they come in.
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dxf {

// A tag's value. Up to 11 bytes (nearly every value of a drawing: numbers, handles, names) are kept in
// the tag itself and longer ones on the heap with their length, so a tag takes 16 bytes: a drawing is
// millions of tags, and while a file is read they are what the process holds most. The longer values
// every drawing repeats (subclass markers, record types) share one block made once and never freed.
class TagValue {
public:
    TagValue() = default;
    TagValue(std::string_view s) { assign(s); }
    TagValue(const char* s) { assign(std::string_view(s)); }
    TagValue(const std::string& s) { assign(std::string_view(s)); }
    TagValue(const TagValue& o) {
        if (o.small_ == kShared) {
            small_ = kShared;
            std::memcpy(buf_, o.buf_, sizeof buf_);
        } else {
            assign(o.view());
        }
    }
    TagValue(TagValue&& o) noexcept : small_(o.small_) {
        std::memcpy(buf_, o.buf_, sizeof buf_);
        o.small_ = 0;
    }
    TagValue& operator=(const TagValue& o) {
        assign(o.view());
        return *this;
    }
    TagValue& operator=(TagValue&& o) noexcept {
        if (this != &o) {
            release();
            small_ = o.small_;
            std::memcpy(buf_, o.buf_, sizeof buf_);
            o.small_ = 0;
        }
        return *this;
    }
    TagValue& operator=(std::string_view s) {
        assign(s);
        return *this;
    }
    TagValue& operator=(const char* s) { return *this = std::string_view(s); }
    TagValue& operator=(const std::string& s) { return *this = std::string_view(s); }
    ~TagValue() { release(); }

    void assign(std::string_view s);
    void assign(const char* p, std::size_t n) { assign(std::string_view(p, n)); }
    void clear() { assign(std::string_view()); }
    const char* data() const { return onHeap() ? heapBlock() + sizeof(std::size_t) : buf_; }
    std::size_t size() const {
        if (!onHeap()) return small_;
        std::size_t n;
        std::memcpy(&n, heapBlock(), sizeof n);
        return n;
    }
    bool empty() const { return small_ == 0; }
    const char* begin() const { return data(); }
    const char* end() const { return data() + size(); }
    char operator[](std::size_t i) const { return data()[i]; }
    char front() const { return data()[0]; }
    char back() const { return data()[size() - 1]; }
    std::string_view view() const {
        if (!onHeap()) return {buf_, small_};
        const char* block = heapBlock();
        std::size_t n;
        std::memcpy(&n, block, sizeof n);
        return {block + sizeof n, n};
    }
    operator std::string_view() const { return view(); }
    std::string str() const { return std::string(view()); }
    friend bool operator==(const TagValue& a, std::string_view b) { return a.view() == b; }
    friend std::string operator+(std::string a, const TagValue& b) { return a.append(b.view()); }
    friend std::string operator+(const TagValue& a, std::string_view b) { return a.str().append(b); }

private:
    static constexpr std::size_t kInline = 11;
    // In small_: buf_ holds where the length and the text are, a block of this value's own or a shared one.
    static constexpr unsigned char kOnHeap = 0xFF;
    static constexpr unsigned char kShared = 0xFE;
    bool onHeap() const { return small_ >= kShared; }
    const char* heapBlock() const {
        const char* p;
        std::memcpy(&p, buf_, sizeof p);
        return p;
    }
    void release() {
        if (small_ == kOnHeap) delete[] heapBlock();
    }
    unsigned char small_ = 0; // the length of a value held here, or kOnHeap
    char buf_[kInline];       // the text itself, or where it is on the heap
};
std::ostream& operator<<(std::ostream& out, const TagValue& v);

struct Tag {
    int code = 0;
    TagValue value; // UTF-8 once decoded
};
using Tags = std::vector<Tag>;

// A file the reader will not take at all (binary DXF, DWG, not a drawing).
class Refused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class FileKind { Ascii, BinaryDxf, Dwg, NotText };
FileKind sniff(std::string_view bytes);

// Splits DXF text into tags. Tolerates "\r\n", "\n" and lone "\r" line ends, blanks around group
// codes, a UTF-8 byte-order mark and 999 comments. A group code that is no number is reported and
// the tokenizer skips ahead to the next 0 group code (not a value "0"), so one bad line loses one record.
class Tokenizer {
public:
    enum class Result { Tag, End, Bad };
    explicit Tokenizer(std::string_view text);
    Result next(Tag& tag);
    std::size_t line() const { return line_; }          // line of the last group code read
    const std::string& error() const { return error_; } // text for the last Bad
    std::string_view rest() const { return text_.substr(pos_); }
    std::size_t offset() const { return pos_; } // of the next line; the text before it is not read again
    bool atEnd() const { return pos_ >= text_.size(); }

private:
    bool readLine(std::string_view& out);
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t line_ = 0;
    std::size_t lineNo_ = 0;
    bool crOnly_ = false;
    std::string error_;
};

// The code page a drawing's $DWGCODEPAGE names, and its 8-bit text read as UTF-8. Every name a DXF file
// may carry is read as what it names (ANSI_1251, gb2312, big5, ksc5601, johab, iso8859-2, mac-roman,
// dos866, UTF-8 ...); a name not known here reads as Windows-1252. A byte the page does not define
// reads as Windows-1252 too.
class CodePage {
public:
    explicit CodePage(std::string_view name);
    CodePage(CodePage&& other) noexcept;
    CodePage& operator=(CodePage&& other) noexcept;
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;
    ~CodePage();
    bool known() const { return known_; }
    std::string toUtf8(std::string_view text) const;

private:
    bool known_ = false;
    bool utf8_ = false;
    void* converter_ = nullptr; // the C library's, opened once for the drawing
};
// 8-bit text of a code page ("ANSI_1252", "dos850" ...) as UTF-8.
std::string ansiToUtf8(std::string_view text, std::string_view codePage);
// A byte of Windows-1252 as its character.
std::uint32_t cp1252(unsigned char ch);
// Keeps valid UTF-8 and reads any byte that is not part of it as Windows-1252.
std::string repairUtf8(std::string_view text);
// Replaces "\U+XXXX" escapes by the characters they name.
std::string decodeUnicodeEscapes(std::string_view text);
bool isAscii(std::string_view text);
// Appends the UTF-8 bytes of one code point.
void appendUtf8(std::string& out, std::uint32_t cp);

// Handles: upper-case hexadecimal, 0 for none.
std::uint64_t parseHandle(std::string_view text);
std::string handleText(std::uint64_t h);

// Numbers as DXF writes them: shortest text that reads back to the same double.
std::string formatDouble(double v);
double parseDouble(std::string_view text, double fallback = 0.0);
long long parseInt(std::string_view text, long long fallback = 0);

// Whether a value is what its group code calls for, as other readers check it: a finite real, an
// integer (or a real where an integer belongs), hexadecimal pairs for binary data.
bool valueFits(int code, std::string_view value);
// Codes whose value is a point's x, which must be followed by its y (and may be by its z).
bool isPointCode(int code);
// Every tag of tags[from, to) fits its code and every point has its y.
bool tagsWellFormed(const Tags& tags, std::size_t from, std::size_t to);

// Group codes whose values are handles pointing at other objects (they need remapping on copy).
bool isPointerCode(int code);
// Kinds of value, by group code.
enum class ValueKind { String, Double, Int, Handle, Binary };
ValueKind valueKind(int code);

} // namespace dxf
