#pragma once
// Block attributes: one tag and value (CAttribute), and the owning list (CAttributes) with the common
// text placement of a space block's NAME, AREA and AUX attributes.
#include "cad/AcDb.h"
#include "classlib/Afx.h"

class CStoredProcedure;

class CAttribute {
public:
    CAttribute();
    CAttribute(CString tag, CString value, int exists);
    // Virtual: lists hold space-block attributes through this class.
    virtual ~CAttribute() = default;
    CAttribute(const CAttribute&) = delete;
    CAttribute& operator=(const CAttribute&) = delete;

    CString getTag() const { return m_tag; }
    void setTag(CString tag) { m_tag = tag; }
    CString getValue() const { return m_value; }
    void setValue(CString value) { m_value = value; }
    CString getLayer() const { return m_layer; }
    void setLayer(CString layer) { m_layer = layer; }
    int getExists() const { return m_exists; }
    void setExists(int exists) { m_exists = exists; }
    AcDbObjectId getObjectId() const { return m_objectId; }
    void setObjectId(AcDbObjectId objectId) { m_objectId = objectId; }

    // Tag, value and exists; not the layer nor the id.
    virtual CAttribute* clone();

    // Writes the tag and value of the asset insert with the handle to the register.
    void applyToVXR(CStoredProcedure* procedure, int drawingID, CString handle, int timeout);

private:
    CString m_tag;
    CString m_value;
    CString m_layer;
    int m_exists;
    AcDbObjectId m_objectId;
};

class CAttributes {
public:
    CAttributes();
    virtual ~CAttributes();
    CAttributes(const CAttributes&) = delete;
    CAttributes& operator=(const CAttributes&) = delete;

    // Appends unless allowDuplicate is 0 and the tag is held already; a refused element stays the
    // caller's. Returns the count afterwards, so the caller can tell.
    int add(CAttribute* element, int allowDuplicate);
    CAttribute* getAt(int index);
    CAttribute* getAtAttribute(CString tag);
    // By swap role: 0 NAME, 1 AREA, 2 AUX.
    CAttribute* getAtAttribute(int swapType);
    int getCount() const { return m_count; }

    double getHeight() const { return m_height; }
    void setHeight(double height) { m_height = height; }
    double getWidthFactor() const { return m_widthFactor; }
    void setWidthFactor(double widthFactor) { m_widthFactor = widthFactor; }
    double getRotation() const { return m_rotation; }
    void setRotation(double rotation) { m_rotation = rotation; }
    AcGePoint3d getPosition() const { return m_position; }
    void setPosition(AcGePoint3d position) { m_position = position; }

    void copyKelmoAttributesTo(CAttributes* target);
    void copyAttributesTo(CAttributes* target);

    // Every attribute of an asset insert.
    void extractAttributeValues(AcDbBlockReference* reference);
    // NAME, AREA and AUX of a space block, with the placement of its first attribute.
    void extractSpaceBlockAttributeValues(AcDbBlockReference* reference, AcGeMatrix3d ucs);
    // Values and layers by tag.
    void applyToDWG(AcDbEntity* entity);
    // Lays NAME, AREA and AUX out around the anchor (by default the AREA attribute's position).
    void applyToDWG(AcDbEntity* entity, AcGeMatrix3d ucs, const AcGePoint3d* anchor = nullptr);
    void applyToDWG(AcDbObjectId id, AcGeMatrix3d ucs, const AcGePoint3d* anchor = nullptr);
    // The first label on a locked layer that the layout above would change, by its tag and layer: such a
    // label cannot be written. False when every label it changes can be.
    bool findLockedChange(AcDbEntity* entity, const AcGeMatrix3d& ucs, const AcGePoint3d* anchor, CString& tag,
                          CString& layer);
    void setAttributesIDsInvisible(AcDbBlockReference* reference);
    void setAttributesIDsVisible();
    void deleteObjects();

    // The register: every element in order, and the attributes it holds for an asset appended.
    void applyToVXR(CStoredProcedure* procedure, int drawingID, CString handle, int timeout);
    void getAssetAttributes(CStoredProcedure* procedure, int drawingID, CString handle, int timeout);

    // The rotation of a text in the plane of the UCS, in radians from the UCS x axis.
    static double rotationInUcs(const AcDbText* text, const AcGeMatrix3d& ucs);

private:
    CTypedPtrArray<CPtrArray, CAttribute*> m_attributes;
    int m_count;
    double m_height;
    double m_widthFactor;
    double m_rotation;
    AcGePoint3d m_position;
};
