// The link passes of a models-set load: parents, mesh data and materials of
// the object records, then the skin binding of animated meshes.
#include <tinyxml.h>

#include "foundation/UTIL_XmlValues.h"
#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_Bone.h"
#include "model/MDL_Material.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_ModelsSet.h"
#include "model/MDL_ModelsSetIndex.h"
#include "model/MDL_Object.h"
#include "model/MDL_VertexGroup.h"

namespace {

// The text of the record's first child element of that name; null when the
// element is missing or empty.
const char *childText(const TiXmlElement *record, const char *child, bool &present)
{
    const TiXmlElement *e = record->FirstChildElement(child);
    present = e != nullptr;
    return e != nullptr ? e->GetText() : nullptr;
}

template <typename T> void indexNames(MDL_NameIndex &index, const UTIL_DynArray<T *> &list)
{
    index.reserve(list.m_iCount);
    for (int i = 0; i < list.m_iCount; i++)
        index.add(list[i]->getName(), i);
}

bool isMesh(const MDL_Object *object)
{
    return object->m_iType == OBJECT_MESH || object->m_iType == OBJECT_ANIMATED_MESH;
}

} // namespace

void MDL_ModelsSet::linkObjects(const UTIL_DynArray<Record> &records)
{
    const int n = records.m_iCount;
    if (n == 0)
        return;
    MDL_NameIndex objects, meshData, materials;
    indexNames(objects, m_oObjects);
    indexNames(meshData, m_oMeshData);
    indexNames(materials, m_oMaterials);

    // The records' objects are the last n of the list, in record order.
    const int base = m_oObjects.m_iCount - n;
    UTIL_DynArray<int32_t> parent(n); // list position of each record's parent, or -1
    for (int r = 0; r < n; r++) {
        bool present = false;
        parent[r] = objects.find(childText(records[r].m_poElement, "parent", present));
    }
    refuseCycles(parent, base);

    // Each object keeps the local frame it read, now relative to its parent,
    // and goes to the head of the parent's child list, so that children list
    // in the reverse of their document order. The tree is joined in one pass
    // rather than by one tree edit per record (which walks the moved subtree
    // and the new parent's ancestors each time, quadratic for a long chain);
    // the result is the tree that MDL_Object::insertFirstChild gives record
    // by record.
    for (int r = 0; r < n; r++)
        records[r].m_poObject->getLocalFrame();
    for (int r = 0; r < n; r++) {
        MDL_Object *object = records[r].m_poObject;
        if (parent[r] >= 0) {
            MDL_Object *p = m_oObjects[parent[r]];
            object->m_poParent = p;
            object->m_poNextSibling = p->m_poFirstChild;
            p->m_poFirstChild = object;
        }
        object->m_bGlobalValid = false;
        object->m_bChanged = true;
    }
    MDL_Object::s_uiPlacementEdits++;

    for (int r = 0; r < n; r++) {
        MDL_Object *object = records[r].m_poObject;
        if (!isMesh(object))
            continue;
        const TiXmlElement *record = records[r].m_poElement;
        MDL_Mesh *mesh = static_cast<MDL_Mesh *>(object);
        bool present = false;
        const char *name = childText(record, "mesh", present);
        if (present) {
            int i = meshData.find(name);
            mesh->setMeshData(i >= 0 ? m_oMeshData[i] : nullptr);
        }
        name = childText(record, "material", present);
        if (present) {
            int i = materials.find(name);
            mesh->setMaterial(i >= 0 ? m_oMaterials[i] : nullptr);
        }
    }
}

