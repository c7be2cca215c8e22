// Giving every record one handle of its own: missing handles and handles taken twice.
#include "cad/dxf/DxfNormalizer.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace dxf::normalize {

template <class F>
void Normalizer::forEachRecord(F f) {
    for (Table& t : doc.tables) {
        f(t.head);
        for (Tags& r : t.records) f(r);
    }
    for (Block& b : doc.blocks) {
        f(b.begin);
        for (Tags& e : b.entities) f(e);
        if (!b.end.empty()) f(b.end);
    }
    for (Tags& e : doc.entities) f(e);
    for (Tags& o : doc.objects) f(o);
}

// The records in the file's order, each block's held records (places from..to among them) after its own
// entities and the rest after the ENTITIES section's.
template <class F, class G>
void Normalizer::forEachRecordWithHeld(F own, G heldRange) {
    auto heldFrom = [&](std::size_t block) {
        return block < held->blockFrom.size() ? held->blockFrom[block] : held->handles.size();
    };
    for (Table& t : doc.tables) {
        own(t.head);
        for (Tags& r : t.records) own(r);
    }
    for (std::size_t i = 0; i < doc.blocks.size(); ++i) {
        Block& b = doc.blocks[i];
        own(b.begin);
        for (Tags& e : b.entities) own(e);
        heldRange(heldFrom(i), heldFrom(i + 1));
        if (!b.end.empty()) own(b.end);
    }
    for (Tags& e : doc.entities) own(e);
    heldRange(heldFrom(doc.blocks.size()), held->handles.size());
    for (Tags& o : doc.objects) own(o);
}

// New handles start above every handle in use: the file's handle seed and `highest`.
void Normalizer::startAbove(std::uint64_t highest) {
    std::uint64_t max = highest;
    if (const Tags* seed = doc.headerVar("$HANDSEED"); seed && !seed->empty())
        max = std::max(max, parseHandle((*seed)[0].value));
    next = max + 1;
    if (next == 0) next = 1;
}

namespace {

std::uint64_t highestOf(const std::vector<std::pair<Tags*, std::uint64_t>>& records) {
    std::uint64_t max = 0;
    for (const auto& [r, h] : records) max = std::max(max, h);
    return max;
}

// The records that have a handle, as (handle, place) sorted by handle and then place.
std::vector<std::pair<std::uint64_t, std::size_t>> byHandleOf(
    const std::vector<std::pair<Tags*, std::uint64_t>>& records) {
    std::vector<std::pair<std::uint64_t, std::size_t>> byHandle;
    byHandle.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].second != 0) byHandle.emplace_back(records[i].second, i);
    std::sort(byHandle.begin(), byHandle.end());
    return byHandle;
}

} // namespace

void Normalizer::assignHandles() {
    if (held ? assignHeldApart() : assignUniqueInPlace()) return;
    // One pass over the records (they are many and cold in the cache), then work on the handles.
    std::vector<std::pair<Tags*, std::uint64_t>> records;
    std::vector<std::size_t> heldRecords; // where the held records are among them (no tags)
    if (held)
        withHeld(records, heldRecords);
    else
        forEachRecord([&](Tags& r) { records.emplace_back(&r, recordHandle(r)); });
    startAbove(highestOf(records));
    // The first record of a handle keeps it; later ones are duplicates.
    std::vector<std::pair<std::uint64_t, std::size_t>> byHandle = byHandleOf(records);
    std::vector<bool> duplicate(records.size(), false);
    fileHandles.reserve(byHandle.size());
    for (std::size_t k = 0; k < byHandle.size(); ++k) {
        if (k > 0 && byHandle[k].first == byHandle[k - 1].first)
            duplicate[byHandle[k].second] = true;
        else
            fileHandles.push_back(byHandle[k].first);
    }
    std::vector<std::pair<std::uint64_t, std::size_t>>().swap(byHandle);
    highestFile = fileHandles.empty() ? 0 : fileHandles.back();
    std::size_t empty = 0, duplicates = 0;
    std::vector<std::size_t> pending;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& [r, h] = records[i];
        if (h != 0 && !duplicate[i]) continue;
        if (h != 0) {
            if (++duplicates <= 5)
                problem("duplicate handle " + handleText(h) + " on " +
                        std::string(r ? recordType(*r) : std::string_view("an entity")) + " replaced by a new handle");
        } else if (!r || findValue(*r, recordType(*r) == "DIMSTYLE" ? 105 : 5)) {
            ++empty;
        }
        pending.push_back(i);
    }
    for (std::size_t i : pending) {
        if (Tags* r = records[i].first) {
            setRecordHandle(*r, fresh());
        } else {
            auto at = std::lower_bound(heldRecords.begin(), heldRecords.end(), i);
            held->given.emplace_back(static_cast<std::size_t>(at - heldRecords.begin()), fresh());
        }
    }
    if (duplicates > 5) problem(std::to_string(duplicates) + " duplicate handles replaced in all");
    if (empty) problem(std::to_string(empty) + " records with an empty or invalid handle given new handles");
}

