#include "controller/CTRL_OverlayForget.h"

#include "controller/CTRL_Generic.h"
#include "model/MDL_Image.h"
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

// Polylines and images: a surface whose shared material goes is left
// without one; the layers of the material it keeps lose the textures that go.
template <class S> bool forgetInSurface(MDL_Object *object, const CTRL_ResourceRemoval &removal)
{
    S *surface = static_cast<S *>(object);
    bool held = false;
    if (removal.contains(surface->getMaterial())) {
        // A material of its own is the surface's copy, never one that goes.
        surface->setMaterial(nullptr);
        held = true;
    }
    // A polyline's texture coordinates follow the layers' textures by
    // themselves.
    if (removal.forgetTextures(surface->getMaterial()) > 0)
        held = true;
    return held;
}

} // namespace

void CTRL_registerOverlayForgetting()
{
    CTRL_Generic::setForgetFunction(OBJECT_TEXT, forgetInText);
    CTRL_Generic::setForgetFunction(OBJECT_POLYLINE, forgetInSurface<MDL_Polyline>);
    CTRL_Generic::setForgetFunction(OBJECT_IMAGE, forgetInSurface<MDL_Image>);
}
