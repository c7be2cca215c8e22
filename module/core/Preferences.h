#pragma once
// The user's settings and their file "prefs.cfg": a key line, then a value line, per setting.
#include "classlib/Afx.h"

class CPreferences {
public:
    // The text scales (width factors) labels take: the host's own range, the same wherever one is typed.
    static constexpr double textScaleMin = 0.01;
    static constexpr double textScaleMax = 100.0;
    static bool labelsTake(double textScale) { return textScale >= textScaleMin && textScale <= textScaleMax; }
    // The largest text size a label is made at, here as in the block editor.
    static constexpr double textSizeMax = 1000000.0;
    // A rotation of any size as the angle it turns to, from -180 to 180 degrees.
    static double angleMeant(double degrees);

    CPreferences();
    virtual ~CPreferences() = default;

    // The text scale new labels are made at: the stored one, or 1 where labels cannot take it, which
    // the command line then says. The stored value stays as it is.
    double labelTextScale() const;

    BOOL loadPreferences(CString path);
    BOOL savePreferences(CString path);

    void setUnits(int units) { m_units = units; }
    int getUnits() const { return m_units; }
    void setPrecision(int precision) { m_precision = precision; }
    int getPrecision() const { return m_precision; }
    void setTextSize(double textSize) { m_textSize = textSize; }
    double getTextSize() const { return m_textSize; }
    void setTextScale(double textScale) { m_textScale = textScale; }
    double getTextScale() const { return m_textScale; }
    void setTextRotation(double textRotation) { m_textRotation = textRotation; }
    double getTextRotation() const { return m_textRotation; }
    void setInc(int inc) { m_inc = inc; }
    int getInc() const { return m_inc; }
    void setCsvOpener(CString csvOpener) { m_csvOpener = csvOpener; }
    CString getCsvOpener() const { return m_csvOpener; }
    void setZoomBorder(double zoomBorder) { m_zoomBorder = zoomBorder; }
    double getZoomBorder() const { return m_zoomBorder; }

    CString trimString(CString text);

private:
    void writeFile(const CString& path);

    int m_units;
    int m_precision;
    double m_textSize;
    double m_textScale;
    double m_textRotation;
    int m_inc;
    CString m_csvOpener;
    double m_zoomBorder;
};
