#pragma once
// How an area is filled: a predefined pattern at an angle and scale, on a layer, in a colour.
// Space blocks, assets and report categories each own one.
#include "cad/db/AcCmColor.h"
#include "classlib/Afx.h"

class CHatch {
public:
    CHatch();
    ~CHatch() = default;
    CHatch(const CHatch&) = delete;
    CHatch& operator=(const CHatch&) = delete;

    CString getPattern() const { return m_pattern; }
    void setPattern(CString pattern) { m_pattern = pattern; }
    int getAngle() const { return m_angle; }
    void setAngle(int angle) { m_angle = angle; }
    int getScale() const { return m_scale; }
    void setScale(int scale) { m_scale = scale; }
    CString getLayer() const { return m_layer; }
    void setLayer(CString layer) { m_layer = layer; }
    AcCmColor getColour() const { return m_colour; }
    void setColour(AcCmColor colour) { m_colour = colour; }

    void copyTo(CHatch* target);

private:
    CString m_pattern;
    int m_angle;
    int m_scale;
    CString m_layer;
    AcCmColor m_colour;
};