// Nearly every file gives each record a handle of its own. Then the file's handles, sorted, are all
// that is kept while giving handles (a list of the records beside them would be held as the file's
// records are at their most), and the records without one take new ones in the file's order. False
// (nothing done) when two records share a handle.
bool Normalizer::assignUniqueInPlace() {
    std::size_t count = 0;
    forEachRecord([&](Tags&) { ++count; });
    std::vector<std::uint64_t> handles;
    handles.reserve(count);
    forEachRecord([&](Tags& r) {
        if (std::uint64_t h = recordHandle(r)) handles.push_back(h);
    });
    std::sort(handles.begin(), handles.end());
    if (std::adjacent_find(handles.begin(), handles.end()) != handles.end()) return false;
    highestFile = handles.empty() ? 0 : handles.back();
    startAbove(highestFile);
    fileHandles = std::move(handles);
    std::size_t empty = 0;
    forEachRecord([&](Tags& r) {
        if (recordHandle(r) != 0) return;
        if (findValue(r, recordType(r) == "DIMSTYLE" ? 105 : 5)) ++empty;
        setRecordHandle(r, fresh());
    });
    if (empty) problem(std::to_string(empty) + " records with an empty or invalid handle given new handles");
    return true;
}

// Held records are many (a drawing's entities): when none shares a handle with another record, only
// those without a handle take new ones, in their places among the document's, and their handles are
// not kept beside the document's unless a new handle is made. False (nothing done) when one does share.
bool Normalizer::assignHeldApart() {
    std::size_t count = 0;
    forEachRecord([&](Tags&) { ++count; });
    std::vector<std::pair<Tags*, std::uint64_t>> records;
    records.reserve(count);
    forEachRecord([&](Tags& r) { records.emplace_back(&r, recordHandle(r)); });
    std::uint64_t highest = highestOf(records);
    {
        std::vector<std::uint64_t> heldHandles;
        heldHandles.reserve(held->handles.size());
        for (std::uint64_t h : held->handles)
            if (h != 0) heldHandles.push_back(h);
        std::sort(heldHandles.begin(), heldHandles.end());
        if (std::adjacent_find(heldHandles.begin(), heldHandles.end()) != heldHandles.end()) return false;
        for (const auto& [r, h] : records)
            if (h != 0 && std::binary_search(heldHandles.begin(), heldHandles.end(), h)) return false;
        if (!heldHandles.empty()) highest = std::max(highest, heldHandles.back());
    }
    held->given.clear();
    highestFile = highest;
    startAbove(highest);
    std::vector<std::pair<std::uint64_t, std::size_t>> byHandle = byHandleOf(records);
    std::vector<bool> pending(records.size(), false);
    std::vector<std::uint64_t> own;
    own.reserve(byHandle.size());
    std::size_t duplicates = 0, empty = 0;
    for (std::size_t k = 0; k < byHandle.size(); ++k) {
        if (k > 0 && byHandle[k].first == byHandle[k - 1].first) {
            pending[byHandle[k].second] = true;
            ++duplicates;
        } else {
            own.push_back(byHandle[k].first);
        }
    }
    std::vector<std::pair<std::uint64_t, std::size_t>>().swap(byHandle);
    fileHandles = std::move(own);
    heldOutside = true;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].second == 0) {
            pending[i] = true;
            if (findValue(*records[i].first, recordType(*records[i].first) == "DIMSTYLE" ? 105 : 5)) ++empty;
        }
    // New handles in the file's order: the held records after their block's own entities, the rest
    // after the ENTITIES section's.
    std::size_t at = 0;
    auto own1 = [&](Tags& r) {
        if (pending[at]) setRecordHandle(r, fresh());
        ++at;
    };
    auto heldRange = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to && k < held->handles.size(); ++k)
            if (held->handles[k] == 0) {
                held->given.emplace_back(k, fresh());
                ++empty;
            }
    };
    forEachRecordWithHeld(own1, heldRange);
    if (duplicates) problem(std::to_string(duplicates) + " duplicate handles replaced in all");
    if (empty) problem(std::to_string(empty) + " records with an empty or invalid handle given new handles");
    return true;
}

void Normalizer::includeHeldHandles() {
    heldOutside = false;
    for (std::uint64_t h : held->handles)
        if (h != 0) fileHandles.push_back(h);
    std::sort(fileHandles.begin(), fileHandles.end());
}

// The records and the held records' handles, in the file's order.
void Normalizer::withHeld(std::vector<std::pair<Tags*, std::uint64_t>>& records,
                          std::vector<std::size_t>& heldRecords) {
    held->given.clear();
    auto take = [&](Tags& r) { records.emplace_back(&r, recordHandle(r)); };
    auto takeHeld = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to && k < held->handles.size(); ++k) {
            heldRecords.push_back(records.size());
            records.emplace_back(nullptr, held->handles[k]);
        }
    };
    forEachRecordWithHeld(take, takeHeld);
}

} // namespace dxf::normalize
