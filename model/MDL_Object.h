#pragma once

#include <cstdint>

#include "foundation/MTH_Frame.h"
#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_ProxyHandle.h"
#include "model/MDL_ObjectTypes.h"

class MDL_Scene;
class TiXmlElement;

// The base of every placeable thing in a scene. It carries the object's type
// code, name, state bits and place in a tree (parent, first child, next
// sibling), and two frames: the local one, relative to the parent (to the
// scene for a root), and the global one, relative to the scene. Only one of
// them need be current; the other is worked out on first use.
//
// The object owns its name only. Children, parent and scene belong to the
// scene's lists or to a models set; destroying an object does not touch the
// tree.
//
// Tree rule: an object is listed in at most one child list, its parent's.
// Nothing links an object below itself: setParent, addChild and
// insertFirstChild refuse a link that would make an object its own ancestor.
// Walks over children and descendants use explicit stacks, so a tree of any
// depth is safe.
class MDL_Object {
public:
    MDL_Object();
    // A copy of the type, name, both frames with their validity, the state
    // bits, the changed flag and the max mouse move. It has no proxy, no
    // parent, children, sibling or scene, and is not deleted.
    MDL_Object(const MDL_Object &other);
    MDL_Object &operator=(const MDL_Object &) = delete;
    virtual ~MDL_Object();

    // Whether a 2D point in the object's own overlay coordinates hits it.
    virtual bool hitTest(const MTH_Vector2D &point);
    // Reads the object from its models-set element: the attribute "name" and
    // the optional child element "matrix" (16 numbers, a 4x4 matrix whose
    // upper-left 3x3 is the local basis and whose fourth row is the local
    // position; missing numbers read as 0). True unless element is null.
    // Kinds with more to read call this first.
    virtual bool loadFromXML(const TiXmlElement *element);
    virtual bool isValid();

    // --- name and type ---
    const char *getName() const { return m_sName; }
    // Keeps a copy; null clears the name.
    void setName(const char *name);
    int getType() const { return m_iType; }
    // Type code of a type name of the models-set files, without regard to
    // case; 0 for an unknown name or null.
    static int typeFromName(const char *name);

    // --- tree ---
    MDL_Object *getParent() const { return m_poParent; }
    MDL_Scene *getScene() const { return m_poScene; }
    MDL_Object *getFirstChild() const { return m_poFirstChild; }
    MDL_Object *getNextSibling() const { return m_poNextSibling; }

    // Whether child may be linked below this object: not null, not this
    // object and not one of its ancestors.
    bool canAdopt(const MDL_Object *child) const;
    // Gives the object a new parent (null makes it a root). The object keeps
    // its local frame, so it moves with the new parent; its global frame is
    // worked out again. The object leaves its former parent's child list but
    // joins no list: callers list it (addChild does both). Refused (false,
    // nothing changed) when parent is this object or one of its descendants.
    bool setParent(MDL_Object *parent);
    // Sets the scene; the frames are treated as in setParent.
    void setScene(MDL_Scene *scene);
    // Appends child at the end of this object's child list. The child keeps
    // its place in the scene (its global frame); its local frame is worked
    // out against this object on first use. A child still listed under its
    // former parent is taken out of that list first. Refused (false, nothing
    // changed) when canAdopt fails or the child sits in a list that is not
    // its parent's.
    bool addChild(MDL_Object *child);
    // Makes this object the child's parent (setParent: the child keeps its
    // local frame) and puts the child at the head of the child list, as the
    // models-set reader links parents. Refused as setParent is, and when the
    // child sits in a list that is not its parent's.
    bool insertFirstChild(MDL_Object *child);
    // Takes child out of this object's child list and clears its next
    // sibling; its parent pointer stays. False when child is not listed here.
    bool removeChild(MDL_Object *child);
    // Takes this object out of its parent's child list (see removeChild).
    void unlinkFromParent();
    // Fixes every descendant's local frame against this object's current
    // placement, then marks the descendants' global frames stale and changed.
    // Runs before this object's placement changes.
    void invalidateChildren();
    // First the direct children in list order (names compared without
    // regard to case; unnamed objects never match), then the subtree of each
    // child in list order, searched the same way; null when nothing matches.
    MDL_Object *getDescendant(const char *name) const;
    // True when other is the parent, the parent's parent, and so on.
    bool isDescendantOf(const MDL_Object *other) const;
    // Calls visit on root and every descendant, depth first (first child,
    // then siblings), climbing back through the parent links: no memory
    // needed.
    template <typename F> static void visitSubtree(MDL_Object *root, F visit)
    {
        MDL_Object *o = root;
        while (o != nullptr) {
            visit(o);
            if (o->getFirstChild() != nullptr) {
                o = o->getFirstChild();
                continue;
            }
            while (o != nullptr && o != root && o->getNextSibling() == nullptr)
                o = o->getParent();
            o = o == nullptr || o == root ? nullptr : o->getNextSibling();
        }
    }

