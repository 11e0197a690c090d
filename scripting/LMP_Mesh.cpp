#include "scripting/LMP_Mesh.h"

#include <lua.hpp>

#include "foundation/MTH_Vector.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Material.h"
#include "scripting/LMP_Texture.h"
#include "scripting/LMP_ValueTypes.h"

static MDL_Object *makeMesh()
{
    return new MDL_Mesh();
}

// The object is made first: its checks may raise, and nothing may be
// allocated then.
LMP_Mesh *LMP_Mesh::create(lua_State *L)
{
    MDL_Object *object = constructObject(L, binding.m_sClassName, makeMesh);
    return new LMP_Mesh(object);
}

MDL_Mesh *LMP_Mesh::getMesh() const
{
    return dynamic_cast<MDL_Mesh *>(getLiveObject());
}

// --- material ---

// With arguments the "Too much arguments" report is made, and the mesh gets
// its own material all the same.
int LMP_Mesh::setOwnMaterial(lua_State *L)
{
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "");
    MDL_Mesh *mesh = getMesh();
    if (mesh == nullptr)
        return 0;
    mesh->makeOwnMaterial();
    return 0;
}

// All four components: the alpha is the material's.
int LMP_Mesh::setColor(lua_State *L)
{
    MTH_Vector4D *color = nullptr;
    if (!LMP_iCheckArgs(L, "C", &color))
        return 0;
    MDL_Mesh *mesh = getMesh();
    if (mesh == nullptr)
        return 0;
    mesh->makeOwnMaterial()->m_oDiffuse = *color;
    return 0;
}

int LMP_Mesh::getColor(lua_State *L)
{
    MDL_Mesh *mesh = getMesh();
    if (mesh == nullptr)
        return 0;
    return LMP_iPushDiffuse(L, mesh->getMaterial());
}

// setTexture(texture): the last argument, a "newTexture" (else the argument
// error naming it), becomes the texture of the material's last layer.
int LMP_Mesh::setTexture(lua_State *L)
{
    int top = lua_gettop(L);
    LMP_Texture *texture = LMP_iCheckTexture(L, top >= 1 ? top : 1);
    MDL_Mesh *mesh = getMesh();
    if (mesh == nullptr)
        return 0;
    LMP_setLastLayerTexture(mesh->makeOwnMaterial(), texture->getTexture());
    return 0;
}

// The texture of layer 0 (while setTexture writes the last layer).
int LMP_Mesh::getTexture(lua_State *L)
{
    MDL_Mesh *mesh = getMesh();
    if (mesh == nullptr)
        return 0;
    return LMP_iPushFirstTexture(L, mesh->getMaterial());
}

int LMP_Mesh::setCastShadow(lua_State *L)
{
    bool cast = false;
    if (!LMP_iCheckArgs(L, "B", &cast))
        return 0;
    MDL_Mesh *mesh = getMesh();
    if (mesh == nullptr)
        return 0;
    mesh->makeOwnMaterial()->m_bCastShadows = cast;
    return 0;
}

// A mesh that receives no shadows is drawn shadeless.
int LMP_Mesh::setReceiveShadow(lua_State *L)
{
    bool receive = false;
    if (!LMP_iCheckArgs(L, "B", &receive))
        return 0;
    MDL_Mesh *mesh = getMesh();
    if (mesh == nullptr)
        return 0;
    mesh->makeOwnMaterial()->m_bShadeless = !receive;
    return 0;
}

// The material as it is, possibly shared: edits through it reach every
// mesh that shares it, until this one gets its own.
int LMP_Mesh::getMaterial(lua_State *L)
{
    MDL_Mesh *mesh = getMesh();
    if (mesh == nullptr)
        return 0;
    return LMP_iPushMaterial(L, mesh->getMaterial());
}

int LMP_Mesh::getDisplayMode(lua_State *L)
{
    MDL_Mesh *mesh = getMesh();
    if (mesh == nullptr)
        return 0;
    lua_pushinteger(L, mesh->getDisplayMode());
    return 1;
}

// Any integer is kept; the renderer knows DISPLAY_MODE_NORMAL and
// DISPLAY_MODE_SPRITE.
int LMP_Mesh::setDisplayMode(lua_State *L)
{
    int32_t mode = 0;
    if (!LMP_iCheckArgs(L, "I", &mode))
        return 0;
    MDL_Mesh *mesh = getMesh();
    if (mesh == nullptr)
        return 0;
    mesh->setDisplayMode(mode);
    return 0;
}

