#pragma once
// Entities: common properties and the curves, texts, attributes, inserts and viewports.
#include "cad/db/AcCmColor.h"
#include "cad/db/AcDbObject.h"
#include "cad/db/AcDbSymbolTable.h"
#include "cad/db/CadGeometry.h"

class AcDbAttribute;
class AcDbAttributeDefinition;

class AcDbEntity : public AcDbObject {
    ACRX_DECLARE_MEMBERS(AcDbEntity)
public:
    AcDbEntity() = default;

    AcDbObjectId blockId() const { return ownerId(); }
    ACHAR* layer() const; // a copy; free with acutDelString
    const std::wstring& layerName() const { return layerName_.str(); }
    AcDbObjectId layerId() const { return layerId_; }
    // Refused with eKeyNotFound when the database has no such layer.
    virtual Acad::ErrorStatus setLayer(const ACHAR* name, bool doSubents = true, bool allowHiddenLayer = false);
    virtual Acad::ErrorStatus setLayer(AcDbObjectId id, bool doSubents = true, bool allowHiddenLayer = false);
    AcCmColor color() const { return color_; }
    virtual Acad::ErrorStatus setColor(const AcCmColor& c, bool doSubents = true);
    Adesk::UInt16 colorIndex() const { return color_.colorIndex(); }
    virtual Acad::ErrorStatus setColorIndex(Adesk::UInt16 i, bool doSubents = true);
    AcCmEntityColor entityColor() const { return color_.entityColor(); }
    ACHAR* linetype() const; // a copy; free with acutDelString
    const std::wstring& linetypeName() const { return linetypeName_.str(); }
    AcDbObjectId linetypeId() const { return linetypeId_; }
    virtual Acad::ErrorStatus setLinetype(const ACHAR* name, bool doSubents = true);
    virtual Acad::ErrorStatus setLinetype(AcDbObjectId id, bool doSubents = true);
    double linetypeScale() const { return rare_->linetypeScale; }
    virtual Acad::ErrorStatus setLinetypeScale(double s, bool doSubents = true);
    AcDb::LineWeight lineWeight() const { return rare_->lineWeight; }
    virtual Acad::ErrorStatus setLineWeight(AcDb::LineWeight w, bool doSubents = true);
    AcDb::Visibility visibility() const { return rare_->visibility; }
    virtual Acad::ErrorStatus setVisibility(AcDb::Visibility v, bool doSubents = true);
    // Layer, colour, linetype, linetype scale, lineweight and visibility of another entity.
    Acad::ErrorStatus setPropertiesFrom(const AcDbEntity* other, bool doSubents = true);
    // The database's current layer, colour by layer, linetype by layer, lineweight by layer.
    void setDatabaseDefaults(AcDbDatabase* db = nullptr);

    virtual Acad::ErrorStatus transformBy(const AcGeMatrix3d& m);
    virtual Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const;
    Acad::ErrorStatus getTransformedCopy(const AcGeMatrix3d& m, AcDbEntity*& copy) const;
    // The entity's geometry as world X-Y paths, transformed by m (for polygon selection).
    virtual void getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const;
    // Name of the entity type in a drawing file ("LWPOLYLINE", "INSERT" ...).
    virtual const ACHAR* dxfTypeName() const { return isA()->dxfName(); }
    // Answers AcDbEntityHyperlinkPE::desc() with the hyperlink protocol extension.
    AcRxObject* queryX(const AcRxClass* c) const override;

    // Fields of the file's common entity part that the API does not reach otherwise.
    bool isPaperSpace() const { return paperSpace_; }
    void setPaperSpace(bool v) { paperSpace_ = v; }
    Adesk::Int32 transparency() const { return rare_->transparency; }
    void setTransparency(Adesk::Int32 t) {
        rare_.change([&](Rare& r) { r.transparency = t; });
    }
    // Layer by name without a table look-up (file reading; the id is resolved when the entity joins a database).
    void setLayerNameOnly(const std::wstring& name) {
        layerName_ = name;
        layerId_.setNull();
    }
    // Layer and linetype records the file reader has found already, named as the record spells them.
    void setLayerFound(AcDbObjectId id, const AcDbSharedName& name) {
        layerId_ = id;
        layerName_ = name;
        layerExplicit_ = true;
    }
    void setLinetypeFound(AcDbObjectId id, const AcDbSharedName& name) {
        linetypeId_ = id;
        linetypeName_ = name;
    }
    void setLinetypeNameOnly(const std::wstring& name) {
        linetypeName_ = name;
        linetypeId_.setNull();
    }