    // --- frames ---
    MTH_Frame &getGlobalFrame() { return m_bGlobalValid ? m_oGlobalFrame : refreshGlobalFrame(); }
    const MTH_Vector3D &getGlobalPosition() { return getGlobalFrame().m_oPosition; }
    const MTH_Matrix3x3 &getGlobalBasis() { return getGlobalFrame().m_oBasis; }
    MTH_Frame &getLocalFrame();
    const MTH_Vector3D &getLocalPosition() { return getLocalFrame().m_oPosition; }
    const MTH_Matrix3x3 &getLocalBasis() { return getLocalFrame().m_oBasis; }

    // Edits: the returned reference is written right away; the subtree's
    // local frames are fixed first and follow the object. A local edit makes
    // the global frame stale and the other way round. The basis edits mark
    // the frame's inverse stale.
    MTH_Frame &editLocalFrame();
    MTH_Vector3D &editLocalPosition() { return editLocalFrame().m_oPosition; }
    MTH_Matrix3x3 &editLocalBasis();
    MTH_Frame &editGlobalFrame();
    MTH_Vector3D &editGlobalPosition() { return editGlobalFrame().m_oPosition; }
    MTH_Matrix3x3 &editGlobalBasis();

    // --- state (scope SCOPE_RECURSE also reaches every descendant) ---
    int getState() const { return m_iState; }
    bool hasState(int bits) const { return (m_iState & bits) == bits; }
    void setState(int bits, int scope);
    void enableState(int bits, int scope);
    void disableState(int bits, int scope);
    void toggleState(int bits, int scope);
    void setMaxMouseMove(double value, int scope);

    // The base object has no extent: both corners (0, 0, 0).
    void getBoundingBox(MTH_Vector3D &min, MTH_Vector3D &max) const;

    // --- fields, in order ---
    UTIL_ProxyHandle m_oProxyHandle;
    int32_t m_iType;
    char *m_sName;
    MDL_Object *m_poFirstChild;
    MDL_Object *m_poNextSibling;
    // Set by every edit of a frame and of the tree.
    bool m_bChanged;
    // Flagged for removal by the scene at the end of the frame.
    bool m_bDeleted;
    double m_fMaxMouseMove;
    MDL_Object *m_poParent;
    MDL_Scene *m_poScene;
    int32_t m_iState;
    MTH_Frame m_oGlobalFrame;
    bool m_bGlobalValid;
    MTH_Frame m_oLocalFrame;
    bool m_bLocalValid;

    // Counts the edits that may move objects in the scene or change what an
    // object carries (frame edits, new parents, children taken out), over all
    // objects: a cache of global positions or extents is current while the
    // count stays the same.
    static uint64_t s_uiPlacementEdits;

private:
    // Brings the global frame (and those of stale ancestors) up to date.
    MTH_Frame &refreshGlobalFrame();
    // The local frame made current, then the global frame marked stale, as
    // when the reference frame (parent or scene) is about to change.
    void keepLocalFrame();
    // Whether child may be listed: in no list, or in its parent's.
    bool isListable(const MDL_Object *child) const;
    enum StateOp { STATE_OP_SET, STATE_OP_ENABLE, STATE_OP_DISABLE, STATE_OP_TOGGLE };
    void applyState(StateOp op, int bits, int scope);
};