void MDL_ModelsSet::refuseCycles(UTIL_DynArray<int32_t> &parent, int base)
{
    // Linked one record after another in document order, a link is refused
    // when its parent is the object itself or one of its descendants: when
    // it would close a cycle. Each object has one link at most, so every
    // cycle of the links is closed by exactly its link that comes last in
    // the document; the others are made. Objects of earlier loads never
    // descend from the records' objects and end every walk.
    const int n = parent.m_iCount;
    UTIL_DynArray<int32_t> walk(n); // 0 not seen, -1 done, k > 0: step k of the current walk
    for (int r = 0; r < n; r++)
        walk[r] = 0;
    UTIL_DynArray<int32_t> path;
    path.m_bReleaseMemory = false;
    for (int start = 0; start < n; start++) {
        path.resize(0);
        int r = start;
        while (r >= 0 && walk[r] == 0) {
            path.append(r);
            walk[r] = path.m_iCount;
            r = parent[r] >= base ? parent[r] - base : -1;
        }
        if (r >= 0 && walk[r] > 0) {
            // path[walk[r] - 1 ..] is a cycle: its last record in the
            // document keeps no parent.
            int last = r;
            for (int k = walk[r] - 1; k < path.m_iCount; k++)
                last = path[k] > last ? path[k] : last;
            parent[last] = -1;
        }
        for (int k = 0; k < path.m_iCount; k++)
            walk[path[k]] = -1;
    }
}

void MDL_ModelsSet::swapBoneFrames()
{
    // MDL_Bone::swapRestMatrix does this one bone at a time, walking the
    // bone's subtree each time; here every local frame is made current once,
    // the bones' local and rest frames are exchanged, and every global frame
    // is worked out again on first use.
    for (int i = 0; i < m_oObjects.m_iCount; i++)
        m_oObjects[i]->getLocalFrame();
    for (int i = 0; i < m_oObjects.m_iCount; i++) {
        MDL_Object *object = m_oObjects[i];
        if (object->m_iType == OBJECT_BONE) {
            MDL_Bone *bone = static_cast<MDL_Bone *>(object);
            MTH_Frame current = bone->m_oLocalFrame;
            bone->m_oLocalFrame = bone->m_oRestFrame;
            bone->m_oRestFrame = current;
        }
        object->m_bGlobalValid = false;
        object->m_bChanged = true;
    }
    MDL_Object::s_uiPlacementEdits++;
}

void MDL_ModelsSet::bindSkins(const UTIL_DynArray<Record> &records)
{
    // Only animated meshes with an "animated_meshes" element are bound; a set
    // without any leaves its bones alone.
    bool any = false;
    for (int r = 0; r < records.m_iCount && !any; r++)
        any = records[r].m_poObject->m_iType == OBJECT_ANIMATED_MESH &&
              records[r].m_poElement->FirstChildElement("animated_meshes") != nullptr;
    if (!any)
        return;

    MDL_NameIndex groups, bones;
    indexNames(groups, m_oVertexGroups);
    for (int i = 0; i < m_oObjects.m_iCount; i++)
        if (m_oObjects[i]->m_iType == OBJECT_BONE)
            bones.add(m_oObjects[i]->m_sName, i);

    // The skins are bound with every bone in its rest pose, so that each
    // group's rest data are its vertices in its bone's rest coordinates.
    swapBoneFrames();
    for (int r = 0; r < records.m_iCount; r++) {
        if (records[r].m_poObject->m_iType != OBJECT_ANIMATED_MESH)
            continue;
        const TiXmlElement *skin = records[r].m_poElement->FirstChildElement("animated_meshes");
        if (skin == nullptr)
            continue;
        MDL_AnimatedMesh *mesh = static_cast<MDL_AnimatedMesh *>(records[r].m_poObject);
        // Binding i pairs the i-th "animated_mesh" child (a vertex group)
        // with the i-th "bone" child; a name that matches nothing, or a
        // missing "bone", leaves that side of the slot empty.
        if (!mesh->setBindingCount(UTIL_countChildren(skin, "animated_mesh")))
            continue;
        const TiXmlElement *g = skin->FirstChildElement("animated_mesh");
        const TiXmlElement *b = skin->FirstChildElement("bone");
        for (int i = 0; g != nullptr; i++) {
            int group = groups.find(g->GetText());
            int bone = b != nullptr ? bones.find(b->GetText()) : -1;
            mesh->setBinding(i, group >= 0 ? m_oVertexGroups[group] : nullptr, bone >= 0 ? m_oObjects[bone] : nullptr);
            g = g->NextSiblingElement("animated_mesh");
            b = b != nullptr ? b->NextSiblingElement("bone") : nullptr;
        }
        mesh->bindSkin();
    }
    swapBoneFrames();
}