    void collectReferences(std::vector<AcDbObjectId*>& refs) override;
    void onAddedToDatabase(AcDbDatabase* db) override;

protected:
    AcDbEntity(const AcDbEntity&) = default;
    // Normals and directions are kept as unit vectors; a zero vector has no direction (eInvalidInput).
    Acad::ErrorStatus setUnitVector(AcGeVector3d& field, const AcGeVector3d& v);

private:
    // What entities mostly leave as they are (a plan holds thousands of them).
    struct Rare {
        double linetypeScale = 1.0;
        AcDb::LineWeight lineWeight = AcDb::kLnWtByLayer;
        AcDb::Visibility visibility = AcDb::kVisible;
        Adesk::Int32 transparency = 0;
        Adesk::Int32 unused = 0; // no padding: the defaults are told apart byte by byte
    };
    // First, so that they fill the bytes the object part leaves at its end.
    bool paperSpace_ = false;
    bool layerExplicit_ = false; // else the entity takes the current layer when it joins a database
    AcDbSharedName layerName_ = AcDbSharedName::layerZero(), linetypeName_ = AcDbSharedName::byLayer();
    AcDbObjectId layerId_, linetypeId_;
    AcCmColor color_;
    AcDbRareFields<Rare> rare_;
};

class AcDbCurve : public AcDbEntity {
    ACRX_DECLARE_MEMBERS(AcDbCurve)
public:
    virtual bool isClosed() const { return false; }
    virtual Acad::ErrorStatus getStartParam(double& p) const {
        p = 0;
        return Acad::eOk;
    }
    virtual Acad::ErrorStatus getEndParam(double& p) const = 0;
    virtual Acad::ErrorStatus getDistAtParam(double param, double& dist) const = 0;
    virtual Acad::ErrorStatus getPointAtParam(double param, AcGePoint3d& pt) const = 0;
    virtual Acad::ErrorStatus getArea(double& area) const;
    Acad::ErrorStatus getStartPoint(AcGePoint3d& pt) const;
    Acad::ErrorStatus getEndPoint(AcGePoint3d& pt) const;
    virtual bool isPlanar() const { return true; }
    // The curve as a plane path in its own plane (for hatch loops); false when it has none.
    virtual bool getPlanePath(cadgeom::BulgePath& path, AcGeVector3d& normal, double& elevation) const;

protected:
    AcDbCurve() = default;
    AcDbCurve(const AcDbCurve&) = default;
};

// Lightweight polyline: 2D vertices with bulges and widths, in the plane of its normal at its elevation.
class AcDbPolyline : public AcDbCurve {
    ACRX_DECLARE_MEMBERS(AcDbPolyline)
public:
    AcDbPolyline() = default;
    explicit AcDbPolyline(unsigned int numVerts) { verts_.reserve(numVerts); }
    ACDB_CLONE_DATA(AcDbPolyline)

    Acad::ErrorStatus addVertexAt(unsigned int index, const AcGePoint2d& pt, double bulge = 0, double startWidth = -1,
                                  double endWidth = -1, Adesk::Int32 vertexIdentifier = 0);
    Acad::ErrorStatus removeVertexAt(unsigned int index);
    unsigned int numVerts() const { return unsigned(verts_.size()); }
    Acad::ErrorStatus getPointAt(unsigned int index, AcGePoint3d& pt) const; // world coordinates
    Acad::ErrorStatus getPointAt(unsigned int index, AcGePoint2d& pt) const; // plane coordinates
    Acad::ErrorStatus setPointAt(unsigned int index, const AcGePoint2d& pt);
    Acad::ErrorStatus getBulgeAt(unsigned int index, double& bulge) const;
    Acad::ErrorStatus setBulgeAt(unsigned int index, double bulge);
    Acad::ErrorStatus getWidthsAt(unsigned int index, double& startWidth, double& endWidth) const;
    Acad::ErrorStatus setWidthsAt(unsigned int index, double startWidth, double endWidth);
    Acad::ErrorStatus getVertexIdentifierAt(unsigned int index, Adesk::Int32& id) const;
    Acad::ErrorStatus setVertexIdentifierAt(unsigned int index, Adesk::Int32 id);
    void reset(bool reuse, unsigned int numVerts);
    bool isClosed() const override { return closed_; }
    void setClosed(bool v);
    bool hasPlinegen() const { return plinegen_; }
    void setPlinegen(bool v);
    double elevation() const { return elevation_; }
    void setElevation(double e);
    AcGeVector3d normal() const { return normal_; }
    void setNormal(const AcGeVector3d& n);
    double thickness() const { return thickness_; }
    Acad::ErrorStatus setThickness(double t);
    Acad::ErrorStatus getConstantWidth(double& w) const {
        w = constantWidth_;
        return Acad::eOk;
    }
    Acad::ErrorStatus setConstantWidth(double w);
    bool isOnlyLines() const;
    // Takes the vertices, bulges, widths, plane and closing of a 2D old-style polyline, as a host does
    // when it opens an older drawing. Only a copy is made here (transferId false): the entity stays.
    Acad::ErrorStatus convertFrom(AcDbEntity*& entity, Adesk::Boolean transferId = Adesk::kTrue);
    // The drawing-format flag word (1 closed, 128 plinegen).
    int dxfFlags() const { return (closed_ ? 1 : 0) | (plinegen_ ? 128 : 0); }

