#pragma once
// Hatches: pattern, loops (copies of their boundary geometry) and the density evaluation.
#include "cad/db/AcDbEntity.h"

// One line family of a hatch pattern (the pattern file's form): angle in radians, base point,
// offset between successive lines (in the family's rotated frame: along, across), dash lengths.
struct AcDbHatchPatternLine {
    double angle = 0;
    AcGePoint2d base;
    AcGeVector2d offset;
    std::vector<double> dashes;
};

struct AcDbHatchPattern {
    const ACHAR* name;
    const ACHAR* description;
    std::vector<AcDbHatchPatternLine> lines; // drawing units of an imperial drawing (inches)
};

// The built-in predefined patterns. Null for an unknown name (case-insensitive).
const AcDbHatchPattern* acdbFindHatchPattern(const ACHAR* name);
const std::vector<AcDbHatchPattern>& acdbHatchPatterns();

// A boundary edge of a loop that is not a polyline.
struct AcDbHatchEdge {
    enum Type { kLine = 1, kCirArc = 2, kEllArc = 3, kSpline = 4 };
    int type = kLine;
    AcGePoint2d start, end; // line
    AcGePoint2d center;     // arcs
    double radius = 0;      // circular arc
    AcGeVector2d majorAxis; // elliptic arc: end of the major axis relative to the centre
    double minorRatio = 1;  // elliptic arc
    double startAngle = 0, endAngle = 0;
    bool ccw = true;
    AcDbDxfTags splineTags; // spline data as the file stores it (codes 94..98, 40, 42, 10, 11, 12, 13, 73, 74)
    std::vector<AcGePoint2d> splinePoints; // control or fit points, for extents and selection
};

struct AcDbHatchLoop {
    Adesk::Int32 type = 0;
    bool isPolyline = false;
    std::vector<cadgeom::BulgeVertex> vertices; // polyline loops
    bool closed = true;
    std::vector<AcDbHatchEdge> edges;    // edge loops
    std::vector<AcDbObjectId> sourceIds; // boundary objects (associative hatches)
    // The loop as a closed path (edges other than lines and circular arcs approximated by chords).
    cadgeom::BulgePath path() const;
};

class AcDbHatch : public AcDbEntity {
    ACRX_DECLARE_MEMBERS(AcDbHatch)
public:
    enum HatchPatternType { kUserDefined = 0, kPreDefined = 1, kCustomDefined = 2 };
    enum HatchStyle { kNormal = 0, kOuter = 1, kIgnore = 2 };
    enum HatchLoopType {
        kDefault = 0,
        kExternal = 1,
        kPolyline = 2,
        kDerived = 4,
        kTextbox = 8,
        kOutermost = 0x10,
        kNotClosed = 0x20,
        kSelfIntersecting = 0x40,
        kTextIsland = 0x80,
        kDuplicate = 0x100
    };
    enum HatchObjectType { kHatchObject = 0, kGradientObject = 1 };

    AcDbHatch() = default;
    ACDB_CLONE_DATA(AcDbHatch)

    // A predefined name must be in the built-in table (SOLID included); an unknown one is refused.
    Acad::ErrorStatus setPattern(HatchPatternType type, const ACHAR* name);
    HatchPatternType patternType() const { return patternType_; }
    const ACHAR* patternName() const { return patternName_.c_str(); }
    bool isSolidFill() const;
    double patternAngle() const { return angle_; }
    Acad::ErrorStatus setPatternAngle(double a);
    double patternScale() const { return scale_; }
    Acad::ErrorStatus setPatternScale(double s);
    double patternSpace() const { return space_; }
    Acad::ErrorStatus setPatternSpace(double s);
    bool patternDouble() const { return double_; }
    Acad::ErrorStatus setPatternDouble(bool v);
    HatchStyle hatchStyle() const { return style_; }
    Acad::ErrorStatus setHatchStyle(HatchStyle s);
    bool associative() const { return associative_; }
    Acad::ErrorStatus setAssociative(bool v);
    double elevation() const { return elevation_; }
    Acad::ErrorStatus setElevation(double e);
    AcGeVector3d normal() const { return normal_; }
    Acad::ErrorStatus setNormal(const AcGeVector3d& n);
    HatchObjectType hatchObjectType() const { return objectType_; }
    void setHatchObjectType(HatchObjectType t) { objectType_ = t; }
    // A gradient's colours (0xRRGGBB, first to last) and the angle its colours change along.
    const std::vector<Adesk::UInt32>& gradientColors() const { return gradientColors_; }
    double gradientAngle() const { return gradientAngle_; }
    void setGradient(double angle, std::vector<Adesk::UInt32> colors) {
        gradientAngle_ = angle;
        gradientColors_ = std::move(colors);
    }

