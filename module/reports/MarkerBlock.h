#pragma once
// A graphic report's marker: a drawing block whose insert says where the legend or the pie chart goes
// and with which text size, precision and units.
#include <functional>

#include "model/BlockDWG.h"

class CAcadDrawing;

class CMarkerBlock : public CBlockDWG {
public:
    CMarkerBlock();
    ~CMarkerBlock() override = default;

    // The marker's own settings, apart from the space record's units and precision.
    int getUnits() const { return m_units; }
    void setUnits(int units) { m_units = units; }
    int getPrecision() const { return m_precision; }
    void setPrecision(int precision) { m_precision = precision; }
    double getTextSize() const { return m_textSize; }
    void setTextSize(double textSize) { m_textSize = textSize; }
    // Radians, in the current UCS.
    double getRotation() const { return m_rotation; }
    void setRotation(double rotation) { m_rotation = rotation; }

    // A new attribute definition, not in the database (the caller appends it); null when it cannot be
    // made, after the failure has been shown.
    static AcDbAttributeDefinition* defineAttribute(AcGePoint3d position, AcGeVector3d normal, double height,
                                                    double rotation, CString tag, CString prompt, CString defaultText,
                                                    CString layer);
    // A new attribute for an insert from one of its definition's attribute definitions; null when it
    // cannot be made, after the failure has been shown.
    static AcDbAttribute* createAttribute(AcDbAttributeDefinition* definition, AcGeMatrix3d blockTransform);

    // What a marker holds when nothing usable says otherwise.
    static constexpr int defaultUnits = 0;
    static constexpr int defaultPrecision = 2;
    static constexpr double defaultTextSize = 250.0;
    // What the marker prompts take: 0 to 9 decimals, a text size above 0 up to 1000000.
    static constexpr int precisionMax = 9;
    static constexpr double textSizeMax = 1000000.0;

    // The lines saying which settings read from the insert fell back to the defaults; empty when none did.
    const CString& getFallbacks() const { return m_fallbacks; }

protected:
    // One attribute definition of a marker: its tag, prompt and default text.
    struct AttributeRow {
        const wchar_t* tag;
        const wchar_t* prompt;
        CString defaultText;
    };
    // Defines the named marker block from the outline (moved so that the base point is the origin) and
    // the five attribute definitions, one text size below the other, on the marker layer. A name
    // already taken leaves the outline where it was.
    static Acad::ErrorStatus defineMarker(AcDbObjectId* blockId, const AcDbObjectIdArray& entityIds,
                                          const AcGePoint3d& basePoint, CAcadDrawing* drawing, const wchar_t* name,
                                          const wchar_t* layer, const AttributeRow (&rows)[5], double textSize,
                                          double rotation);
    // Inserts the marker definition at the base point of the current UCS, with its attributes, on the
    // marker layer (switched off afterwards), or on the outline's layer when that cannot be made.
    static Acad::ErrorStatus insertMarker(CAcadDrawing* drawing, AcDbObjectId definitionId,
                                          const AcGePoint3d& basePoint, double rotation, const wchar_t* markerLayer,
                                          const CString& outlineLayer);
    // Makes the marker block that define builds from the outline around the base point, and inserts it
    // there with the outline's layer to fall back on. The outline comes open and is closed here.
    using DefineMarker = std::function<Acad::ErrorStatus(AcDbObjectId* blockId, const AcDbObjectIdArray& entityIds,
                                                         AcGePoint3d* basePoint)>;
    static Acad::ErrorStatus insertAround(CAcadDrawing* drawing, AcDbEntity* outline, AcGePoint3d basePoint,
                                          double rotation, const wchar_t* markerLayer, const DefineMarker& define);
    // The attribute texts an insert gave for its text size and precision (empty: none given), and the
    // tags they came from.
    struct ReadSettings {
        const wchar_t* marker; // "legend marker", "pie chart marker"
        const wchar_t* textSizeTag;
        CString textSize;
        const wchar_t* precisionTag;
        CString precision;
    };
    // Settings read from an insert that the marker prompts would refuse fall back to the defaults, each
    // with a line saying so (`getFallbacks`).
    void keepUsableSettings(const ReadSettings& read);
    void addFallback(const CString& line) { m_fallbacks += line; }
    // An attribute's whole text as a number; NaN when it is none ("4,000" could be read two ways).
    static double numberIn(const CString& text);
    // An attribute's whole text as a whole number; -1, which no setting takes, when it is none.
    static int wholeNumberIn(const CString& text);
    // An insert that carries no units shows its areas in those of the preferences.
    void takePreferenceUnits();

    // Object id, layer, colour, line weight, definition name, handle and the rotation in the UCS of
    // an insert the caller holds open.
    void readMarkerReference(AcDbBlockReference* reference, AcApDocument* document);
    // The insertion point in the current UCS.
    static AcGePoint3d positionInUcs(AcDbBlockReference* reference, AcApDocument* document);
    // Whether the insert's definition holds a live entity of the class named, such as "AcDbCircle".
    static bool definitionHolds(AcDbBlockReference* reference, const CString& className);
    // Each attribute of the insert, as its upper-case tag and its text.
    static void eachAttribute(AcDbBlockReference* reference,
                              const std::function<void(const CString& tag, const CString& value)>& handle);

private:
    int m_units;
    int m_precision;
    double m_textSize;
    double m_rotation;
    CString m_fallbacks;
};