    // Parameters: vertex i is at parameter i; the closing segment ends at numVerts.
    Acad::ErrorStatus getEndParam(double& p) const override;
    Acad::ErrorStatus getDistAtParam(double param, double& dist) const override;
    Acad::ErrorStatus getPointAtParam(double param, AcGePoint3d& pt) const override;
    // Area enclosed by the vertices with their arcs and the closing segment (absolute value).
    Acad::ErrorStatus getArea(double& area) const override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    void getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const override;
    bool getPlanePath(cadgeom::BulgePath& path, AcGeVector3d& normal, double& elevation) const override;
    cadgeom::BulgePath planePath() const;

private:
    struct Vertex {
        AcGePoint2d pt;
        double bulge = 0, startWidth = 0, endWidth = 0;
        Adesk::Int32 id = 0;
    };
    bool inWorldPlane() const;
    AcGeMatrix3d planeToWorld() const;
    std::vector<Vertex> verts_;
    bool closed_ = false, plinegen_ = false;
    double elevation_ = 0, thickness_ = 0, constantWidth_ = 0;
    AcGeVector3d normal_{0, 0, 1};
};

class AcDbLine : public AcDbCurve {
    ACRX_DECLARE_MEMBERS(AcDbLine)
public:
    AcDbLine() = default;
    AcDbLine(const AcGePoint3d& a, const AcGePoint3d& b) : start_(a), end_(b) {}
    ACDB_CLONE_DATA(AcDbLine)
    AcGePoint3d startPoint() const { return start_; }
    Acad::ErrorStatus setStartPoint(const AcGePoint3d& p);
    AcGePoint3d endPoint() const { return end_; }
    Acad::ErrorStatus setEndPoint(const AcGePoint3d& p);
    AcGeVector3d normal() const { return normal_; }
    Acad::ErrorStatus setNormal(const AcGeVector3d& n);
    double thickness() const { return thickness_; }
    Acad::ErrorStatus setThickness(double t);
    Acad::ErrorStatus getEndParam(double& p) const override;
    Acad::ErrorStatus getDistAtParam(double param, double& dist) const override;
    Acad::ErrorStatus getPointAtParam(double param, AcGePoint3d& pt) const override;
    Acad::ErrorStatus getArea(double& area) const override {
        area = 0;
        return Acad::eOk;
    }
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    void getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const override;
    bool getPlanePath(cadgeom::BulgePath& path, AcGeVector3d& normal, double& elevation) const override;

private:
    AcGePoint3d start_, end_;
    AcGeVector3d normal_{0, 0, 1};
    double thickness_ = 0;
};

class AcDbCircle : public AcDbCurve {
    ACRX_DECLARE_MEMBERS(AcDbCircle)
public:
    AcDbCircle() = default;
    AcDbCircle(const AcGePoint3d& c, const AcGeVector3d& n, double r) : center_(c), normal_(n), radius_(r) {}
    ACDB_CLONE_DATA(AcDbCircle)
    AcGePoint3d center() const { return center_; }
    Acad::ErrorStatus setCenter(const AcGePoint3d& c);
    double radius() const { return radius_; }
    Acad::ErrorStatus setRadius(double r);
    AcGeVector3d normal() const { return normal_; }
    Acad::ErrorStatus setNormal(const AcGeVector3d& n);
    double thickness() const { return thickness_; }
    Acad::ErrorStatus setThickness(double t);
    bool isClosed() const override { return true; }
    Acad::ErrorStatus getEndParam(double& p) const override;
    Acad::ErrorStatus getDistAtParam(double param, double& dist) const override;
    Acad::ErrorStatus getPointAtParam(double param, AcGePoint3d& pt) const override;
    Acad::ErrorStatus getArea(double& area) const override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    void getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const override;
    bool getPlanePath(cadgeom::BulgePath& path, AcGeVector3d& normal, double& elevation) const override;

private:
    AcGePoint3d center_;
    AcGeVector3d normal_{0, 0, 1};
    double radius_ = 0, thickness_ = 0;
};

