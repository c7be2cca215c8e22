#include "model/Hyperlinks.h"

#include "core/Catch.h"
#include "core/Globals.h"
#include "core/XMLUtilities.h"
#include "model/Hyperlink.h"
#include "model/RegisterSupport.h"

KELMO_SOURCE_FILE(L"Hyperlinks");

namespace {

AcDbEntityHyperlinkPE* hyperlinkExtension(AcDbEntity* entity) {
    return AcDbEntityHyperlinkPE::cast(entity->queryX(AcDbEntityHyperlinkPE::desc()));
}

} // namespace

CHyperlinks::CHyperlinks() : m_count(0) {}

CHyperlinks::CHyperlinks(AcDbEntity* entity) : m_count(0) {
    try {
        getBlockHyperlinks(entity, 0);
    } catch (...) {
        deleteObjects();
        throw;
    }
}

CHyperlinks::~CHyperlinks() {
    deleteObjects();
}

BOOL CHyperlinks::add(CHyperlink* link) {
    KELMO_TRY
        if (!link) return FALSE;
        for (int i = 0; i < m_count; ++i) {
            if (m_hyperlinks[i]->getHref() == link->getHref()) return FALSE;
        }
        m_hyperlinks.Add(link);
        ++m_count;
        return TRUE;
    KELMO_CATCH(L"CHyperlinks::add")
}

void CHyperlinks::addOrDelete(CHyperlink* link) {
    if (!add(link)) delete link;
}

CHyperlink* CHyperlinks::getAt(int index) {
    KELMO_TRY
        return m_hyperlinks.GetAt(index);
    KELMO_CATCH_ALSO(L"CHyperlinks::getAt", kelmo::catchClassLib)
}

void CHyperlinks::copyTo(CHyperlinks* target) {
    KELMO_TRY
        if (!target) return;
        for (int i = 0; i < m_count; ++i) {
            CHyperlink* copy = new CHyperlink();
            m_hyperlinks[i]->copyTo(copy);
            target->addOrDelete(copy);
        }
    KELMO_CATCH(L"CHyperlinks::copyTo")
}

void CHyperlinks::getEntityHyperlinks(AcDbEntity* entity) {
    KELMO_TRY
        if (!entity) return;
        AcDbEntityHyperlinkPE* extension = hyperlinkExtension(entity);
        if (!extension) return;
        AcDbHyperlinkCollection* collection = nullptr;
        if (extension->getHyperlinkCollection(entity, collection, false, true) != Acad::eOk || !collection) return;
        for (int i = 0; i < collection->count(); ++i) {
            AcDbHyperlink* item = collection->item(i);
            addOrDelete(new CHyperlink(item->name(), item->description()));
        }
        delete collection;
    KELMO_CATCH_ALSO(L"CHyperlinks::getEntityHyperlinks", kelmo::catchClassLib)
}

void CHyperlinks::getBlockHyperlinks(AcDbEntity* entity, int fromDefinition) {
    KELMO_TRY
        if (fromDefinition == 0) {
            getEntityHyperlinks(entity);
            return;
        }
        AcDbBlockReference* reference = AcDbBlockReference::cast(entity);
        if (!reference) return;
        AcDbBlockTableRecord* definition = nullptr;
        if (acdbOpenObject(definition, reference->blockTableRecord(), AcDb::kForRead) != Acad::eOk) return;
        AcDbBlockTableRecordIterator* iterator = nullptr;
        if (definition->newIterator(iterator) == Acad::eOk) {
            for (iterator->start(); !iterator->done(); iterator->step()) {
                AcDbEntity* member = nullptr;
                if (iterator->getEntity(member, AcDb::kForRead) != Acad::eOk) continue;
                try {
                    getEntityHyperlinks(member);
                } catch (...) {
                    member->close();
                    delete iterator;
                    definition->close();
                    throw;
                }
                member->close();
            }
            delete iterator;
        }
        definition->close();
    KELMO_CATCH_ALSO(L"CHyperlinks::getBlockHyperlinks", kelmo::catchClassLib)
}

void CHyperlinks::setHyperlinks(CString list, int id) {
    KELMO_TRY
        int start = 0;
        for (;;) {
            int semicolon = list.Find(L';', start);
            CString item = semicolon < 0 ? list.Mid(start) : list.Mid(start, semicolon - start);
            CString address = item;
            CString description = item;
            int comma = item.Find(L',');
            if (comma >= 0) {
                address = item.Left(comma);
                description = item.Mid(comma + 1);
            }
            if (address.IsEmpty()) address = description;
            if (description.IsEmpty()) description = address;
            address.Trim();
            description.Trim();
            if (!address.IsEmpty()) {
                CHyperlink* link = new CHyperlink();
                link->setHyperlink(address, id);
                link->setDescription(description);
                addOrDelete(link);
            }
            if (semicolon < 0) break;
            start = semicolon + 1;
        }
    KELMO_CATCH(L"CHyperlinks::setHyperlinks")
}

