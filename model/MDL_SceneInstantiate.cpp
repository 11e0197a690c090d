// Copying a template object and its subtree into a scene.
#include <typeinfo>

#include "foundation/UTIL_DynArray.h"
#include "foundation/UTIL_HashMap.h"
#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_Bone.h"
#include "model/MDL_Camera.h"
#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Lamp.h"
#include "model/MDL_Locator.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_Object.h"
#include "model/MDL_Polyline.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Sound.h"
#include "model/MDL_Text.h"

namespace {

// A copy function that replaces the copy of rigid bodies.
MDL_CopyFunction s_pfnCopyRigidBody = nullptr;

// A copy through T's copy constructor, only when source is a T: another
// object that carries T's type code has no copy.
template <typename T> MDL_Object *copyAs(const MDL_Object &source)
{
    if (typeid(source) != typeid(T))
        return nullptr;
    return new T(static_cast<const T &>(source));
}

// A copy by type code through the copy constructor of the kind; null for
// kinds that have no copy.
MDL_Object *copyOf(const MDL_Object &source)
{
    switch (source.m_iType) {
    case OBJECT_NONE:
        return new MDL_Object(source);
    case OBJECT_LAMP:
        return new MDL_Lamp(static_cast<const MDL_Lamp &>(source));
    case OBJECT_CAMERA:
        return new MDL_Camera(static_cast<const MDL_Camera &>(source));
    case OBJECT_MESH:
        return new MDL_Mesh(static_cast<const MDL_Mesh &>(source));
    case OBJECT_RIGID_BODY:
        return s_pfnCopyRigidBody != nullptr ? s_pfnCopyRigidBody(source) : copyAs<MDL_RigidBody>(source);
    case OBJECT_SOUND:
        return new MDL_Sound(static_cast<const MDL_Sound &>(source));
    case OBJECT_BONE:
        return new MDL_Bone(static_cast<const MDL_Bone &>(source));
    case OBJECT_ANIMATED_MESH:
        return new MDL_AnimatedMesh(static_cast<const MDL_AnimatedMesh &>(source));
    case OBJECT_TEXT:
        return copyAs<MDL_Text>(source);
    case OBJECT_POLYLINE:
        return copyAs<MDL_Polyline>(source);
    case OBJECT_COLLISION_VOLUME:
        return new MDL_CollisionVolume(static_cast<const MDL_CollisionVolume &>(source));
    case OBJECT_LOCATOR:
        return copyAs<MDL_Locator>(source);
    default:
        return nullptr;
    }
}

// Whether the subtree holds an animated mesh with bindings, whose bones must
// then be matched to their copies.
bool needsPairs(MDL_Object *root)
{
    UTIL_DynArray<MDL_Object *> stack;
    stack.m_bReleaseMemory = false;
    stack.append(root);
    while (stack.m_iCount > 0) {
        MDL_Object *object = stack[stack.m_iCount - 1];
        stack.resize(stack.m_iCount - 1);
        if (object->m_iType == OBJECT_ANIMATED_MESH && static_cast<MDL_AnimatedMesh *>(object)->m_iNumBindings > 0)
            return true;
        for (MDL_Object *c = object->m_poFirstChild; c != nullptr; c = c->m_poNextSibling)
            stack.append(c);
    }
    return false;
}

// One instantiation: the table of (source, copy) pairs and the copies made
// for bones ahead of the walk.
class Instantiation {
public:
    struct Pair {
        MDL_Object *m_poCopy; // null: the source has no copy
        bool m_bAdded;        // listed in the scene
    };
    typedef UTIL_HashMap<sizeof(MDL_Object *), Pair> PairTable;

    Instantiation(MDL_Scene *scene, bool pairs) : m_poScene(scene), m_bPairs(pairs)
    {
        m_oEarly.m_bReleaseMemory = false;
    }

    // The copy of source, made now unless the table holds it (step a). Sets
    // pair to its table entry when pairs are kept.
    MDL_Object *copy(MDL_Object *source, Pair *&pair)
    {
        bool made = false;
        return copy(source, pair, made);
    }

