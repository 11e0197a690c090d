// The script class "newMesh": a mesh in a scene. Its rows so far are the 41
// of "newObject"; the mesh's own methods come with their binding.
#include "model/MDL_Mesh.h"
#include "scripting/LMP_Object.h"
#include "scripting/LMP_Registration.h"

class LMP_Mesh : public LMP_Object {
public:
    static const LMP_Class<LMP_Mesh, LMP_Object> binding;

    explicit LMP_Mesh(MDL_Object *object) : LMP_Object(object) {}
    const char *getClassName() const override { return "newMesh"; }

    // newMesh(scene | object [, template]): a new mesh, or a copy of a
    // template mesh of a models set.
    // The object is made first: its checks may raise, and nothing may be
    // allocated then.
    static LMP_Mesh *create(lua_State *L)
    {
        MDL_Object *object = constructObject(L, "newMesh", make);
        return new LMP_Mesh(object);
    }

private:
    static MDL_Object *make() { return new MDL_Mesh(); }
};

static const LMP_Method<LMP_Mesh> s_aoMethods[] = {{nullptr, nullptr}};

const LMP_Class<LMP_Mesh, LMP_Object> LMP_Mesh::binding = {"newMesh", OBJECT_MESH, true, s_aoMethods};

void LMP_registerMesh(lua_State *L)
{
    LMP_Luna<LMP_Mesh>::registerClass(L);
}
