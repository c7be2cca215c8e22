#pragma once
// An asset: a block reference inside a space or crossing its boundary (CAsset), and the owning list
// of a space's or a report category's assets (CAssets).
#include "cad/AcDb.h"
#include "classlib/Afx.h"
#include "xml/MsXml.h"

class CAcadDrawing;
class CAttributes;
class CHatch;
class CHyperlinks;
class CKelmoExceptions;
class CStoredProcedure;

class CAsset {
public:
    CAsset();
    CAsset(int drawingID, CString handle, CString blockIdentifier, CString blockDescription, CString uniqueDescription,
           double x, double y, int existsInLocation);
    CAsset(int locationID, int drawingID, CString handle, CString blockIdentifier, CString blockDescription,
           CString uniqueDescription, double x, double y, int existsInLocation);
    // The status text "0" means the asset is not in its location.
    CAsset(int locationID, int drawingID, CString handle, CString blockIdentifier, CString blockDescription,
           CString uniqueDescription, double x, double y, CString status);
    ~CAsset();
    CAsset(const CAsset&) = delete;
    CAsset& operator=(const CAsset&) = delete;

    void initialise(int locationID, int drawingID, CString handle, CString blockIdentifier, CString blockDescription,
                    CString uniqueDescription, double x, double y, int existsInLocation);

    int getLocationID() const { return m_locationID; }
    void setLocationID(int locationID) { m_locationID = locationID; }
    int getDrawingID() const { return m_drawingID; }
    void setDrawingID(int drawingID) { m_drawingID = drawingID; }
    AcDbObjectId getObjectId() const { return m_objectId; }
    void setObjectId(AcDbObjectId objectId) { m_objectId = objectId; }
    AcDbHandle getHandle() const { return m_handle; }
    void setHandle(AcDbHandle handle) { m_handle = handle; }
    void setHandle(CString handle);
    CString getHandleAsString() const;
    CString getBlockIdentifier() const { return m_blockIdentifier; }
    void setBlockIdentifier(CString blockIdentifier) { m_blockIdentifier = blockIdentifier; }
    CString getBlockDescription() const { return m_blockDescription; }
    void setBlockDescription(CString blockDescription) { m_blockDescription = blockDescription; }
    CString getUniqueDescription() const { return m_uniqueDescription; }
    void setUniqueDescription(CString uniqueDescription) { m_uniqueDescription = uniqueDescription; }
    double getPointX() const { return m_pointX; }
    void setPointX(double pointX) { m_pointX = pointX; }
    double getPointY() const { return m_pointY; }
    void setPointY(double pointY) { m_pointY = pointY; }
    int getAssetExistsInLocation() const { return m_assetExistsInLocation; }
    void setAssetExistsInLocation(int exists) { m_assetExistsInLocation = exists; }
    // The setters of owned objects take ownership and do not delete what was held before.
    CAttributes* getAttributes() const { return m_attributes; }
    void setAttributes(CAttributes* attributes) { m_attributes = attributes; }
    CHyperlinks* getHyperlinks() const { return m_hyperlinks; }
    void setHyperlinks(CHyperlinks* hyperlinks) { m_hyperlinks = hyperlinks; }
    CHatch* getHatch() const { return m_hatch; }
    void setHatch(CHatch* hatch) { m_hatch = hatch; }

    void copyTo(CAsset* target);

    // Writes the asset to its insert: layer on, hatch, hyperlinks, attribute values.
    void applyToDWG(CAcadDrawing* drawing, CKelmoExceptions* warnings);
    void hatchAsset(CAcadDrawing* drawing, AcDbEntity* insert, AcDbObjectId* hatchId, CKelmoExceptions* warnings);
    void hatchAssetArea(CAcadDrawing* drawing, AcDbBlockReference* insert, AcGePoint3d minimum, AcGePoint3d maximum,
                        AcDbObjectId* hatchId, CKelmoExceptions* warnings);
    // The insert and its attributes; the block definition is shared by every insert and is left alone.
    void hyperlinkAsset(AcDbEntity* insert);
    void hyperlinkHatch(const AcDbObjectId* hatchId);
    void hyperlinkEntity(AcDbEntity* entity);
    void editLineWeights(AcDbEntity* entity);

    IXMLDOMNodePtr serialize(CString namespaceURI);
    void deSerialize(IXMLDOMNodePtr node, CHatch* hatch);

    // The register: the asset under the given location and drawing, with its attributes unless the
    // register excludes its kind from take-off.
    void applyToVXR(CStoredProcedure* procedure, int drawingID, int locationID, int timeout);
    void exportTP(CStoredProcedure* procedure, int timeout, CString exportParameters);

private:
    AcDbObjectId m_objectId;
    AcDbHandle m_handle;
    int m_locationID;
    int m_drawingID;
    CString m_blockIdentifier;
    CString m_blockDescription;
    CString m_uniqueDescription;
    double m_pointX;
    double m_pointY;
    int m_assetExistsInLocation;
    CAttributes* m_attributes;
    CHyperlinks* m_hyperlinks;
    CHatch* m_hatch;
};

class CAssets {
public:
    CAssets();
    ~CAssets();
    CAssets(const CAssets&) = delete;
    CAssets& operator=(const CAssets&) = delete;

    // Takes the asset; no duplicate check. Returns the count.
    int add(CAsset* asset);
    CAsset* getAt(int index);
    CAsset* getAtAsset(CString handle);
    int getCount() const { return m_count; }
    void copyTo(CAssets* target);
    void deleteObjects();

    // The crossing-polygon selection over a space's boundary, a polyline of its block definition (or
    // the lightweight form of a 2D one) placed by the reference's block transform, among the inserts of
    // `space`, the block record of the layout holding the space (model space, or a paper layout).
    // Returns the host's result code.
    int getPolylineAssetsSS(const AcGeMatrix3d& blockTransform, const AcDbPolyline* boundary, AcDbObjectId space,
                            ads_name selection);
    // Appends an asset for every insert of that selection.
    void getPolylineAssets(const AcGeMatrix3d& blockTransform, const AcDbPolyline* boundary, AcDbObjectId space);
    void setPolylineAssetAttributesInvisible(const AcGeMatrix3d& blockTransform, const AcDbPolyline* boundary,
                                             AcDbObjectId space, CAttributes* hidden);
    void applyToDWG(CAcadDrawing* drawing, CKelmoExceptions* warnings);

    IXMLDOMNodePtr serialize(CString namespaceURI);
    // The child list of an "assets" element.
    void deSerialize(IXMLDOMNodeListPtr nodes, CHatch* hatch);

    // The register: each asset in order, and the assets of a location or of a report category appended.
    void applyToVXR(CStoredProcedure* procedure, int drawingID, int locationID, int timeout);
    void exportTP(CStoredProcedure* procedure, int timeout, CString exportParameters);
    void getLocationAssets(CStoredProcedure* procedure, int locationID, int timeout);
    void getCategoryAssets(CStoredProcedure* procedure, int timeout, int categoryID, CHatch* hatch);

private:
    CTypedPtrArray<CPtrArray, CAsset*> m_assets;
    int m_count;
};