// Arc: centre in world coordinates, angles in the plane of the normal, counter-clockwise.
class AcDbArc : public AcDbCurve {
    ACRX_DECLARE_MEMBERS(AcDbArc)
public:
    AcDbArc() = default;
    AcDbArc(const AcGePoint3d& c, double r, double startAngle, double endAngle)
        : center_(c), radius_(r), start_(startAngle), end_(endAngle) {}
    AcDbArc(const AcGePoint3d& c, const AcGeVector3d& n, double r, double startAngle, double endAngle)
        : center_(c), normal_(n), radius_(r), start_(startAngle), end_(endAngle) {}
    ACDB_CLONE_DATA(AcDbArc)
    AcGePoint3d center() const { return center_; }
    Acad::ErrorStatus setCenter(const AcGePoint3d& c);
    double radius() const { return radius_; }
    Acad::ErrorStatus setRadius(double r);
    double startAngle() const { return start_; }
    Acad::ErrorStatus setStartAngle(double a);
    double endAngle() const { return end_; }
    Acad::ErrorStatus setEndAngle(double a);
    AcGeVector3d normal() const { return normal_; }
    Acad::ErrorStatus setNormal(const AcGeVector3d& n);
    double thickness() const { return thickness_; }
    Acad::ErrorStatus setThickness(double t);
    double sweep() const;                                    // 0 < sweep <= 2 pi
    Acad::ErrorStatus getEndParam(double& p) const override; // start angle + sweep
    Acad::ErrorStatus getStartParam(double& p) const override {
        p = start_;
        return Acad::eOk;
    }
    Acad::ErrorStatus getDistAtParam(double param, double& dist) const override;
    Acad::ErrorStatus getPointAtParam(double param, AcGePoint3d& pt) const override;
    Acad::ErrorStatus getArea(double& area) const override;
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    void getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const override;
    bool getPlanePath(cadgeom::BulgePath& path, AcGeVector3d& normal, double& elevation) const override;

private:
    AcGePoint3d center_;
    AcGeVector3d normal_{0, 0, 1};
    double radius_ = 0, start_ = 0, end_ = 0, thickness_ = 0;
};

// Single-line text. Position is the insertion point; the alignment point applies to modes other
// than left/baseline.
class AcDbText : public AcDbEntity {
    ACRX_DECLARE_MEMBERS(AcDbText)
public:
    AcDbText() = default;
    AcDbText(const AcGePoint3d& position, const ACHAR* text, AcDbObjectId style = AcDbObjectId(), double height = 0,
             double rotation = 0);
    ACDB_CLONE_DATA(AcDbText)
    AcGePoint3d position() const { return position_; }
    Acad::ErrorStatus setPosition(const AcGePoint3d& p);
    AcGePoint3d alignmentPoint() const { return rare_->alignment; }
    Acad::ErrorStatus setAlignmentPoint(const AcGePoint3d& p);
    bool isDefaultAlignment() const { return hmode_ == AcDb::kTextLeft && vmode_ == AcDb::kTextBase; }
    double height() const { return height_; }
    Acad::ErrorStatus setHeight(double h);
    double widthFactor() const { return rare_->widthFactor; }
    Acad::ErrorStatus setWidthFactor(double w);
    double rotation() const { return rotation_; }
    Acad::ErrorStatus setRotation(double r);
    double oblique() const { return rare_->oblique; }
    Acad::ErrorStatus setOblique(double a);
    double thickness() const { return rare_->thickness; }
    Acad::ErrorStatus setThickness(double t);
    AcGeVector3d normal() const { return rare_->normal; }
    Acad::ErrorStatus setNormal(const AcGeVector3d& n);
    ACHAR* textString() const; // a copy; free with acutDelString
    const ACHAR* textStringConst() const { return text_.c_str(); }
    Acad::ErrorStatus setTextString(const ACHAR* s);
    AcDb::TextHorzMode horizontalMode() const { return hmode_; }
    Acad::ErrorStatus setHorizontalMode(AcDb::TextHorzMode m);
    AcDb::TextVertMode verticalMode() const { return vmode_; }
    Acad::ErrorStatus setVerticalMode(AcDb::TextVertMode m);
    AcDbObjectId textStyle() const { return style_; }
    Acad::ErrorStatus setTextStyle(AcDbObjectId id);
    bool isMirroredInX() const { return (genFlags_ & 2) != 0; }
    Acad::ErrorStatus mirrorInX(bool v);
    bool isMirroredInY() const { return (genFlags_ & 4) != 0; }
    Acad::ErrorStatus mirrorInY(bool v);
    int generationFlags() const { return genFlags_; }
    void setGenerationFlags(int f) { genFlags_ = f; }
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    void getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const override;
    void collectReferences(std::vector<AcDbObjectId*>& refs) override;
    void onAddedToDatabase(AcDbDatabase* db) override;

protected:
    AcDbText(const AcDbText&) = default;
    // Corners of the text box in world coordinates (an estimate: each character 0.8 of the height wide).
    void boxCorners(AcGePoint3d corners[4]) const;

private:
    // What texts and attributes mostly leave as they are.
    struct Rare {
        AcGePoint3d alignment;
        double widthFactor = 1, oblique = 0, thickness = 0;
        AcGeVector3d normal{0, 0, 1};
    };
    AcGePoint3d position_;
    double height_ = 0, rotation_ = 0;
    AcDbRareFields<Rare> rare_;
    AcDbCompactText text_;
    AcDb::TextHorzMode hmode_ = AcDb::kTextLeft;
    AcDb::TextVertMode vmode_ = AcDb::kTextBase;
    AcDbObjectId style_;
    int genFlags_ = 0;
};