IXMLDOMNodePtr CHyperlinks::serialize(CString namespaceURI) {
    KELMO_TRY
        CXMLUtilities xml;
        IXMLDOMNodePtr element = xml.createNode(L"hyperlinks", namespaceURI);
        for (int i = 0; i < m_count; ++i) element->appendChild(m_hyperlinks[i]->serialize(namespaceURI));
        return element;
    KELMO_CATCH_ALSO(L"CHyperlinks::serialize", kelmo::catchClassLib)
}

void CHyperlinks::deSerialize(IXMLDOMNodePtr node) {
    KELMO_TRY
        if (node == nullptr) return;
        IXMLDOMNodeListPtr children = node->GetchildNodes();
        for (long i = 0; i < children->Getlength(); ++i) {
            IXMLDOMNodePtr child = children->Getitem(i);
            if (kelmo_xml::nodeName(child) != L"hyperlink") continue;
            CHyperlink* link = new CHyperlink();
            try {
                link->deSerialize(child);
            } catch (...) {
                delete link;
                throw;
            }
            addOrDelete(link);
        }
    KELMO_CATCH_ALSO(L"CHyperlinks::deSerialize", kelmo::catchClassLib)
}

void CHyperlinks::deleteObjects() {
    for (INT_PTR i = 0; i < m_hyperlinks.GetSize(); ++i) delete m_hyperlinks[i];
    m_hyperlinks.RemoveAll();
    m_count = 0;
}

void CHyperlinks::applyToEntity(AcDbEntity* entity, BOOL reversed) {
    KELMO_TRY
        if (!entity) return;
        AcDbEntityHyperlinkPE* extension = hyperlinkExtension(entity);
        if (!extension) return;
        AcDbHyperlinkCollection* collection = nullptr;
        if (extension->getHyperlinkCollection(entity, collection, false, true) != Acad::eOk || !collection) return;
        collection->removeAll();
        for (int i = 0; i < m_count; ++i) {
            if (reversed)
                collection->addHead(m_hyperlinks[i]->getHref(), m_hyperlinks[i]->getDescription(), L"");
            else
                collection->addTail(m_hyperlinks[i]->getHref(), m_hyperlinks[i]->getDescription(), L"");
        }
        Acad::ErrorStatus status = extension->setHyperlinkCollection(entity, collection);
        delete collection;
        if (status != Acad::eOk)
            throw new CEXUnhandled(status, KELMO_BANNER, kelmoSourceFile, L"CHyperlinks::applyToEntity", 0, CString(),
                                   nullptr);
    KELMO_CATCH_ALSO(L"CHyperlinks::applyToEntity", kelmo::catchClassLib)
}

// ---------------------------------------------------------------------------------------------------------
// Register

void CHyperlinks::getRegisterHyperlinks(CStoredProcedure* procedure, const wchar_t* procedureName, int timeout,
                                        int categoryID, const CString& handle, const wchar_t* method) {
    kelmo_model::RegisterCall call(procedure);
    KELMO_TRY
        call.addInt(L"@categoryID", 1, categoryID);
        call.addVarChar(L"@handle", 255, handle);
        call.prepare(procedureName, timeout);
        kelmo_model::RegisterRows rows(procedure->execSPReturnParas());
        if (!rows.empty()) {
            while (!rows.atEnd()) {
                CHyperlink* link = new CHyperlink();
                try {
                    if (!rows.isNull(L"bhHref")) link->setHref(rows.text(L"bhHref"));
                    if (!rows.isNull(L"bhDescription")) link->setDescription(rows.text(L"bhDescription"));
                } catch (...) {
                    delete link;
                    throw;
                }
                addOrDelete(link);
                rows.next();
            }
        }
        rows.close();
    KELMO_REGISTER_CATCH(procedure, method)
}

void CHyperlinks::getBlockHyperlinks(CStoredProcedure* procedure, int timeout, int categoryID, CString handle) {
    getRegisterHyperlinks(procedure, L"__gr_getBlockHyperlinks", timeout, categoryID, handle,
                          L"CHyperlinks::getBlockHyperlinks");
}

void CHyperlinks::getAssetHyperlinks(CStoredProcedure* procedure, int timeout, int categoryID, CString handle) {
    getRegisterHyperlinks(procedure, L"__gr_getAssetHyperlinks", timeout, categoryID, handle,
                          L"CHyperlinks::getAssetHyperlinks");
}
