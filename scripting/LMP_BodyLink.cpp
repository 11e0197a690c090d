#include "scripting/LMP_BodyLink.h"

#include <lua.hpp>

#include "model/MDL_RigidBody.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_ValueTypes.h"

bool LMP_bLinkReference(lua_State *L, int ref)
{
    if (ref == LMP_Object::REF_LOCAL || ref == LMP_Object::REF_GLOBAL)
        return true;
    LMP_iReportError(L, "Invalid reference ID");
    return false;
}

bool LMP_bStoreLinkValue(lua_State *L, MDL_RigidBody *body, int ref, const MTH_Vector3D &v, bool direction,
                         MTH_Vector3D &stored)
{
    if (!LMP_bLinkReference(L, ref))
        return false;
    stored = v;
    if (ref == LMP_Object::REF_GLOBAL && body != nullptr) {
        const MTH_Frame &frame = body->getGlobalFrame();
        if (direction)
            frame.toLocalDirection(stored);
        else
            frame.toLocalPoint(stored);
    }
    return true;
}

int LMP_iPushLinkValue(lua_State *L, MDL_RigidBody *body, int ref, const MTH_Vector3D &stored, bool direction)
{
    if (!LMP_bLinkReference(L, ref))
        return 0;
    MTH_Vector3D *out = LMP_iPushV3(L);
    *out = stored;
    if (ref == LMP_Object::REF_GLOBAL && body != nullptr) {
        const MTH_Frame &frame = body->getGlobalFrame();
        if (direction)
            frame.toGlobalDirection(*out);
        else
            frame.toGlobalPoint(*out);
    }
    return 1;
}

// A body argument that is not nil but names no live body.
static bool gone(lua_State *L, int index, MDL_RigidBody *body)
{
    return !lua_isnil(L, index) && (body == nullptr || body->m_bDeleted);
}

MDL_Scene *LMP_poLinkScene(lua_State *L, int indexA, MDL_RigidBody *a, int indexB, MDL_RigidBody *b,
                           const char *sameSceneMessage)
{
    if (lua_isnil(L, indexA) && lua_isnil(L, indexB)) {
        LMP_iReportError(L, "At least one rigid body expected");
        return nullptr;
    }
    if (gone(L, indexA, a) || gone(L, indexB, b))
        return nullptr;
    if (a != nullptr && b != nullptr && a->getScene() != b->getScene())
        LMP_iReportError(L, "%s", sameSceneMessage);
    if (a != nullptr && a->getScene() != nullptr)
        return a->getScene();
    return b != nullptr ? b->getScene() : nullptr;
}
