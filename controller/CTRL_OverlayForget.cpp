#include "controller/CTRL_OverlayForget.h"

#include "controller/CTRL_Generic.h"
#include "model/MDL_Polyline.h"
#include "model/MDL_Text.h"

namespace {

bool forgetInText(MDL_Object *object, const CTRL_ResourceRemoval &removal)
{
    MDL_Text *text = static_cast<MDL_Text *>(object);
    if (!removal.contains(text->getFont()))
        return false;
    text->setFont(removal.m_poReplacementFont);
    return true;
}

bool forgetInPolyline(MDL_Object *object, const CTRL_ResourceRemoval &removal)
{
    MDL_Polyline *polyline = static_cast<MDL_Polyline *>(object);
    bool held = false;
    if (removal.contains(polyline->getMaterial())) {
        // A material of its own is the polyline's copy, never one that goes.
        polyline->setMaterial(nullptr);
        held = true;
    }
    // The line's texture coordinates follow the layers' textures by
    // themselves.
    if (removal.forgetTextures(polyline->getMaterial()) > 0)
        held = true;
    return held;
}

} // namespace

void CTRL_registerOverlayForgetting()
{
    CTRL_Generic::setForgetFunction(OBJECT_TEXT, forgetInText);
    CTRL_Generic::setForgetFunction(OBJECT_POLYLINE, forgetInPolyline);
}