    // Lists a copy made by the walk, and binds an animated mesh to the copies
    // of its bones, made now when the walk has not reached them yet.
    void place(MDL_Object *copyMade, Pair *pair)
    {
        if (pair != nullptr)
            pair->m_bAdded = true;
        m_poScene->addObject(copyMade);
        if (copyMade->m_iType != OBJECT_ANIMATED_MESH)
            return;
        MDL_AnimatedMesh *mesh = static_cast<MDL_AnimatedMesh *>(copyMade);
        for (int i = 0; i < mesh->m_iNumBindings; i++) {
            MDL_Object *bone = mesh->m_ppoBones[i];
            if (bone == nullptr)
                continue;
            Pair *bonePair = nullptr;
            bool made = false;
            mesh->m_ppoBones[i] = copy(bone, bonePair, made);
            if (made && bonePair != nullptr)
                m_oEarly.append(bonePair);
        }
    }

    // Copies made for bones that the walk never reached (bones outside the
    // subtree) join the scene as roots, so that the scene owns them.
    void finish()
    {
        for (int i = 0; i < m_oEarly.m_iCount; i++) {
            Pair *pair = m_oEarly[i];
            if (pair->m_poCopy != nullptr && !pair->m_bAdded) {
                pair->m_bAdded = true;
                m_poScene->addObject(pair->m_poCopy);
            }
        }
    }

private:
    MDL_Object *copy(MDL_Object *source, Pair *&pair, bool &made)
    {
        pair = nullptr;
        made = false;
        if (m_bPairs) {
            PairTable::Node *node = m_oTable.find(&source);
            if (node != nullptr) {
                pair = &node->m_oValue;
                return pair->m_poCopy;
            }
        }
        // The copy keeps the source's frame relative to its parent.
        source->getLocalFrame();
        MDL_Object *result = copyOf(*source);
        made = true;
        if (m_bPairs)
            pair = &m_oTable.insert(&source, Pair{result, false})->m_oValue;
        return result;
    }

    MDL_Scene *m_poScene;
    bool m_bPairs;
    PairTable m_oTable;
    // Table entries of bone copies made before the walk reached their
    // source, in the order made (entries stay put when the table grows).
    UTIL_DynArray<Pair *> m_oEarly;
};

} // namespace

bool MDL_Scene::setCopyFunction(int type, MDL_CopyFunction copy)
{
    if (type != OBJECT_RIGID_BODY)
        return false;
    s_pfnCopyRigidBody = copy;
    return true;
}

MDL_Object *MDL_Scene::instantiate(MDL_Object *source)
{
    if (source == nullptr)
        return nullptr;
    Instantiation work(this, needsPairs(source));

    // Depth first in child order, without recursion: each copy is listed
    // before its children, which are appended to its child list in order.
    // path[d] is the copy at depth d of the walk, tail[d] its last child so
    // far.
    struct Visit {
        MDL_Object *m_poSource;
        int m_iDepth;
    };
    UTIL_DynArray<Visit> stack;
    UTIL_DynArray<MDL_Object *> path, tail, children;
    stack.m_bReleaseMemory = false;
    children.m_bReleaseMemory = false;
    MDL_Object *result = nullptr;
    stack.append(Visit{source, 0});
    while (stack.m_iCount > 0) {
        const Visit visit = stack[stack.m_iCount - 1];
        stack.resize(stack.m_iCount - 1);
        Instantiation::Pair *pair = nullptr;
        MDL_Object *made = work.copy(visit.m_poSource, pair);
        // A kind without a copy is left out with its subtree; a copy already
        // listed (a source reached twice) is not listed again.
        if (made == nullptr || (pair != nullptr && pair->m_bAdded))
            continue;
        work.place(made, pair);
        const int depth = visit.m_iDepth;
        if (depth == 0) {
            result = made;
        } else {
            MDL_Object *parent = path[depth - 1];
            made->m_poParent = parent;
            made->m_bGlobalValid = false;
            MDL_Object::s_uiPlacementEdits++;
            if (tail[depth - 1] == nullptr)
                parent->m_poFirstChild = made;
            else
                tail[depth - 1]->m_poNextSibling = made;
            tail[depth - 1] = made;
        }
        if (path.m_iCount <= depth) {
            path.resize(depth + 1);
            tail.resize(depth + 1);
        }
        path[depth] = made;
        tail[depth] = nullptr;
        children.resize(0);
        for (MDL_Object *c = visit.m_poSource->m_poFirstChild; c != nullptr; c = c->m_poNextSibling)
            children.append(c);
        for (int i = children.m_iCount - 1; i >= 0; i--)
            stack.append(Visit{children[i], depth + 1});
    }
    work.finish();
    return result;
}
