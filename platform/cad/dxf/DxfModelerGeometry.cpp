// Solids, regions, bodies and surfaces of R2013 and later keep their modeler geometry in the ACDSDATA
// section, in the modeler's binary form; R2010, the release we write, keeps it in the entity as the
// modeler's text form, its lines disguised character by character (groups 1 and 3). The binary form
// is the same stream of values as the text, each value tagged with its kind, except that a yes/no
// value is written as a word whose spelling depends on the record it is in: those words are known for
// the records of plain solids (planes, lines, ellipses, faces, edges); a record of another kind that
// holds one, or a value whose text form is unknown, leaves the geometry where it cannot be carried.
// R2010 readers take the text form of modeler version 700 (no header record) or 20800 (a header
// record first), ending "End-of-ACIS-data": later versions are written as these, with the fields
// those versions' text holds (a transform's numbers bare, no counts in coedges and vertices).
#include "cad/dxf/DxfDocument.h"

#include <charconv>
#include <cstring>
#include <map>
#include <unordered_map>

namespace dxf {

namespace {

// The words of a record's yes/no values in order; "F"/"I" is a bound of a range (a number follows "F").
const std::map<std::string, std::vector<std::pair<const char*, const char*>>, std::less<>> kWords = {
    {"transform", {{"rotate", "no_rotate"}, {"reflect", "no_reflect"}, {"shear", "no_shear"}}},
    {"face", {{"reversed", "forward"}, {"double", "single"}, {"in", "out"}}},
    {"coedge", {{"reversed", "forward"}}},
    {"edge", {{"reversed", "forward"}}},
    {"plane-surface", {{"reverse_v", "forward_v"}, {"F", "I"}, {"F", "I"}, {"F", "I"}, {"F", "I"}}},
    {"straight-curve", {{"F", "I"}, {"F", "I"}}},
    {"ellipse-curve", {{"F", "I"}, {"F", "I"}}},
};

class Binary {
public:
    explicit Binary(std::string_view b) : b_(b) {}
    bool more() const { return at_ < b_.size(); }
    bool take(std::size_t n, std::string_view& out) {
        if (b_.size() - at_ < n) return false;
        out = b_.substr(at_, n);
        at_ += n;
        return true;
    }
    bool byte(unsigned& v) {
        std::string_view s;
        if (!take(1, s)) return false;
        v = static_cast<unsigned char>(s[0]);
        return true;
    }
    bool int32(long long& v) {
        std::string_view s;
        if (!take(4, s)) return false;
        std::int32_t i;
        std::memcpy(&i, s.data(), 4); // little-endian, as the host
        v = i;
        return true;
    }
    bool real(double& v) {
        std::string_view s;
        if (!take(8, s)) return false;
        std::memcpy(&v, s.data(), 8);
        return true;
    }

private:
    std::string_view b_;
    std::size_t at_ = 0;
};

std::string number(double v) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

bool printable(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) return false;
    return true;
}

// A text value of the text form: "@" and its length, then the text, which must stay on its line.
bool text(std::string_view s, std::string& out) {
    if (!printable(s)) return false;
    out += "@" + std::to_string(s.size()) + " " + std::string(s);
    return true;
}

// A literal of the binary form (a transform's values) stands bare in the text, so it must hold no
// record end.
bool literal(std::string_view s, std::string& out) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (!printable(s) || s.find('#') != std::string_view::npos) return false;
    out += s;
    return true;
}

// The header record of the version R2010 readers take with one (20800).
constexpr const char* kHeaderVersion = "208.0.4.7009";

bool taggedText(Binary& in, std::string& out) {
    unsigned tag = 0, n = 0;
    std::string_view s;
    return in.byte(tag) && tag == 0x07 && in.byte(n) && in.take(n, s) && text(s, out);
}

bool taggedReal(Binary& in, std::string& out) {
    unsigned tag = 0;
    double v = 0;
    if (!in.byte(tag) || tag != 0x06 || !in.real(v)) return false;
    out += number(v);
    return true;
}

// What reading the binary form came to: damaged data, or whole data holding a value whose text form
// is unknown here.
enum class Read { line, end, damaged, unwritable };