    // Loops copy their geometry when appended. Curves must be closed (a chain of curves must close)
    // and lie in planes parallel to the hatch.
    Acad::ErrorStatus appendLoop(Adesk::Int32 loopType, const AcDbObjectIdArray& ids);
    Acad::ErrorStatus appendLoop(Adesk::Int32 loopType, const AcGePoint2dArray& vertices,
                                 const AcGeDoubleArray& bulges);
    Acad::ErrorStatus appendLoop(const AcDbHatchLoop& loop); // as read from a file, unchecked
    Acad::ErrorStatus insertLoopAt(int index, Adesk::Int32 loopType, const AcDbObjectIdArray& ids);
    Acad::ErrorStatus removeLoopAt(int index);
    int numLoops() const { return int(loops_.size()); }
    Adesk::Int32 loopTypeAt(int index) const;
    Acad::ErrorStatus getLoopAt(int index, Adesk::Int32& loopType, AcGePoint2dArray& vertices,
                                AcGeDoubleArray& bulges) const;
    Acad::ErrorStatus getAssocObjIdsAt(int index, AcDbObjectIdArray& ids) const;
    const std::vector<AcDbHatchLoop>& loops() const { return loops_; }

    // The pattern's line families at the hatch's angle and scale (what a file stores).
    int numPatternDefinitions() const { return int(lines_.size()); }
    Acad::ErrorStatus getPatternDefinitionAt(int index, double& angle, double& baseX, double& baseY, double& offsetX,
                                             double& offsetY, AcGeDoubleArray& dashes) const;
    const std::vector<AcDbHatchPatternLine>& patternDefinitions() const { return lines_; }
    void setPatternDefinitions(std::vector<AcDbHatchPatternLine> lines) { lines_ = std::move(lines); }
    // Stores the pattern fields as read from a file without looking the name up.
    void setPatternFields(HatchPatternType type, const ACHAR* name, double angle, double scale, bool isDouble);

    int numSeedPoints() const { return int(seeds_.size()); }
    const AcGePoint2d& getSeedPointAt(int i) const { return seeds_.at(size_t(i)); }
    Acad::ErrorStatus appendSeedPoint(const AcGePoint2d& p);

    // SOLID: eOk. Otherwise the pattern lines over the loops' extents: more than 100,000 gives
    // eHatchTooDense, fewer than one eAmbiguousOutput.
    Acad::ErrorStatus evaluateHatch(bool underestimateNumLines = false);
    // The line count evaluateHatch judges by.
    double estimatedLineCount() const;

    Acad::ErrorStatus transformBy(const AcGeMatrix3d& m) override;
    Acad::ErrorStatus getGeomExtents(AcDbExtents& ext) const override;
    void getSelectionGeometry(std::vector<cadgeom::BulgePath>& paths, const AcGeMatrix3d& m) const override;
    void collectReferences(std::vector<AcDbObjectId*>& refs) override;

private:
    void rebuildPatternLines();
    Acad::ErrorStatus loopFromIds(Adesk::Int32 loopType, const AcDbObjectIdArray& ids, AcDbHatchLoop& loop) const;
    AcGeMatrix3d planeToWorld() const;
    HatchPatternType patternType_ = kPreDefined;
    std::wstring patternName_ = L"SOLID";
    double angle_ = 0, scale_ = 1, space_ = 1, elevation_ = 0;
    bool double_ = false, associative_ = false;
    HatchStyle style_ = kNormal;
    HatchObjectType objectType_ = kHatchObject;
    AcGeVector3d normal_{0, 0, 1};
    std::vector<AcDbHatchLoop> loops_;
    std::vector<AcDbHatchPatternLine> lines_;
    std::vector<AcGePoint2d> seeds_;
    std::vector<Adesk::UInt32> gradientColors_;
    double gradientAngle_ = 0;
};
