// Reading DXF text into sections and records, repairing what damage it can.
#include "cad/dxf/DxfDocument.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace dxf {

namespace {

bool isBlank(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\x1a' || c == '\0';
    });
}

// The value without blanks around it, as a view (looked at for every record) ...
std::string_view trimmedView(std::string_view s) {
    std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string_view::npos) return {};
    std::size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

// ... and as a string of its own.
std::string trimmed(std::string_view s) {
    return std::string(trimmedView(s));
}

// How text values of this file are to be decoded.
struct Encoding {
    bool utf8 = false;
    std::string codePage;       // as the header names it
    CodePage page{"ANSI_1252"}; // what text before R2007 is read through
};

// The header holds the release and code page; look at it before reading anything else.
Encoding detectEncoding(std::string_view text) {
    Encoding enc;
    Tokenizer tok(text);
    Tag tag;
    std::string pendingVar;
    std::string version;
    int seen = 0;
    for (int guard = 0; guard < 400000; ++guard) {
        Tokenizer::Result r = tok.next(tag);
        if (r == Tokenizer::Result::End) break;
        if (r == Tokenizer::Result::Bad) continue;
        if (tag.code == 0 && trimmed(tag.value) == "ENDSEC") break;
        if (tag.code == 9) {
            pendingVar = trimmed(tag.value);
            continue;
        }
        if (pendingVar == "$ACADVER" && tag.code == 1) {
            version = trimmed(tag.value);
            ++seen;
        } else if (pendingVar == "$DWGCODEPAGE" && tag.code == 3) {
            enc.codePage = trimmed(tag.value);
            ++seen;
        }
        pendingVar.clear();
        if (seen == 2) break;
    }
    enc.utf8 = version >= "AC1021";
    if (!enc.utf8 && !enc.codePage.empty()) enc.page = CodePage(enc.codePage);
    return enc;
}

class Reader {
public:
    Reader(std::string_view text, Document& doc, Encoding enc, const std::function<void(std::size_t)>& passed)
        : tok_(text), doc_(doc), enc_(std::move(enc)), passed_(passed) {}

    void run();

private:
    bool peek(); // fills cur_; false at the end of input
    void take() { have_ = false; }
    bool atZero(std::string_view name) { return peek() && cur_.code == 0 && trimmedView(cur_.value) == name; }
    void readRecord(Tags& out); // the 0 tag at cur_ and all tags up to the next 0
    void skipRecord();
    void decode(Tag& tag);
    void problem(std::string text) { doc_.problems.push_back(std::move(text)); }

    void readHeader();
    void readClasses();
    void readTables();
    void readBlocks();
    void readRecords(std::vector<Tags>& out);
    void readOther(const std::string& name);
    bool sectionEnds(const std::string& name);
    template <class Handle>
    void eachRecord(const std::string& section, Handle handle);

    Tokenizer tok_;
    Document& doc_;
    Encoding enc_;
    const std::function<void(std::size_t)>& passed_;
    std::size_t told_ = 0; // how far passed_ was told
    Tag cur_;
    bool have_ = false;
    bool ended_ = false;
    std::size_t droppedRecords_ = 0;
    Tags scratch_;
    bool cutShort_ = false;    // the last record read ran into the end of the file
    bool badLine_ = false;     // a line that is no tag was skipped
    bool cutByDamage_ = false; // the last record lost its end to a damaged line
    std::size_t cutRecords_ = 0;

public:
    int sections_ = 0;
};

void Reader::decode(Tag& tag) {
    TagValue& v = tag.value;
    bool ascii = isAscii(v);
    if (ascii && v.view().find('\\') == std::string_view::npos) return;
    if (!ascii) v = enc_.utf8 ? repairUtf8(v) : enc_.page.toUtf8(v);
    if (valueKind(tag.code) == ValueKind::String) v = decodeUnicodeEscapes(v);
}

bool Reader::peek() {
    if (have_) return true;
    if (ended_) return false;
    for (;;) {
        Tokenizer::Result r = tok_.next(cur_);
        if (r == Tokenizer::Result::End) {
            ended_ = true;
            return false;
        }
        if (r == Tokenizer::Result::Bad) {
            problem(tok_.error() + ": skipped to the next record");
            badLine_ = true;
            continue;
        }
        decode(cur_);
        have_ = true;
        if (passed_ && tok_.offset() - told_ >= (std::size_t(1) << 20)) passed_(told_ = tok_.offset());
        return true;
    }
}

