#pragma once

#include <cstdint>

#include "foundation/MTH_Vector.h"
#include "model/MDL_Mesh.h"

class MDL_VertexGroup;

// A mesh whose vertices follow bones (type 7). Its skin is a list of
// bindings, each pairing a vertex group (shared with the models set) with a
// bone object; either may be null, and an empty slot is skipped. Deformation
// rebuilds the vertex positions, normals, face normals and box from the
// groups' rest data and the bones' current placements, and the five geometry
// operations answer from those deformed data, so picking, shadow volumes and
// drawing see the deformed shape.
//
// A mesh made by the default constructor (a models-set template) has no
// deformed data and answers from its mesh data; copies (every animated mesh
// of a scene) have them from the start. The deformed arrays always match the
// current mesh data: they are made again when it changes.
class MDL_AnimatedMesh : public MDL_Mesh {
public:
    // No bindings, not locked, no deformed data.
    MDL_AnimatedMesh();
    // The mesh part's copy, the same groups and bones (the scene points the
    // bones at its own copies), the locked flag, and deformed data that show
    // the mesh data's rest shape: its positions, normals, face records
    // (neighbours included) and box.
    MDL_AnimatedMesh(const MDL_AnimatedMesh &other);
    MDL_AnimatedMesh &operator=(const MDL_AnimatedMesh &) = delete;
    ~MDL_AnimatedMesh() override;

    // The object reader shared by every kind ("name", "matrix").
    bool loadFromXML(const TiXmlElement *element) override;

    // --- geometry operations, from the deformed data when there are any ---
    const MTH_Vector3D &vertexPosition(int i) override;
    const MTH_Vector3D &vertexNormal(int i) override;
    MDL_Face *faceNormals() override;
    const MTH_Vector3D &boundingBoxMin() override;
    const MTH_Vector3D &boundingBoxMax() override;
    // The tree over the deformed positions (kept up to date with every
    // deformation), or the mesh data's while there are none.
    const MDL_PickTree *pickTree(const MTH_Vector3D *&positions, int &positionCount) override;

    // --- bindings ---
    // Makes count empty bindings (the earlier ones are dropped). False,
    // nothing changed, for a negative or oversized count.
    bool setBindingCount(int count);
    int getBindingCount() const { return m_iNumBindings; }
    // Binding i (ignored outside 0..count-1).
    void setBinding(int i, MDL_VertexGroup *group, MDL_Object *bone);
    void setBone(int i, MDL_Object *bone);
    MDL_VertexGroup *getGroup(int i) const;
    MDL_Object *getBone(int i) const;
    // Empties every binding slot whose bone is bone; true when there was one.
    bool forgetBone(const MDL_Object *bone);

    // Binds the skin in the pose the mesh and its bones stand in now (the
    // models set puts the bones in their rest pose first). Every bound group
    // without rest data gets them from the bone of its first binding here,
    // and the weights of those groups are then divided by the per-vertex sums
    // of their weights, so that each vertex's weights over them add up to 1
    // (a vertex whose sum is 0 keeps its weights). A group that already had
    // rest data (bound by an earlier mesh, or earlier in this one) is left as
    // it is: its weights were normalised at its first binding and are never
    // divided again.
    void bindSkin();

    // Deforms the mesh (see the class comment). Without force nothing
    // happens when the mesh is locked or when none of its bones has
    // m_bChanged set. Sets the mesh's m_bChanged (its shadow volume is then
    // rebuilt). Each vertex becomes the weighted sum, over the entries that
    // name it, of the entry's rest position placed by its bone's global frame
    // re-expressed in the mesh's, and likewise its normal (not
    // renormalised); a vertex in no group stays at the origin. The box holds
    // the vertices that some binding with a bone places ((0, 0, 0) when there
    // are none); face normals are (P1 - P0) x (P2 - P0) of the deformed
    // positions, unnormalised. Empty slots, groups without rest data and
    // entries outside the mesh are skipped. Returns whether it deformed.
    bool deform(bool force);

    bool isLocked() const { return m_bLocked; }
    void setLocked(bool locked) { m_bLocked = locked; }
    bool hasDeformedData() const { return m_bDeformedData; }

    // The bone of the largest weight at a point of triangle t given by its
    // barycentric weights (one per corner): each bone's weight is the
    // interpolation of what its group gives the three corners (0 for a corner
    // outside the group). Empty slots and deleted bones are skipped; the first
    // bone wins a tie. Null when there is none or t is outside the mesh.
    MDL_Object *dominantBone(int t, const MTH_Vector3D &barycentric) const;

    // --- fields, in order ---
    int32_t m_iNumBindings;
    MDL_VertexGroup **m_ppoGroups;
    MDL_Object **m_ppoBones;
    MTH_Vector3D m_oDeformedMin;
    MTH_Vector3D m_oDeformedMax;
    bool m_bLocked;
    MTH_Vector3D *m_poDeformedPositions; // m_iNumDeformedVertices entries
    MTH_Vector3D *m_poDeformedNormals;   // m_iNumDeformedNormals entries
    MDL_Face *m_poDeformedFaces;         // m_iNumDeformedFaces entries
    // Sizes of the deformed arrays and the mesh data they were made for.
    int32_t m_iNumDeformedVertices;
    int32_t m_iNumDeformedNormals;
    int32_t m_iNumDeformedFaces;
    MDL_MeshData *m_poDeformedSource;
    // The mesh answers from the deformed arrays (a copy, or deformed once).
    bool m_bDeformedData;
    // Counts the changes of the deformed positions, for the pick tree.
    uint32_t m_uiDeformVersion;
    MDL_PickCache m_oDeformedPickCache;

private:
    // Makes the deformed arrays match the current mesh data: when it is
    // another one or its counts changed, they become copies of its
    // positions, normals and face records, and the box its box.
    void matchMeshData();
    void freeDeformed();
    void freeBindings();
};

// Refused binding counts: at most this many bindings in one animated mesh.
const int32_t MDL_kiMaxBindings = 1 << 20;