// One record as a line of the text form. The end marker ("End-of-ASM-data") has no record end: it
// ends the data, as "End-of-ACIS-data".
Read record(Binary& in, std::string& line) {
    std::string name, pending, kind;
    const std::vector<std::pair<const char*, const char*>>* words = nullptr;
    std::size_t yesNo = 0, integers = 0;
    const auto put = [&](const std::string& s) {
        if (!line.empty()) line += ' ';
        line += s;
    };
    while (in.more()) {
        unsigned tag = 0;
        in.byte(tag);
        long long i = 0;
        double d = 0;
        unsigned n = 0;
        std::string_view s;
        switch (tag) {
            case 0x04: // integer
                if (!in.int32(i)) return Read::damaged;
                // After the record's identifier, coedges and vertices hold a count the text does not.
                if (++integers == 2 && (kind == "coedge" || kind == "vertex")) break;
                put(std::to_string(i));
                break;
            case 0x0C: // pointer to a record
                if (!in.int32(i)) return Read::damaged;
                put("$" + std::to_string(i));
                break;
            case 0x06: // real
            case 0x17:
                if (!in.real(d)) return Read::damaged;
                put(number(d));
                break;
            case 0x07:   // text, its length in a byte
            case 0x12: { // a literal, its length in four
                long long length = 0;
                if (tag == 0x07) {
                    if (!in.byte(n)) return Read::damaged;
                    length = n;
                } else if (!in.int32(length) || length < 0) {
                    return Read::damaged;
                }
                if (!in.take(static_cast<std::size_t>(length), s)) return Read::damaged;
                if (kind == "asmheader") s = kHeaderVersion;
                std::string t;
                if (!(tag == 0x07 ? text(s, t) : literal(s, t))) return Read::unwritable;
                if (!t.empty()) put(t);
                break;
            }
            case 0x13: // position and direction: three reals
            case 0x14:
                for (int k = 0; k < 3; ++k) {
                    if (!in.real(d)) return Read::damaged;
                    put(number(d));
                }
                break;
            case 0x0A: // yes and no: words of the record's kind
            case 0x0B:
                if (!words || yesNo >= words->size()) return Read::unwritable;
                put(tag == 0x0A ? (*words)[yesNo].first : (*words)[yesNo].second);
                ++yesNo;
                break;
            case 0x0E: // part of a record's name, the rest follows
            case 0x0D:
                if (!in.byte(n) || !in.take(n, s)) return Read::damaged;
                pending += std::string(s) + (tag == 0x0E ? "-" : "");
                if (tag == 0x0D) {
                    name = pending;
                    pending.clear();
                    if (line.empty()) {
                        kind = name;
                        auto it = kWords.find(name);
                        words = it == kWords.end() ? nullptr : &it->second;
                    }
                    for (char c : name)
                        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) > 0x7E)
                            return Read::damaged;
                    if (line.empty() && (name == "End-of-ASM-data" || name == "End-of-ACIS-data")) {
                        line = "End-of-ACIS-data";
                        return Read::end;
                    }
                    // History after the model is no part of the text R2010 readers take.
                    if (line.empty() && name == "Begin-of-ACIS-History-data") return Read::unwritable;
                    put(name);
                }
                break;
            case 0x0F:
                put("{");
                break;
            case 0x10:
                put("}");
                break;
            case 0x11: // record end
                line += " #";
                return Read::line;
            case 0x15: // an enumeration: a word of the text form that the binary form holds as a number
                return Read::unwritable;
            default:
                return Read::damaged;
        }
    }
    return Read::damaged;
}

// The binary form as the text form's lines (lines), or why it cannot be.
Read asText(std::string_view bytes, std::vector<std::string>& lines) {
    Binary in(bytes);
    std::string_view signature;
    if (!in.take(15, signature) || (signature != "ACIS BinaryFile" && signature != "ASM BinaryFile4"))
        return Read::damaged;
    long long version = 0, records = 0, entities = 0, flags = 0;
    if (!in.int32(version) || !in.int32(records) || !in.int32(entities) || !in.int32(flags)) return Read::damaged;
    // Before 700 records hold no identifier, a form R2010 readers do not take.
    if (version < 700) return Read::unwritable;
    const auto head = [&](const char* written) {
        return std::string(written) + " " + std::to_string(records) + " " + std::to_string(entities) + " " +
               std::to_string(flags) + " ";
    };
    lines.push_back(head("700"));
    // The product, the modeler's version and the date; the units and the tolerances.
    std::string product, units;
    for (int k = 0; k < 3; ++k) {
        if (!taggedText(in, product)) return Read::damaged;
        product += ' ';
    }
    for (int k = 0; k < 3; ++k) {
        if (!taggedReal(in, units)) return Read::damaged;
        units += ' ';
    }
    lines.push_back(product);
    lines.push_back(units);
    for (;;) {
        std::string line;
        const Read r = record(in, line);
        if (r != Read::line && r != Read::end) return r;
        if (lines.size() == 3 && line.compare(0, 10, "asmheader ") == 0) lines[0] = head("20800");
        lines.push_back(line);
        if (r == Read::end) return r;
    }
}

// The text form's disguise, line by line: letters and most signs are mirrored about the middle of
// the printable range; an "A" becomes "^" and a space, which a reader drops.
std::string disguised(const std::string& line) {
    std::string out;
    for (char ch : line) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ' ')
            out += ' ';
        else if (c == '_')
            out += '@';
        else if (c == '@')
            out += '_';
        else if (c >= 0x41 && c <= 0x5E) {
            out += static_cast<char>(0x9F - c);
            if (c == 'A') out += ' ';
        } else {
            out += static_cast<char>(c ^ 0x5F);
        }
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The binary geometry the ACDSDATA section holds, by the handle of its entity; and of the records whose
// data does not read whole (a character that is no hexadecimal digit, a size that is not the data's),
// why, by the same handle.
struct SectionGeometry {
    std::unordered_map<std::uint64_t, std::string> found;
    std::unordered_map<std::uint64_t, std::string> unread;
};

