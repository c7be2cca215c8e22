#pragma once
// Hyperlinks of entities, kept as the extended data of the application "PE_URL".
#include <memory>

#include "cad/db/AcDbEntity.h"

extern const ACHAR* ACDB_HYPERLINK_APPNAME; // "PE_URL"

class AcDbHyperlink {
public:
    AcDbHyperlink() = default;
    AcDbHyperlink(const ACHAR* name, const ACHAR* description, const ACHAR* subLocation);
    virtual ~AcDbHyperlink() = default;
    const ACHAR* name() const { return name_.c_str(); }
    void setName(const ACHAR* v) { name_ = v ? v : L""; }
    const ACHAR* description() const { return description_.c_str(); }
    void setDescription(const ACHAR* v) { description_ = v ? v : L""; }
    const ACHAR* subLocation() const { return subLocation_.c_str(); }
    void setSubLocation(const ACHAR* v) { subLocation_ = v ? v : L""; }
    // The description, or the name (with its sub-location) when there is no description.
    std::wstring getDisplayString() const;
    bool isOutermostContainer() const { return true; }
    int getNestedLevel() const { return 0; }

private:
    std::wstring name_, description_, subLocation_;
};

class AcDbHyperlinkCollection {
public:
    AcDbHyperlinkCollection() = default;
    virtual ~AcDbHyperlinkCollection() = default;
    void addHead(const ACHAR* name, const ACHAR* description, const ACHAR* subLocation = nullptr);
    void addTail(const ACHAR* name, const ACHAR* description, const ACHAR* subLocation = nullptr);
    void addAt(int index, const ACHAR* name, const ACHAR* description, const ACHAR* subLocation = nullptr);
    void removeHead();
    void removeTail();
    void removeAt(int index);
    void removeAll() { items_.clear(); }
    int count() const { return int(items_.size()); }
    // Null when the index is out of range.
    AcDbHyperlink* item(int index) const;

private:
    std::vector<std::unique_ptr<AcDbHyperlink>> items_;
};

// The protocol extension entities answer for AcDbEntityHyperlinkPE::desc().
class AcDbEntityHyperlinkPE : public AcRxObject {
    ACRX_DECLARE_MEMBERS(AcDbEntityHyperlinkPE)
public:
    // A new collection the caller deletes.
    virtual Acad::ErrorStatus getHyperlinkCollection(AcDbObject* obj, AcDbHyperlinkCollection*& collection,
                                                     bool oneOnly = false, bool ignoreBlockDefinition = true);
    // Replaces the object's hyperlinks (the object must be open for write); an empty collection removes them.
    virtual Acad::ErrorStatus setHyperlinkCollection(AcDbObject* obj, AcDbHyperlinkCollection* collection);
    virtual Acad::ErrorStatus getHyperlinkCount(AcDbObject* obj, unsigned int& count,
                                                bool ignoreBlockDefinition = true);
    virtual Acad::ErrorStatus hasHyperlink(AcDbObject* obj, bool& result, bool ignoreBlockDefinition = true);
    static AcDbEntityHyperlinkPE* instance();
};
