// The script proxy of an animated mesh, the Lua class "newAnimatedMesh": a
// mesh skinned to bones. Its rows are the 41 of "newObject", the material
// and display-mode rows of "newMesh" (an animated mesh has no vertex
// methods: its vertices follow its bones), then its own.
#include <lua.hpp>

#include "model/MDL_AnimatedMesh.h"
#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Mesh.h"
#include "scripting/LMP_Registration.h"

class LMP_AnimatedMesh : public LMP_Mesh {
public:
    static const LMP_Class<LMP_AnimatedMesh, LMP_Object> binding;

    explicit LMP_AnimatedMesh(MDL_Object *object) : LMP_Mesh(object) {}
    const char *getClassName() const override { return "newAnimatedMesh"; }

    // newAnimatedMesh(scene | object [, template]): a new animated mesh
    // (without skin), or a copy of a template of a models set with its skin.
    static LMP_AnimatedMesh *create(lua_State *L);

    // The bound animated mesh while it is alive and not flagged deleted.
    MDL_AnimatedMesh *getAnimatedMesh() const { return dynamic_cast<MDL_AnimatedMesh *>(getLiveObject()); }

    int setLocked(lua_State *L);
    int update(lua_State *L);
};

static MDL_Object *makeAnimatedMesh()
{
    return new MDL_AnimatedMesh();
}

// The object is made first: its checks may raise, and nothing may be
// allocated then.
LMP_AnimatedMesh *LMP_AnimatedMesh::create(lua_State *L)
{
    MDL_Object *object = constructObject(L, binding.m_sClassName, makeAnimatedMesh);
    return new LMP_AnimatedMesh(object);
}

// While locked, the scene no longer deforms the mesh when its bones move.
int LMP_AnimatedMesh::setLocked(lua_State *L)
{
    bool locked = false;
    if (!LMP_iCheckArgs(L, "B", &locked))
        return 0;
    MDL_AnimatedMesh *mesh = getAnimatedMesh();
    if (mesh == nullptr)
        return 0;
    mesh->setLocked(locked);
    return 0;
}

// Deforms the mesh now, locked or not and whether its bones moved or not.
int LMP_AnimatedMesh::update(lua_State *)
{
    MDL_AnimatedMesh *mesh = getAnimatedMesh();
    if (mesh == nullptr)
        return 0;
    mesh->deform(true);
    return 0;
}

// The mesh rows are LMP_Mesh's own functions, with rows of this class.
static const LMP_Method<LMP_AnimatedMesh> s_aoMethods[] = {
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
    {"setLocked", &LMP_AnimatedMesh::setLocked},
    {"update", &LMP_AnimatedMesh::update},
    {nullptr, nullptr},
};

const LMP_Class<LMP_AnimatedMesh, LMP_Object> LMP_AnimatedMesh::binding = {"newAnimatedMesh", OBJECT_ANIMATED_MESH,
                                                                           true, s_aoMethods};

void LMP_registerAnimatedMesh(lua_State *L)
{
    LMP_Luna<LMP_AnimatedMesh>::registerClass(L);
}