SectionGeometry sectionGeometry(const Tags& t) {
    SectionGeometry geometry;
    for (std::size_t i = 0; i < t.size();) {
        std::size_t end = i + 1;
        while (end < t.size() && t[end].code != 0) ++end;
        if (t[i].code != 0 || t[i].value.view() != "ACDSRECORD") {
            i = end;
            continue;
        }
        // The entity's handle, then the data: its size and its bytes in hexadecimal.
        std::uint64_t handle = 0;
        std::size_t data = i + 1;
        for (; data < end && !(t[data].code == 2 && t[data].value.view() == "ASM_Data"); ++data)
            if (t[data].code == 320) handle = parseHandle(t[data].value);
        if (data == end || handle == 0) {
            i = end;
            continue;
        }
        long long size = -1;
        std::string bytes;
        bool hexadecimal = true;
        for (std::size_t j = data + 1; hexadecimal && j < end; ++j) {
            // A size is a whole number or none.
            if (t[j].code == 94) size = valueFits(94, t[j].value.view()) ? parseInt(t[j].value, -1) : -1;
            if (t[j].code != 310) continue;
            const std::string_view hex = t[j].value.view();
            hexadecimal = hex.size() % 2 == 0;
            for (std::size_t k = 0; hexadecimal && k < hex.size(); k += 2) {
                const int hi = hexDigit(hex[k]), lo = hexDigit(hex[k + 1]);
                hexadecimal = hi >= 0 && lo >= 0;
                bytes += static_cast<char>(hi * 16 + lo);
            }
        }
        if (!hexadecimal)
            geometry.unread[handle] = "its data is not pairs of hexadecimal digits";
        else if (size != static_cast<long long>(bytes.size()))
            geometry.unread[handle] = "its data is " + std::to_string(bytes.size()) + " bytes where its record says " +
                                      (size < 0 ? std::string("no size") : std::to_string(size));
        else
            geometry.found[handle] = std::move(bytes);
        i = end;
    }
    return geometry;
}

// Puts the text lines in the entity's modeler part in place of R2013's flags and identifier.
void carry(Tags& rec, std::size_t part, const std::vector<std::string>& lines) {
    std::size_t end = part + 1;
    while (end < rec.size() && rec[end].code != 100 && rec[end].code != 1001) ++end;
    Tags body{{70, "1"}};
    for (const std::string& line : lines) {
        const std::string d = disguised(line);
        body.push_back(Tag{1, d.substr(0, 255)});
        for (std::size_t at = 255; at < d.size(); at += 255) body.push_back(Tag{3, d.substr(at, 255)});
    }
    rec.erase(rec.begin() + static_cast<std::ptrdiff_t>(part + 1), rec.begin() + static_cast<std::ptrdiff_t>(end));
    rec.insert(rec.begin() + static_cast<std::ptrdiff_t>(part + 1), body.begin(), body.end());
}

} // namespace

std::vector<std::string> carryModelerGeometry(Document& doc) {
    std::vector<std::string> kept;
    const Section* section = nullptr;
    for (const Section& s : doc.other)
        if (s.name == "ACDSDATA") section = &s;
    if (!section) return kept;
    const SectionGeometry geometry = sectionGeometry(section->tags);
    if (geometry.found.empty() && geometry.unread.empty()) return kept;
    struct Carried {
        Tags* rec;
        std::size_t part;
        std::vector<std::string> lines;
    };
    std::vector<Carried> carried;
    const auto each = [&](std::vector<Tags>& list) {
        for (Tags& rec : list) {
            std::size_t part = 0;
            while (part < rec.size() && !(rec[part].code == 100 && rec[part].value.view() == "AcDbModelerGeometry"))
                ++part;
            if (part == rec.size()) continue;
            const std::uint64_t handle = recordHandle(rec);
            const std::string name = std::string(recordType(rec)) + " " + handleText(handle);
            // Data that does not read whole is no geometry to carry, nor to drop: the section keeps it.
            if (auto unread = geometry.unread.find(handle); unread != geometry.unread.end()) {
                doc.problems.push_back(name + ": its geometry in the ACDSDATA section cannot be read (" +
                                       unread->second + ")");
                kept.push_back(name);
                continue;
            }
            auto it = geometry.found.find(handle);
            if (it == geometry.found.end()) continue;
            std::vector<std::string> lines;
            const Read r = asText(it->second, lines);
            if (r == Read::end) {
                carried.push_back({&rec, part, std::move(lines)});
                continue;
            }
            // Damaged or of a form unknown here, it may be whole to its own modeler: kept as read.
            if (r == Read::damaged)
                doc.problems.push_back(name +
                                       ": its geometry in the ACDSDATA section is damaged or of a form unknown here");
            kept.push_back(name);
        }
    };
    each(doc.entities);
    for (Block& b : doc.blocks) each(b.entities);
    // One solid the text cannot hold keeps them all as read, the section with them.
    if (kept.empty())
        for (Carried& c : carried) carry(*c.rec, c.part, c.lines);
    return kept;
}

} // namespace dxf