// --- vertices, counted from 1 ---

// The array index of vertex i of a script (from 1); -1, which the mesh
// refuses, for an i below 1 (also the lowest integer, which has no i - 1).
static int vertexIndex(int32_t i)
{
    return i >= 1 ? i - 1 : -1;
}

int LMP_Mesh::getNumVertices(lua_State *L)
{
    MDL_Mesh *mesh = getMesh();
    if (mesh == nullptr)
        return 0;
    lua_pushinteger(L, mesh->getNumVertices());
    return 1;
}

int LMP_Mesh::getVertexColor(lua_State *L)
{
    int32_t index = 0;
    if (!LMP_iCheckArgs(L, "I", &index))
        return 0;
    MDL_Mesh *mesh = getMesh();
    MTH_Vector4D color;
    if (mesh == nullptr || !mesh->getVertexColor(vertexIndex(index), color))
        return 0;
    *LMP_iPushColor(L) = color;
    return 1;
}

int LMP_Mesh::setVertexColor(lua_State *L)
{
    int32_t index = 0;
    MTH_Vector4D *color = nullptr;
    if (!LMP_iCheckArgs(L, "IC", &index, &color))
        return 0;
    MDL_Mesh *mesh = getMesh();
    if (mesh == nullptr)
        return 0;
    mesh->setVertexColor(vertexIndex(index), *color);
    return 0;
}

int LMP_Mesh::resetVertexColor(lua_State *L)
{
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "");
    MDL_Mesh *mesh = getMesh();
    if (mesh == nullptr)
        return 0;
    mesh->resetVertexColors();
    return 0;
}

int LMP_Mesh::getVertexPosition(lua_State *L)
{
    int32_t index = 0;
    if (!LMP_iCheckArgs(L, "I", &index))
        return 0;
    MDL_Mesh *mesh = getMesh();
    MTH_Vector3D position;
    if (mesh == nullptr || !mesh->getVertexPosition(vertexIndex(index), position))
        return 0;
    *LMP_iPushV3(L) = position;
    return 1;
}

int LMP_Mesh::setVertexPosition(lua_State *L)
{
    int32_t index = 0;
    MTH_Vector3D *position = nullptr;
    if (!LMP_iCheckArgs(L, "IV", &index, &position))
        return 0;
    MDL_Mesh *mesh = getMesh();
    if (mesh == nullptr)
        return 0;
    mesh->setVertexPosition(vertexIndex(index), *position);
    return 0;
}

int LMP_Mesh::resetVertexPosition(lua_State *L)
{
    if (lua_gettop(L) > 0)
        LMP_iCheckArgs(L, "");
    MDL_Mesh *mesh = getMesh();
    if (mesh == nullptr)
        return 0;
    mesh->resetVertexPositions();
    return 0;
}

// --- the class ---

static const LMP_Method<LMP_Mesh> s_aoMethods[] = {
    {"setOwnMaterial", &LMP_Mesh::setOwnMaterial},
    {"setColor", &LMP_Mesh::setColor},
    {"getColor", &LMP_Mesh::getColor},
    {"setTexture", &LMP_Mesh::setTexture},
    {"getTexture", &LMP_Mesh::getTexture},
    {"setCastShadow", &LMP_Mesh::setCastShadow},
    {"setReceiveShadow", &LMP_Mesh::setReceiveShadow},
    {"getMaterial", &LMP_Mesh::getMaterial},
    {"getDisplayMode", &LMP_Mesh::getDisplayMode},
    {"setDisplayMode", &LMP_Mesh::setDisplayMode},
    {"getNumVertices", &LMP_Mesh::getNumVertices},
    {"getVertexColor", &LMP_Mesh::getVertexColor},
    {"setVertexColor", &LMP_Mesh::setVertexColor},
    {"resetVertexColor", &LMP_Mesh::resetVertexColor},
    {"getVertexPosition", &LMP_Mesh::getVertexPosition},
    {"setVertexPosition", &LMP_Mesh::setVertexPosition},
    {"resetVertexPosition", &LMP_Mesh::resetVertexPosition},
    {nullptr, nullptr},
};

const LMP_Class<LMP_Mesh, LMP_Object> LMP_Mesh::binding = {"newMesh", OBJECT_MESH, true, s_aoMethods};

void LMP_registerMesh(lua_State *L)
{
    LMP_Luna<LMP_Mesh>::registerClass(L);
}
