// Writing a document as DXF text, and the record helpers shared by reader and writer.
#include "cad/dxf/DxfDocument.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace dxf {

std::string_view recordType(const Tags& tags) {
    return tags.empty() || tags[0].code != 0 ? std::string_view() : tags[0].value.view();
}

const Tag* findTag(const Tags& tags, int code) {
    bool inGroup = false;
    for (std::size_t i = 1; i < tags.size(); ++i) {
        const Tag& t = tags[i];
        if (t.code == 1001) break;
        if (t.code == 102) {
            inGroup = !t.value.empty() && t.value[0] == '{';
            continue;
        }
        if (!inGroup && t.code == code) return &t;
    }
    return nullptr;
}

const TagValue* findValue(const Tags& tags, int code) {
    const Tag* t = findTag(tags, code);
    return t ? &t->value : nullptr;
}

const TagValue* commonValue(const Tags& tags, int code) {
    int markers = 0;
    for (std::size_t i = 1; i < tags.size(); ++i) {
        const Tag& t = tags[i];
        if (t.code == 100 && ++markers == 2) break;
        if (t.code == code) return &t.value;
        if (t.code == 1001) break;
    }
    return nullptr;
}

static int handleCode(const Tags& tags) {
    return recordType(tags) == "DIMSTYLE" ? 105 : 5;
}

std::uint64_t recordHandle(const Tags& tags) {
    int code = handleCode(tags);
    for (std::size_t i = 1; i < tags.size() && i < 4; ++i)
        if (tags[i].code == code) return parseHandle(tags[i].value);
    const TagValue* v = findValue(tags, code);
    return v ? parseHandle(*v) : 0;
}

void setRecordHandle(Tags& tags, std::uint64_t handle) {
    int code = handleCode(tags);
    for (std::size_t i = 1; i < tags.size(); ++i) {
        if (tags[i].code == 100 || tags[i].code == 1001) break;
        if (tags[i].code == code) {
            tags[i].value = handleText(handle);
            return;
        }
    }
    tags.insert(tags.begin() + (tags.empty() ? 0 : 1), Tag{code, handleText(handle)});
}

// The owner sits after the handle and the 102 groups, before the first subclass marker.
static std::size_t ownerSlot(const Tags& tags, bool& found) {
    found = false;
    std::size_t i = 1;
    while (i < tags.size()) {
        const Tag& t = tags[i];
        if (t.code == 5 || t.code == 105) {
            ++i;
        } else if (t.code == 102 && !t.value.empty() && t.value[0] == '{') {
            // The group ends at the next 102, as the reader takes it, even when its "}" is damaged.
            ++i;
            while (i < tags.size() && tags[i].code != 102) ++i;
            if (i < tags.size()) ++i;
        } else if (t.code == 330) {
            found = true;
            return i;
        } else {
            break;
        }
    }
    return i;
}

std::uint64_t recordOwner(const Tags& tags) {
    bool found = false;
    std::size_t i = ownerSlot(tags, found);
    return found ? parseHandle(tags[i].value) : 0;
}

void setRecordOwner(Tags& tags, std::uint64_t owner) {
    bool found = false;
    std::size_t i = ownerSlot(tags, found);
    if (found)
        tags[i].value = handleText(owner);
    else
        tags.insert(tags.begin() + static_cast<std::ptrdiff_t>(i), Tag{330, handleText(owner)});
}

bool hasSubclassMarkers(const Tags& tags) {
    for (const Tag& t : tags) {
        if (t.code == 100) return true;
        if (t.code == 1001) break;
    }
    return false;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

std::string upper(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return r;
}

const Tags* Document::headerVar(std::string_view name) const {
    for (const auto& [n, v] : header)
        if (n == name) return &v;
    return nullptr;
}

void Document::setHeaderVar(const std::string& name, Tags values) {
    for (auto& [n, v] : header)
        if (n == name) {
            v = std::move(values);
            return;
        }
    header.emplace_back(name, std::move(values));
}

Table* Document::table(std::string_view name) {
    for (Table& t : tables)
        if (t.name == name) return &t;
    return nullptr;
}

const Table* Document::table(std::string_view name) const {
    for (const Table& t : tables)
        if (t.name == name) return &t;
    return nullptr;
}

namespace {

void put(std::string& out, const Tag& t) {
    char buf[16];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, t.code);
    (void)ec;
    std::size_t len = static_cast<std::size_t>(p - buf);
    if (len < 3) out.append(3 - len, ' ');
    out.append(buf, len);
    out += "\r\n";
    // A value never spans lines: a stray line end inside it would break every tag after it, and a
    // NUL would make the file binary.
    if (std::none_of(t.value.begin(), t.value.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; })) {
        out += t.value.view();
    } else {
        for (char c : t.value)
            if (c != '\r' && c != '\n' && c != '\0') out += c;
    }
    out += "\r\n";
}

void putAll(std::string& out, const Tags& tags) {
    for (const Tag& t : tags) put(out, t);
}

void putMarker(std::string& out, const char* name) {
    put(out, Tag{0, name});
}

} // namespace

void putRecord(std::string& out, const Tags& tags) {
    putAll(out, tags);
}

void writeDocument(const Document& doc, std::string& out) {
    writeDocument(doc, out, TextStream{});
}

void writeDocument(const Document& doc, std::string& out, const TextStream& stream) {
    // Text is handed on in chunks of about this size.
    constexpr std::size_t kChunk = 1 << 18;
    auto putAll = [&](std::string& text, const Tags& tags) {
        dxf::putAll(text, tags);
        if (stream.flush && text.size() >= kChunk) stream.flush(text);
    };
    // One SECTION ... ENDSEC frame around what body puts.
    auto section = [&out](const std::string& name, auto body) {
        putMarker(out, "SECTION");
        put(out, Tag{2, name});
        body();
        putMarker(out, "ENDSEC");
    };
    section("HEADER", [&] {
        for (const auto& [name, values] : doc.header) {
            put(out, Tag{9, name});
            putAll(out, values);
        }
    });
    section("CLASSES", [&] {
        for (const Tags& c : doc.classes) putAll(out, c);
    });
    section("TABLES", [&] {
        for (const Table& t : doc.tables) {
            putAll(out, t.head);
            for (const Tags& r : t.records) putAll(out, r);
            putMarker(out, "ENDTAB");
        }
    });
    section("BLOCKS", [&] {
        for (const Block& b : doc.blocks) {
            putAll(out, b.begin);
            for (const Tags& e : b.entities) putAll(out, e);
            if (stream.held) stream.held(&b, out);
            putAll(out, b.end);
        }
    });
    section("ENTITIES", [&] {
        for (const Tags& e : doc.entities) putAll(out, e);
        if (stream.held) stream.held(nullptr, out);
    });
    section("OBJECTS", [&] {
        for (const Tags& o : doc.objects) putAll(out, o);
    });
    for (const Section& s : doc.other) section(s.name, [&] { putAll(out, s.tags); });
    putMarker(out, "EOF");
    if (stream.flush) stream.flush(out);
}

} // namespace dxf