class AcDbAttributeDefinition : public AcDbText {
    ACRX_DECLARE_MEMBERS(AcDbAttributeDefinition)
public:
    AcDbAttributeDefinition() = default;
    AcDbAttributeDefinition(const AcGePoint3d& position, const ACHAR* text, const ACHAR* tag, const ACHAR* prompt,
                            AcDbObjectId style = AcDbObjectId());
    ACDB_CLONE_DATA(AcDbAttributeDefinition)
    ACHAR* tag() const; // a copy; free with acutDelString
    const ACHAR* tagConst() const { return tag_.c_str(); }
    Acad::ErrorStatus setTag(const ACHAR* t);
    ACHAR* prompt() const;
    const ACHAR* promptConst() const { return prompt_.c_str(); }
    Acad::ErrorStatus setPrompt(const ACHAR* p);
    bool isInvisible() const { return flags_ & 1; }
    Acad::ErrorStatus setInvisible(bool v);
    bool isConstant() const { return flags_ & 2; }
    Acad::ErrorStatus setConstant(bool v);
    bool isVerifiable() const { return flags_ & 4; }
    Acad::ErrorStatus setVerifiable(bool v);
    bool isPreset() const { return flags_ & 8; }
    Acad::ErrorStatus setPreset(bool v);
    Adesk::UInt16 fieldLength() const { return fieldLength_; }
    Acad::ErrorStatus setFieldLength(Adesk::UInt16 n);
    bool lockPositionInBlock() const { return lockPosition_; }
    Acad::ErrorStatus setLockPositionInBlock(bool v);
    int attributeFlags() const { return flags_; }
    void setAttributeFlags(int f) { flags_ = f; }

private:
    AcDbSharedName tag_ = AcDbSharedName::none(), prompt_ = AcDbSharedName::none();
    int flags_ = 0;
    Adesk::UInt16 fieldLength_ = 0;
    bool lockPosition_ = false;
};

class AcDbAttribute : public AcDbText {
    ACRX_DECLARE_MEMBERS(AcDbAttribute)
public:
    AcDbAttribute() = default;
    AcDbAttribute(const AcGePoint3d& position, const ACHAR* text, const ACHAR* tag,
                  AcDbObjectId style = AcDbObjectId());
    ACDB_CLONE_DATA(AcDbAttribute)
    ACHAR* tag() const; // a copy; free with acutDelString
    const ACHAR* tagConst() const { return tag_.c_str(); }
    Acad::ErrorStatus setTag(const ACHAR* t);
    bool isInvisible() const { return flags_ & 1; }
    Acad::ErrorStatus setInvisible(bool v);
    bool isConstant() const { return flags_ & 2; }
    bool isVerifiable() const { return flags_ & 4; }
    bool isPreset() const { return flags_ & 8; }
    Adesk::UInt16 fieldLength() const { return fieldLength_; }
    Acad::ErrorStatus setFieldLength(Adesk::UInt16 n);
    bool lockPositionInBlock() const { return lockPosition_; }
    Acad::ErrorStatus setLockPositionInBlock(bool v);
    int attributeFlags() const { return flags_; }
    void setAttributeFlags(int f) { flags_ = f; }
    // Copies the definition's properties, text and placement, transformed by the insert's block transform.
    Acad::ErrorStatus setAttributeFromBlock(const AcDbAttributeDefinition* def, const AcGeMatrix3d& blockTransform);
    // Places an attribute already filled in definition coordinates.
    Acad::ErrorStatus setAttributeFromBlock(const AcGeMatrix3d& blockTransform) { return transformBy(blockTransform); }

private:
    AcDbSharedName tag_ = AcDbSharedName::none();
    int flags_ = 0;
    Adesk::UInt16 fieldLength_ = 0;
    bool lockPosition_ = false;
};

