#include "controller/CTRL_Generic.h"
#include "model/MDL_Mike.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Viewport.h"

void CTRL_Generic::removeObject(MDL_Object *object)
{
    if (object == nullptr)
        return;
    // The subtree without recursion: trees can be deep.
    UTIL_DynArray<MDL_Object *, 128> order;
    order.append(object);
    for (int i = 0; i < order.m_iCount; i++)
        for (MDL_Object *child = order.m_pData[i]->getFirstChild(); child != nullptr; child = child->getNextSibling())
            order.append(child);
    bool repick = false, buttonHeld = m_bLeftButtonDown || m_bRightButtonDown;
    for (int i = order.m_iCount - 1; i >= 0; i--) {
        MDL_Object *o = order.m_pData[i];
        int type = o->getType();
        if (type == OBJECT_CAMERA || type == OBJECT_MIKE) {
            for (int v = 0; v < m_oViewports.m_iCount; v++) {
                MDL_Viewport *viewport = m_oViewports.m_pData[v];
                if (reinterpret_cast<MDL_Object *>(viewport->m_poCamera) == o)
                    viewport->m_poCamera = nullptr;
                if (viewport->m_poMike == o)
                    viewport->m_poMike = nullptr;
            }
        } else {
            if (o == m_poGrabbedObject) {
                m_poGrabbedObject = nullptr;
                m_bLeftButtonDown = false;
                setCursor(CTRL_CURSOR_OPEN_HAND);
            }
            if (o == m_poHoverObject) {
                m_poHoverObject = nullptr;
                repick = true;
            }
        }
    }
    // Unlinks each from its parent, children first, flags it deleted and
    // tells its scene, which frees it at its next purge.
    MDL_Scene::deleteObject(object);
    // What is under the mouse now, the removed objects left out; while a
    // button is held the press has lost its object, and its release goes to
    // none.
    if (repick && !buttonHeld)
        pick();
}
