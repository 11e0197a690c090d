#pragma once

#include "scripting/LMP_Object.h"

class MDL_Mesh;

// The script proxy of a mesh, the Lua class "newMesh": the 41 rows of
// "newObject", then the mesh's material (copied before any change made
// through the mesh, so that the meshes sharing it keep theirs), its display
// mode and the edits of its vertices, counted from 1 (an index outside the
// mesh gives nothing and changes nothing). Vertex edits change the mesh data,
// which every copy of the same template shows. "newAnimatedMesh" derives from
// it and takes its material and display-mode rows.
class LMP_Mesh : public LMP_Object {
public:
    static const LMP_Class<LMP_Mesh, LMP_Object> binding;

    explicit LMP_Mesh(MDL_Object *object) : LMP_Object(object) {}
    const char *getClassName() const override { return "newMesh"; }

    // newMesh(scene | object [, template]): a new mesh, or a copy of a
    // template mesh of a models set.
    static LMP_Mesh *create(lua_State *L);

    // The bound mesh (or animated mesh) while it is alive and not flagged
    // deleted; null otherwise, and for an object of another kind.
    MDL_Mesh *getMesh() const;

    int setOwnMaterial(lua_State *L);
    int setColor(lua_State *L);
    int getColor(lua_State *L);
    int setTexture(lua_State *L);
    int getTexture(lua_State *L);
    int setCastShadow(lua_State *L);
    int setReceiveShadow(lua_State *L);
    int getMaterial(lua_State *L);
    int getDisplayMode(lua_State *L);
    int setDisplayMode(lua_State *L);
    int getNumVertices(lua_State *L);
    int getVertexColor(lua_State *L);
    int setVertexColor(lua_State *L);
    int resetVertexColor(lua_State *L);
    int getVertexPosition(lua_State *L);
    int setVertexPosition(lua_State *L);
    int resetVertexPosition(lua_State *L);
};

void LMP_registerMesh(lua_State *L);