class AcDbMText : public AcDbEntity {
    ACRX_DECLARE_MEMBERS(AcDbMText)
public:
    enum AttachmentPoint {
        kTopLeft = 1,
        kTopCenter,
        kTopRight,
        kMiddleLeft,
        kMiddleCenter,
        kMiddleRight,
        kBottomLeft,
        kBottomCenter,
        kBottomRight
    };
    AcDbMText() = default;
    ACDB_CLONE_DATA(AcDbMText)
    AcGePoint3d location() const { return location_; }
    Acad::ErrorStatus setLocation(const AcGePoint3d& p);
    AcGeVector3d normal() const { return normal_; }
    Acad::ErrorStatus setNormal(const AcGeVector3d& n);
    AcGeVector3d direction() const { return direction_; }
    Acad::ErrorStatus setDirection(const AcGeVector3d& d);
    double rotation() const;
    Acad::ErrorStatus setRotation(double r);
    double width() const { return width_; }
    Acad::ErrorStatus setWidth(double w);
    double textHeight() const { return height_; }
    Acad::ErrorStatus setTextHeight(double h);
    AttachmentPoint attachment() const { return attachment_; }
    Acad::ErrorStatus setAttachment(AttachmentPoint a);
    ACHAR* contents() const; // a copy; free with acutDelString
    const std::wstring& contentsText() const { return contents_; }
    int setContents(const ACHAR* s);
    // The contents without formatting codes.
    std::wstring text() const;
    AcDbObjectId textStyle() const { return style_; }
    Acad::ErrorStatus setTextStyle(AcDbObjectId id);
    double lineSpacingFactor() const { return lineSpacing_; }
    Acad::ErrorStatus setLineSpacingFactor(double f);
    int flowDirection() const { return flow_; }
    void setFlowDirection(int f) { flow_ = f; }
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    void getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const override;
    void collectReferences(std::vector<AcDbObjectId*>& refs) override;
    void onAddedToDatabase(AcDbDatabase* db) override;

private:
    void boxCorners(AcGePoint3d corners[4]) const;
    AcGePoint3d location_;
    AcGeVector3d normal_{0, 0, 1}, direction_{1, 0, 0};
    double width_ = 0, height_ = 2.5, lineSpacing_ = 1.0;
    AttachmentPoint attachment_ = kTopLeft;
    std::wstring contents_;
    AcDbObjectId style_;
    int flow_ = 1;
};

// Walks ids (attributes of an insert).
class AcDbObjectIterator {
public:
    explicit AcDbObjectIterator(std::vector<AcDbObjectId> ids) : ids_(std::move(ids)) { skipErased(); }
    bool done() const { return pos_ >= ids_.size(); }
    void step(bool backwards = false, bool skipErasedObjects = true);
    void start(bool atEnd = false);
    AcDbObjectId objectId() const { return done() ? AcDbObjectId() : ids_[pos_]; }
    AcDbEntity* entity();
    bool seek(AcDbObjectId id);

private:
    void skipErased();
    std::vector<AcDbObjectId> ids_;
    size_t pos_ = 0;
};

class AcDbBlockReference : public AcDbEntity {
    ACRX_DECLARE_MEMBERS(AcDbBlockReference)
public:
    AcDbBlockReference() = default;
    AcDbBlockReference(const AcGePoint3d& position, AcDbObjectId blockTableRecord)
        : block_(blockTableRecord), position_(position) {}
    ~AcDbBlockReference() override;
    ACDB_CLONE_DATA(AcDbBlockReference)

    // How much work one operation on a drawing (a plot's extents, its drawing, the index of a graphic
    // selection) may do, in units of an entity placed by an insert (a grid's cell counts as one): at least
    // a floor every drawing has, and more for each object the file holds. The plot charges in the same
    // units the points its curves are worked out at, its hatch patterns' lines and its dashes. A large
    // plain drawing is done whole; a small file that multiplies work stops within seconds, and what needs
    // it whole is refused with the reason, so that it cannot stall or exhaust memory.
    static std::size_t instanceBudget(const AcDbDatabase* db);
    // Why an operation stopped at the budget, naming the work that spent most of it: "the drawing's
    // inserts place more than ...", "the drawing's hatch patterns ...".
    static std::wstring budgetReason(const AcDbDatabase* db);
    // Whether the current operation (AcDbExpansionBudget) or, outside one, the last whole expansion on
    // this thread ran past its budget.
    static bool expansionStopped();

    AcDbObjectId blockTableRecord() const { return block_; }
    Acad::ErrorStatus setBlockTableRecord(AcDbObjectId id);
    AcGePoint3d position() const { return position_; }
    Acad::ErrorStatus setPosition(const AcGePoint3d& p);
    double rotation() const { return rotation_; }
    Acad::ErrorStatus setRotation(double r);
    AcGeScale3d scaleFactors() const { return rare_->scale; }
    Acad::ErrorStatus setScaleFactors(const AcGeScale3d& s);
    AcGeVector3d normal() const { return rare_->normal; }
    Acad::ErrorStatus setNormal(const AcGeVector3d& n);
    // Definition coordinates to world: translate by minus the definition's origin, scale, rotate,
    // go to the plane of the normal and move to the position.
    AcGeMatrix3d blockTransform() const;
    Acad::ErrorStatus setBlockTransform(const AcGeMatrix3d& m);

