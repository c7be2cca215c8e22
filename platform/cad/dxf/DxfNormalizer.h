#pragma once
// What the repairs that bring a document into R2010 shape share: the normaliser and its record helpers.
#include "cad/dxf/DxfDocument.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace dxf::normalize {

// Which of the keys (upper-case names; empty for none) repeat one at an earlier place. Found by sorting,
// not with a set of names: a drawing may hold a block per room, and a set's nodes would stay in the heap.
std::vector<bool> repeatedKeys(const std::vector<std::string>& keys);

// Upper-case names: those known at first, sorted, and the few added after.
class NameSet {
public:
    explicit NameSet(std::vector<std::string> names) : sorted_(std::move(names)) {
        std::sort(sorted_.begin(), sorted_.end());
    }
    bool count(const std::string& name) const {
        return std::binary_search(sorted_.begin(), sorted_.end(), name) || added_.count(name) != 0;
    }
    void insert(std::string name) { added_.insert(std::move(name)); }

private:
    std::vector<std::string> sorted_;
    std::unordered_set<std::string> added_;
};

// Whether a record of this type can never stand in an entity list, or among the objects.
bool isNoEntity(std::string_view type);
bool isNoObject(std::string_view type);
// A record's name (group 2), and a main tag's value set or added.
std::string nameOf(const Tags& rec);
void setValue(Tags& rec, int code, const std::string& value);

// Whether an entity record stands otherwise than the reader takes it: without subclass markers, without
// its body's marker, or with common groups outside its common part.
bool entityNeedsShape(const Tags& rec);

// Characters no symbol name may hold.
constexpr std::string_view kNotInNames = "<>/\\\":;?*|=`";

class Normalizer {
public:
    explicit Normalizer(Document& d, HeldRecords* h = nullptr) : doc(d), held(h) {}
    void run();

private:
    void problem(std::string s) { doc.problems.push_back(std::move(s)); }
    std::uint64_t fresh() {
        while (isUsed(next)) ++next;
        made.insert(next);
        return next++;
    }
    template <class F>
    void forEachRecord(F f);
    template <class F, class G>
    void forEachRecordWithHeld(F own, G heldRange);
    void assignHandles();
    void startAbove(std::uint64_t highest);
    bool assignUniqueInPlace();
    bool assignHeldApart();
    void withHeld(std::vector<std::pair<Tags*, std::uint64_t>>& records, std::vector<std::size_t>& heldRecords);
    void tables();
    Tags upgradeTableRecord(const Tags& rec, const char* subclass, std::uint64_t owner);
    void blocks();
    void entitySequence(std::vector<Tags>& list, std::uint64_t owner, bool splitPaper);
    void upgradeEntity(Tags& rec);
    std::size_t shapeEntity(Tags& rec);
    void entityParts();
    void objects();
    void layouts();
    void referencedNames();
    void objectOwners();
    void classes();
    void headerVars();
    void layerNames();
    template <class Fix>
    void layerStates(Fix& fix);

    Tags* findRecord(Table& t, std::string_view name);
    void indexRecord(Table& t, std::size_t at);
    Tags& ensureRecord(const char* table, const std::string& name, const Tags& body);
    std::uint64_t ensureRootEntry(const char* name, const char* type, Tags body);
    Tags* objectByHandle(std::uint64_t h);
    template <class Keep>
    void keepObjects(Keep keep);

    Document& doc;
    HeldRecords* held;
    // Handles in use: the file's (sorted; a drawing has hundreds of thousands) and the ones made here.
    // The held records' handles join the file's only when one is asked for that is not among them.
    std::vector<std::uint64_t> fileHandles;
    bool heldOutside = false;
    std::uint64_t highestFile = 0;
    std::unordered_set<std::uint64_t> made;
    bool isUsed(std::uint64_t h) {
        if (std::binary_search(fileHandles.begin(), fileHandles.end(), h) || made.count(h) != 0) return true;
        if (!heldOutside) return false;
        includeHeldHandles();
        return std::binary_search(fileHandles.begin(), fileHandles.end(), h);
    }
    void includeHeldHandles();
    std::uint64_t next = 1;
    std::uint64_t modelBr = 0, paperBr = 0;
    std::unordered_map<std::uint64_t, std::size_t> objectIndex;
    // Records of each table by upper-case name (the first of a name), made when first asked.
    std::unordered_map<const Table*, std::unordered_map<std::string, std::size_t>> recordIndex;
};

} // namespace dxf::normalize
