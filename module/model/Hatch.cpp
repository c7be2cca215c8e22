#include "model/Hatch.h"

#include "core/Catch.h"

KELMO_SOURCE_FILE(L"Hatch");

// Every maker sets all five values; angle and scale start at 0 rather than undefined.
CHatch::CHatch() : m_angle(0), m_scale(0) {}

void CHatch::copyTo(CHatch* target) {
    KELMO_TRY
        if (!target) return;
        target->setAngle(m_angle);
        target->setColour(m_colour);
        target->setLayer(m_layer);
        target->setPattern(m_pattern);
        target->setScale(m_scale);
    KELMO_CATCH(L"CHatch::copyTo")
}