    // The attribute joins the database with the insert (now, if the insert is resident).
    Acad::ErrorStatus appendAttribute(AcDbAttribute* attr);
    Acad::ErrorStatus appendAttribute(AcDbObjectId& id, AcDbAttribute* attr);
    Acad::ErrorStatus openAttribute(AcDbAttribute*& attr, AcDbObjectId id, AcDb::OpenMode mode,
                                    bool openErased = false);
    AcDbObjectIterator* attributeIterator() const;
    const std::vector<AcDbObjectId>& attributeIds() const { return attributes_; }
    // Adds an existing attribute id (file reading).
    void appendAttributeId(AcDbObjectId id) { attributes_.push_back(id); }
    // Handle of the SEQEND record that closes the attributes in a file.
    AcDbHandle seqendHandle() const { return seqend_; }
    void setSeqendHandle(AcDbHandle h) { seqend_ = h; }

    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    void getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const override;
    void collectReferences(std::vector<AcDbObjectId*>& refs) override;
    void ownedObjects(AcDbObjectIdArray& ids) const override;
    void onAddedToDatabase(AcDbDatabase* db) override;
    void onErase(bool erasing) override;

protected:
    AcDbBlockReference(const AcDbBlockReference& o);
    // Definition geometry transformed by the given matrix (attribute definitions left out); placed,
    // when given, receives the matrix times the block transform once the definition is expanded.
    void addDefinitionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m, int depth,
                               AcGeMatrix3d* placed = nullptr) const;
    bool definitionExtents(AcDbExtents& ext, const AcGeMatrix3d& m, int depth) const;

private:
    AcDbObjectId block_;
    AcGePoint3d position_;
    double rotation_ = 0;
    // What inserts mostly leave as they are.
    struct Rare {
        AcGeScale3d scale;
        AcGeVector3d normal{0, 0, 1};
    };
    AcDbRareFields<Rare> rare_;
    std::vector<AcDbObjectId> attributes_;
    // Appended before the insert joined a database; owned.
    std::unique_ptr<std::vector<AcDbAttribute*>> pending_;
    AcDbHandle seqend_;
};

// One budget for a whole operation over many inserts on this thread (a plot, a drawing's extents, the
// index of a selection): every expansion and every charge while it lives counts against it, where
// without one each whole insert has the budget to itself. Nested, the outermost counts.
class AcDbExpansionBudget {
public:
    explicit AcDbExpansionBudget(const AcDbDatabase* db);
    ~AcDbExpansionBudget();
    AcDbExpansionBudget(const AcDbExpansionBudget&) = delete;
    AcDbExpansionBudget& operator=(const AcDbExpansionBudget&) = delete;
    // What work is spent on, each counted in its own measure: entities placed (and a grid's cells), the
    // points a curve is worked out at, a hatch pattern's lines in lengths of 32 dots of ink, dashes drawn,
    // characters set.
    enum class Work { kPlaced, kCurvePoints, kPatternLines, kDashes, kCharacters };
    // Counts so much work of a kind: false once the budget is spent.
    static bool charge(double amount = 1, Work kind = Work::kPlaced);
};

// A block being expanded on this thread (its outline taken, its extents measured, drawn) for as long as
// this lives. Every walk through blocks goes through one, so all stop alike: a block already being
// expanded adds nothing again, nor does one nested kMaxNesting deep, and a layout's block is expanded
// only as the space it is, never as a picture (an insert's, a dimension's, a multileader's, a cell's).
class AcDbBlockExpansion {
public:
    static constexpr int kMaxNesting = 16;
    explicit AcDbBlockExpansion(AcDbObjectId block, bool asSpace = false);
    ~AcDbBlockExpansion();
    AcDbBlockExpansion(const AcDbBlockExpansion&) = delete;
    AcDbBlockExpansion& operator=(const AcDbBlockExpansion&) = delete;
    // Whether the block is being expanded here; false: it adds nothing.
    bool entered() const { return entered_; }
    // Whether the block record is a layout's (model space, a paper space).
    static bool isLayoutBlock(AcDbObjectId block);

private:
    bool entered_ = false;
};