void Reader::readRecord(Tags& out) {
    // Gathered in a reused buffer, then moved into a list of the record's own size: a drawing holds
    // millions of records, and a list grown tag by tag keeps a quarter of its room unused.
    scratch_.clear();
    scratch_.push_back(std::move(cur_));
    if (std::string_view v = trimmedView(scratch_.back().value); v.size() != scratch_.back().value.size())
        scratch_.back().value = std::string(v);
    take();
    badLine_ = false;
    while (peek() && cur_.code != 0) {
        scratch_.push_back(std::move(cur_));
        take();
    }
    cutByDamage_ = badLine_;
    out.clear();
    out.reserve(scratch_.size());
    std::move(scratch_.begin(), scratch_.end(), std::back_inserter(out));
    cutShort_ = ended_;
}

void Reader::skipRecord() {
    take();
    while (peek() && cur_.code != 0) take();
}

bool Reader::sectionEnds(const std::string& name) {
    if (!peek()) {
        problem("section " + name + " is not closed: the file ends inside it");
        doc_.cutShort = true;
        return true;
    }
    if (cur_.code != 0) return false;
    std::string_view v = trimmedView(cur_.value);
    if (v == "ENDSEC") {
        take();
        return true;
    }
    if (v == "SECTION" || v == "EOF") {
        problem("section " + name + " is not closed before line " + std::to_string(tok_.line()));
        return true;
    }
    return false;
}

void Reader::run() {
    for (;;) {
        if (!peek()) {
            problem("the file has no EOF marker");
            doc_.cutShort = true;
            break;
        }
        if (cur_.code == 0 && trimmedView(cur_.value) == "EOF") {
            take();
            std::string_view rest = tok_.rest();
            // Trailing blank lines or an end-of-file character are not worth a word.
            if (!isBlank(rest)) problem("ignored " + std::to_string(rest.size()) + " bytes after EOF");
            break;
        }
        if (cur_.code == 0 && trimmedView(cur_.value) == "SECTION") {
            take();
            if (!peek() || cur_.code != 2) {
                problem("section without a name at line " + std::to_string(tok_.line()) + " dropped");
                continue;
            }
            std::string name = trimmed(cur_.value);
            take();
            ++sections_;
            if (name == "HEADER")
                readHeader();
            else if (name == "CLASSES")
                readClasses();
            else if (name == "TABLES")
                readTables();
            else if (name == "BLOCKS")
                readBlocks();
            else if (name == "ENTITIES")
                readRecords(doc_.entities);
            else if (name == "OBJECTS")
                readRecords(doc_.objects);
            else
                readOther(name);
            continue;
        }
        problem("unexpected data outside a section at line " + std::to_string(tok_.line()) + " dropped");
        if (cur_.code == 0)
            skipRecord();
        else
            take();
        while (peek() &&
               !(cur_.code == 0 && (trimmedView(cur_.value) == "SECTION" || trimmedView(cur_.value) == "EOF")))
            take();
    }
    if (droppedRecords_) problem(std::to_string(droppedRecords_) + " records outside their place dropped");
    if (cutRecords_) problem(std::to_string(cutRecords_) + " entities or objects cut short by a damaged line dropped");
}

void Reader::readHeader() {
    std::string var;
    Tags values;
    auto flush = [&] {
        if (var.empty()) return;
        auto it = std::find_if(doc_.header.begin(), doc_.header.end(), [&](const auto& p) { return p.first == var; });
        if (it != doc_.header.end())
            it->second = std::move(values);
        else
            doc_.header.emplace_back(var, std::move(values));
        var.clear();
        values.clear();
    };
    while (!sectionEnds("HEADER")) {
        if (cur_.code == 9) {
            flush();
            var = trimmed(cur_.value);
        } else if (cur_.code == 0) {
            problem("unexpected record in HEADER at line " + std::to_string(tok_.line()) + " dropped");
            skipRecord();
            continue;
        } else if (!var.empty()) {
            values.push_back(std::move(cur_));
        }
        take();
    }
    // A variable the end of the file cut into may have lost values.
    if (ended_ && !var.empty()) {
        problem("header variable " + var + " cut short by the end of the file dropped");
        var.clear();
    }
    flush();
}

