#pragma once
// The owning list of a space's or an asset's hyperlinks; never two with the same address.
#include "cad/AcDb.h"
#include "classlib/Afx.h"
#include "xml/MsXml.h"

class CHyperlink;
class CStoredProcedure;

class CHyperlinks {
public:
    CHyperlinks();
    // The entity's own hyperlinks.
    explicit CHyperlinks(AcDbEntity* entity);
    virtual ~CHyperlinks();
    CHyperlinks(const CHyperlinks&) = delete;
    CHyperlinks& operator=(const CHyperlinks&) = delete;

    // TRUE when stored. A link whose address is held already is refused and stays the caller's.
    BOOL add(CHyperlink* link);
    CHyperlink* getAt(int index);
    int getCount() const { return m_count; }
    void copyTo(CHyperlinks* target);
    void getEntityHyperlinks(AcDbEntity* entity);
    // fromDefinition 0: the entity's own; otherwise those of every entity of its block definition.
    void getBlockHyperlinks(AcDbEntity* entity, int fromDefinition);
    // "address,description;address;..." with each address made a register page address for the id.
    void setHyperlinks(CString list, int id);
    IXMLDOMNodePtr serialize(CString namespaceURI);
    void deSerialize(IXMLDOMNodePtr node);
    void deleteObjects();

    // The hyperlinks the register holds for a block or an asset of a report category, appended.
    void getBlockHyperlinks(CStoredProcedure* procedure, int timeout, int categoryID, CString handle);
    void getAssetHyperlinks(CStoredProcedure* procedure, int timeout, int categoryID, CString handle);

    // Replaces the hyperlinks of an entity open for write by the list's, in list order or reversed.
    void applyToEntity(AcDbEntity* entity, BOOL reversed = FALSE);

private:
    // Adds the link, or deletes it when the list refuses it.
    void addOrDelete(CHyperlink* link);
    void getRegisterHyperlinks(CStoredProcedure* procedure, const wchar_t* procedureName, int timeout, int categoryID,
                               const CString& handle, const wchar_t* method);

    CTypedPtrArray<CPtrArray, CHyperlink*> m_hyperlinks;
    int m_count;
};