class AcDbMInsertBlock : public AcDbBlockReference {
    ACRX_DECLARE_MEMBERS(AcDbMInsertBlock)
public:
    AcDbMInsertBlock() = default;
    AcDbMInsertBlock(const AcGePoint3d& position, AcDbObjectId block, Adesk::UInt16 columns, Adesk::UInt16 rows,
                     double colSpacing, double rowSpacing);
    ACDB_CLONE_DATA(AcDbMInsertBlock)
    Adesk::UInt16 columns() const { return columns_; }
    Acad::ErrorStatus setColumns(Adesk::UInt16 n);
    Adesk::UInt16 rows() const { return rows_; }
    Acad::ErrorStatus setRows(Adesk::UInt16 n);
    double columnSpacing() const { return colSpacing_; }
    Acad::ErrorStatus setColumnSpacing(double d);
    double rowSpacing() const { return rowSpacing_; }
    Acad::ErrorStatus setRowSpacing(double d);
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    void getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const override;

private:
    AcGeMatrix3d cellOffset(int row, int col) const;
    Adesk::UInt16 columns_ = 1, rows_ = 1;
    double colSpacing_ = 0, rowSpacing_ = 0;
};

class AcDbViewport : public AcDbEntity {
    ACRX_DECLARE_MEMBERS(AcDbViewport)
public:
    AcDbViewport() = default;
    ACDB_CLONE_DATA(AcDbViewport)
    AcGePoint3d centerPoint() const { return center_; }
    void setCenterPoint(const AcGePoint3d& p);
    double width() const { return width_; }
    void setWidth(double w);
    double height() const { return height_; }
    void setHeight(double h);
    AcGePoint2d viewCenter() const { return viewCenter_; }
    void setViewCenter(const AcGePoint2d& p);
    double viewHeight() const { return viewHeight_; }
    void setViewHeight(double h);
    AcGePoint3d viewTarget() const { return viewTarget_; }
    void setViewTarget(const AcGePoint3d& p);
    AcGeVector3d viewDirection() const { return viewDirection_; }
    void setViewDirection(const AcGeVector3d& v);
    double twistAngle() const { return twist_; }
    void setTwistAngle(double a);
    Adesk::Int16 number() const { return number_; }
    void setNumber(Adesk::Int16 n) { number_ = n; }
    bool isOn() const { return on_; }
    Acad::ErrorStatus setOn();
    Acad::ErrorStatus setOff();
    double customScale() const { return viewHeight_ != 0 ? height_ / viewHeight_ : 1.0; }
    Acad::ErrorStatus freezeLayersInViewport(const AcDbObjectIdArray& layers);
    Acad::ErrorStatus thawLayersInViewport(const AcDbObjectIdArray& layers);
    Acad::ErrorStatus thawAllLayersInViewport();
    bool isLayerFrozenInViewport(AcDbObjectId layer) const;
    Acad::ErrorStatus getFrozenLayerList(AcDbObjectIdArray& ids) const;
    Adesk::Int32 statusFlags() const { return status_; }
    void setStatusFlags(Adesk::Int32 f) { status_ = f; }
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    void getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const override;
    void collectReferences(std::vector<AcDbObjectId*>& refs) override;

private:
    AcGePoint3d center_, viewTarget_;
    double width_ = 0, height_ = 0, viewHeight_ = 1, twist_ = 0;
    AcGePoint2d viewCenter_;
    AcGeVector3d viewDirection_{0, 0, 1};
    Adesk::Int16 number_ = 0;
    bool on_ = true;
    Adesk::Int32 status_ = 0;
    AcDbObjectIdArray frozen_;
};

// An entity of a type this model does not interpret, kept as its tags (after the common part).
// Its class (isA) is named as the host names an entity of its type ("AcDb2dPolyline" for an old-style
// polyline, "AcDbEllipse" ...), a kind of this class.
class AcDbRawEntity : public AcDbEntity {
public:
    static AcRxClass* desc();
    static AcDbRawEntity* cast(const AcRxObject* p) {
        return (p && p->isKindOf(desc())) ? static_cast<AcDbRawEntity*>(const_cast<AcRxObject*>(p)) : nullptr;
    }
    AcRxClass* isA() const override;

    AcDbRawEntity() = default;
    AcDbRawEntity(std::wstring dxfName, AcDbDxfTags tags) : dxfName_(std::move(dxfName)), tags_(std::move(tags)) {}
    ACDB_CLONE_DATA(AcDbRawEntity)
    const ACHAR* dxfTypeName() const override { return dxfName_.c_str(); }
    const std::wstring& dxfName() const { return dxfName_; }
    void setDxfName(std::wstring n) { dxfName_ = std::move(n); }
    AcDbDxfTags& tags() { return tags_; }
    const AcDbDxfTags& tags() const { return tags_; }
    // A raw entity is not moved; transforming it fails.
    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override { return Acad::eNotApplicable; }
    // Geometry from its tags: old-style polylines by their vertices (with bulges), ellipses sampled,
    // dimensions by the picture their block holds, other types by their position points; rays and construction
    // lines have none.
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    void getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const override;

private:
    std::wstring dxfName_;
    AcDbDxfTags tags_;
};
