#include "cad/db/AcDbHyperlink.h"

#include "cad/db/AcDbDatabase.h"

const ACHAR* ACDB_HYPERLINK_APPNAME = L"PE_URL";

ACRX_DEFINE_MEMBERS(AcDbEntityHyperlinkPE, AcRxObject, L"")

AcDbHyperlink::AcDbHyperlink(const ACHAR* name, const ACHAR* description, const ACHAR* subLocation)
    : name_(name ? name : L""),
      description_(description ? description : L""),
      subLocation_(subLocation ? subLocation : L"") {}

std::wstring AcDbHyperlink::getDisplayString() const {
    if (!description_.empty()) return description_;
    return subLocation_.empty() ? name_ : name_ + L"#" + subLocation_;
}

void AcDbHyperlinkCollection::addHead(const ACHAR* name, const ACHAR* description, const ACHAR* subLocation) {
    items_.insert(items_.begin(), std::make_unique<AcDbHyperlink>(name, description, subLocation));
}

void AcDbHyperlinkCollection::addTail(const ACHAR* name, const ACHAR* description, const ACHAR* subLocation) {
    items_.push_back(std::make_unique<AcDbHyperlink>(name, description, subLocation));
}

void AcDbHyperlinkCollection::addAt(int index, const ACHAR* name, const ACHAR* description, const ACHAR* subLocation) {
    if (index < 0) index = 0;
    if (index > count()) index = count();
    items_.insert(items_.begin() + index, std::make_unique<AcDbHyperlink>(name, description, subLocation));
}

void AcDbHyperlinkCollection::removeHead() {
    if (!items_.empty()) items_.erase(items_.begin());
}

void AcDbHyperlinkCollection::removeTail() {
    if (!items_.empty()) items_.pop_back();
}

void AcDbHyperlinkCollection::removeAt(int index) {
    if (index >= 0 && index < count()) items_.erase(items_.begin() + index);
}

AcDbHyperlink* AcDbHyperlinkCollection::item(int index) const {
    return (index >= 0 && index < count()) ? items_[size_t(index)].get() : nullptr;
}

AcDbEntityHyperlinkPE* AcDbEntityHyperlinkPE::instance() {
    static AcDbEntityHyperlinkPE pe;
    return &pe;
}

AcRxObject* AcDbEntity::queryX(const AcRxClass* c) const {
    return c == AcDbEntityHyperlinkPE::desc() ? AcDbEntityHyperlinkPE::instance() : nullptr;
}

// Stored per link: 1000 name, then a group with 1000 description, 1000 sub-location and a
// group holding 1071 1.
Acad::ErrorStatus AcDbEntityHyperlinkPE::getHyperlinkCollection(AcDbObject* obj, AcDbHyperlinkCollection*& out,
                                                                bool oneOnly, bool) {
    out = nullptr;
    if (!obj) return Acad::eNullObjectId;
    out = new AcDbHyperlinkCollection;
    for (const AcDbXDataApp& app : obj->xDataApps()) {
        if (app.app != ACDB_HYPERLINK_APPNAME) continue;
        const AcDbRbValues& v = app.items;
        size_t i = 0;
        while (i < v.size()) {
            if (v[i].code != 1000) {
                ++i;
                continue;
            }
            std::wstring name = v[i++].str, desc, sub;
            if (i < v.size() && v[i].code == 1002 && v[i].str == L"{") {
                int depth = 1, strings = 0;
                ++i;
                while (i < v.size() && depth > 0) {
                    if (v[i].code == 1002)
                        depth += v[i].str == L"{" ? 1 : -1;
                    else if (v[i].code == 1000 && depth == 1) {
                        if (strings == 0)
                            desc = v[i].str;
                        else if (strings == 1)
                            sub = v[i].str;
                        ++strings;
                    }
                    ++i;
                }
            }
            out->addTail(name.c_str(), desc.c_str(), sub.c_str());
            if (oneOnly) return Acad::eOk;
        }
    }
    return Acad::eOk;
}

Acad::ErrorStatus AcDbEntityHyperlinkPE::setHyperlinkCollection(AcDbObject* obj, AcDbHyperlinkCollection* c) {
    if (!obj) return Acad::eNullObjectId;
    AcDbDatabase* db = obj->database() ? obj->database() : acdbWorkingDatabase();
    if (db && !db->isLoading()) {
        AcDbDatabase* was = acdbWorkingDatabase();
        acdbSetWorkingDatabase(db);
        acdbRegApp(ACDB_HYPERLINK_APPNAME);
        acdbSetWorkingDatabase(was);
    }
    AcDbRbValues items;
    auto add = [&](short code, const std::wstring& s) {
        AcDbRbValue v;
        v.code = code;
        v.str = s;
        items.push_back(v);
    };
    for (int i = 0; c && i < c->count(); ++i) {
        AcDbHyperlink* h = c->item(i);
        add(1000, h->name());
        add(1002, L"{");
        add(1000, h->description());
        add(1000, h->subLocation());
        add(1002, L"{");
        AcDbRbValue flag;
        flag.code = 1071;
        flag.integer = 1;
        items.push_back(flag);
        add(1002, L"}");
        add(1002, L"}");
    }
    AcDbRbValue head;
    head.code = 1001;
    head.str = ACDB_HYPERLINK_APPNAME;
    items.insert(items.begin(), head);
    resbuf* rb = acdbValuesToRb(items);
    Acad::ErrorStatus es = obj->setXData(rb);
    acutRelRb(rb);
    return es;
}

Acad::ErrorStatus AcDbEntityHyperlinkPE::getHyperlinkCount(AcDbObject* obj, unsigned int& count, bool ignore) {
    count = 0;
    AcDbHyperlinkCollection* c = nullptr;
    Acad::ErrorStatus es = getHyperlinkCollection(obj, c, false, ignore);
    if (c) count = unsigned(c->count());
    delete c;
    return es;
}

Acad::ErrorStatus AcDbEntityHyperlinkPE::hasHyperlink(AcDbObject* obj, bool& result, bool ignore) {
    unsigned int n = 0;
    Acad::ErrorStatus es = getHyperlinkCount(obj, n, ignore);
    result = n > 0;
    return es;
}