// Hands each record of the section to handle; stray tags before a record's 0 tag are skipped.
template <class Handle>
void Reader::eachRecord(const std::string& section, Handle handle) {
    while (!sectionEnds(section)) {
        if (cur_.code != 0) {
            take();
            continue;
        }
        Tags rec;
        readRecord(rec);
        if (cutShort_) {
            // Whatever it lost cannot be told, and what is written again must be whole.
            problem(rec[0].value + " record cut short by the end of the file dropped");
            continue;
        }
        // An entity or object a damaged line cut into has lost its end just the same. Block and
        // table frames and table records stay: what they lose has defaults.
        if (cutByDamage_ && (section == "ENTITIES/OBJECTS" ||
                             (section == "BLOCKS" && rec[0].value != "BLOCK" && rec[0].value != "ENDBLK"))) {
            ++cutRecords_;
            continue;
        }
        handle(rec);
    }
}

void Reader::readClasses() {
    eachRecord("CLASSES", [&](Tags& rec) {
        if (rec[0].value == "CLASS")
            doc_.classes.push_back(std::move(rec));
        else
            ++droppedRecords_;
    });
}

void Reader::readTables() {
    Table* table = nullptr;
    eachRecord("TABLES", [&](Tags& rec) {
        std::string_view type = rec[0].value;
        if (type == "TABLE") {
            const TagValue* name = findValue(rec, 2);
            std::string n = name ? upper(trimmed(*name)) : std::string();
            if (n.empty()) {
                problem("table without a name dropped");
                table = nullptr;
                return;
            }
            table = doc_.table(n);
            if (!table) {
                doc_.tables.push_back(Table{n, std::move(rec), {}});
                table = &doc_.tables.back();
            }
        } else if (type == "ENDTAB") {
            table = nullptr;
        } else if (table) {
            table->records.push_back(std::move(rec));
        } else {
            ++droppedRecords_;
        }
    });
}

void Reader::readBlocks() {
    Block* block = nullptr;
    eachRecord("BLOCKS", [&](Tags& rec) {
        std::string_view type = rec[0].value;
        if (type == "BLOCK") {
            if (block && block->end.empty())
                problem("block " + std::string(findValue(block->begin, 2) ? *findValue(block->begin, 2) : "") +
                        " has no ENDBLK");
            doc_.blocks.push_back(Block{std::move(rec), {}, {}});
            block = &doc_.blocks.back();
        } else if (type == "ENDBLK") {
            if (block)
                block->end = std::move(rec);
            else
                ++droppedRecords_;
            block = nullptr;
        } else if (block) {
            block->entities.push_back(std::move(rec));
        } else {
            ++droppedRecords_;
        }
    });
}

void Reader::readRecords(std::vector<Tags>& out) {
    eachRecord("ENTITIES/OBJECTS", [&](Tags& rec) {
        if (rec[0].value.empty())
            ++droppedRecords_;
        else
            out.push_back(std::move(rec));
    });
}

void Reader::readOther(const std::string& name) {
    Section s{name, {}};
    while (!sectionEnds(name)) {
        s.tags.push_back(std::move(cur_));
        take();
    }
    auto it = std::find_if(doc_.other.begin(), doc_.other.end(), [&](const Section& o) { return o.name == name; });
    if (it == doc_.other.end()) doc_.other.push_back(std::move(s));
}

} // namespace

Document parseDocument(std::string_view bytes, const std::string& fileName,
                       const std::function<void(std::size_t)>& passed) {
    switch (sniff(bytes)) {
        case FileKind::BinaryDxf:
            throw Refused("\"" + fileName + "\" is a binary DXF file; only ASCII DXF files can be opened");
        case FileKind::Dwg:
            throw Refused("\"" + fileName + "\" is a DWG file; only ASCII DXF files can be opened");
        case FileKind::NotText:
            throw Refused("\"" + fileName + "\" is not a DXF file");
        case FileKind::Ascii:
            break;
    }
    Document doc;
    Encoding enc = detectEncoding(bytes);
    // Text before R2007 is only as right as the code page it was read through: a page not known here
    // is said, and the drawing is saved as what it was read as.
    const bool unknownPage = !enc.utf8 && !enc.codePage.empty() && !enc.page.known();
    if (unknownPage)
        doc.problems.push_back("the code page " + repairUtf8(enc.codePage) +
                               " is not one known here: its text is read as Windows-1252 (ANSI_1252)");
    Reader reader(bytes, doc, std::move(enc), passed);
    reader.run();
    if (unknownPage)
        for (auto& [name, values] : doc.header)
            if (name == "$DWGCODEPAGE") values = Tags{{3, "ANSI_1252"}};
    if (reader.sections_ == 0) throw Refused("\"" + fileName + "\" is not a DXF file: no section could be read");
    return doc;
}

} // namespace dxf
