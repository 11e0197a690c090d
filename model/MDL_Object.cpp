#include "model/MDL_Object.h"

#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include <tinyxml.h>

#include "foundation/MTH_Matrix4x4.h"
#include "foundation/UTIL_DynArray.h"
#include "foundation/UTIL_XmlValues.h"

namespace {

// A stack for tree walks: the first levels live inside the walk, deeper ones
// on the heap, so that no walk recurses and shallow walks do not allocate.
template <typename T, int N = 32> class WalkStack {
public:
    WalkStack() : m_iCount(0) {}
    bool empty() const { return m_iCount == 0; }
    void push(const T &value)
    {
        if (m_iCount < N)
            m_aInline[m_iCount] = value;
        else
            m_oOverflow.append(value);
        m_iCount++;
    }
    T &top() { return m_iCount <= N ? m_aInline[m_iCount - 1] : m_oOverflow[m_iCount - 1 - N]; }
    void pop()
    {
        m_iCount--;
        if (m_iCount >= N)
            m_oOverflow.resize(m_iCount - N);
    }

private:
    T m_aInline[N];
    UTIL_DynArray<T> m_oOverflow;
    int m_iCount;
};

// Names of the type codes as the models-set files spell them.
const char *const TYPE_NAMES[MDL_TYPE_COUNT] = {
    "None", "Lamp",    "Camera", "Mesh", "RigidBody", "Sound",           "Bone",    "AnimatedMesh",
    "Text", "RtfText", "Image",  "Mike", "Polyline",  "CollisionVolume", "Locator",
};

bool listsChild(const MDL_Object *parent, const MDL_Object *child)
{
    for (const MDL_Object *c = parent->m_poFirstChild; c != nullptr; c = c->m_poNextSibling)
        if (c == child)
            return true;
    return false;
}

} // namespace

MDL_Object::MDL_Object()
    : m_iType(OBJECT_NONE), m_sName(nullptr), m_poFirstChild(nullptr), m_poNextSibling(nullptr), m_bChanged(true),
      m_bDeleted(false), m_fMaxMouseMove(DBL_MAX), m_poParent(nullptr), m_poScene(nullptr), m_iState(STATE_VISIBLE),
      m_bGlobalValid(true), m_bLocalValid(true)
{
}

MDL_Object::MDL_Object(const MDL_Object &other)
    : m_oProxyHandle(), m_iType(other.m_iType), m_sName(other.m_sName ? strdup(other.m_sName) : nullptr),
      m_poFirstChild(nullptr), m_poNextSibling(nullptr), m_bChanged(other.m_bChanged), m_bDeleted(false),
      m_fMaxMouseMove(other.m_fMaxMouseMove), m_poParent(nullptr), m_poScene(nullptr), m_iState(other.m_iState),
      m_oGlobalFrame(other.m_oGlobalFrame), m_bGlobalValid(other.m_bGlobalValid), m_oLocalFrame(other.m_oLocalFrame),
      m_bLocalValid(other.m_bLocalValid)
{
}

MDL_Object::~MDL_Object()
{
    free(m_sName);
    m_sName = nullptr;
    m_oProxyHandle.release();
}

bool MDL_Object::hitTest(const MTH_Vector2D &)
{
    return false;
}

bool MDL_Object::isValid()
{
    return true;
}

void MDL_Object::setName(const char *name)
{
    char *copy = name != nullptr ? strdup(name) : nullptr;
    free(m_sName);
    m_sName = copy;
}

int MDL_Object::typeFromName(const char *name)
{
    if (name == nullptr)
        return OBJECT_NONE;
    for (int code = 0; code < MDL_TYPE_COUNT; code++)
        if (strcasecmp(name, TYPE_NAMES[code]) == 0)
            return code;
    return OBJECT_NONE;
}

bool MDL_Object::loadFromXML(const TiXmlElement *element)
{
    if (element == nullptr)
        return false;
    setName(element->Attribute("name"));
    const TiXmlElement *matrix = element->FirstChildElement("matrix");
    if (matrix == nullptr)
        return true;
    MTH_Matrix4x4 m;
    m.setZero();
    UTIL_parseDoubles(matrix->GetText(), m.m_af, 16);
    editLocalFrame().setMatrix4x4(m);
    return true;
}

// --- tree ---

bool MDL_Object::canAdopt(const MDL_Object *child) const
{
    return child != nullptr && child != this && !isDescendantOf(child);
}

bool MDL_Object::isListable(const MDL_Object *child) const
{
    // A next sibling is only acceptable when the list is the parent's, which
    // the child leaves before it is listed again.
    if (child->m_poNextSibling == nullptr)
        return true;
    return child->m_poParent != nullptr && listsChild(child->m_poParent, child);
}

void MDL_Object::keepLocalFrame()
{
    s_uiPlacementEdits++;
    m_bChanged = true;
    getLocalFrame();
    invalidateChildren();
    m_bGlobalValid = false;
}

bool MDL_Object::setParent(MDL_Object *parent)
{
    if (parent != nullptr && !parent->canAdopt(this))
        return false;
    // The children are fixed against this object's placement under the old
    // parent before the parent changes.
    keepLocalFrame();
    if (parent != m_poParent)
        unlinkFromParent();
    m_poParent = parent;
    return true;
}

void MDL_Object::setScene(MDL_Scene *scene)
{
    keepLocalFrame();
    m_poScene = scene;
}

bool MDL_Object::addChild(MDL_Object *child)
{
    if (!canAdopt(child) || !isListable(child))
        return false;
    child->unlinkFromParent();
    // The child keeps its place in the scene: its global frame is made
    // current against the old parent, and its local frame is worked out
    // against this object on first use.
    s_uiPlacementEdits++;
    child->getGlobalFrame();
    child->invalidateChildren();
    child->m_bLocalValid = false;
    child->m_bChanged = true;
    child->m_poParent = this;
    MDL_Object **link = &m_poFirstChild;
    while (*link != nullptr)
        link = &(*link)->m_poNextSibling;
    *link = child;
    child->m_poNextSibling = nullptr;
    return true;
}

bool MDL_Object::insertFirstChild(MDL_Object *child)
{
    if (!canAdopt(child) || !isListable(child))
        return false;
    child->unlinkFromParent();
    if (child->m_poParent != this)
        child->setParent(this); // cannot fail: canAdopt held
    child->m_poNextSibling = m_poFirstChild;
    m_poFirstChild = child;
    return true;
}

bool MDL_Object::removeChild(MDL_Object *child)
{
    if (child == nullptr)
        return false;
    for (MDL_Object **link = &m_poFirstChild; *link != nullptr; link = &(*link)->m_poNextSibling)
        if (*link == child) {
            // What this object carries changes.
            s_uiPlacementEdits++;
            *link = child->m_poNextSibling;
            child->m_poNextSibling = nullptr;
            return true;
        }
    return false;
}

void MDL_Object::unlinkFromParent()
{
    if (m_poParent != nullptr)
        m_poParent->removeChild(this);
}

void MDL_Object::invalidateChildren()
{
    if (m_poFirstChild == nullptr)
        return;
    // Children without children of their own (a body's volumes and meshes)
    // need no walk: each in turn is fixed against this object and marked.
    bool leaves = true;
    for (MDL_Object *c = m_poFirstChild; c != nullptr && leaves; c = c->m_poNextSibling)
        leaves = c->m_poFirstChild == nullptr;
    if (leaves) {
        for (MDL_Object *c = m_poFirstChild; c != nullptr; c = c->m_poNextSibling) {
            if (!c->m_bLocalValid) {
                c->m_oLocalFrame = c->m_oGlobalFrame;
                getGlobalFrame().toLocalFrame(c->m_oLocalFrame);
                c->m_bLocalValid = true;
            }
            c->m_bGlobalValid = false;
            c->m_bChanged = true;
        }
        return;
    }
    // Depth first: before a child's subtree its local frame is fixed against
    // its parent's current (old) placement; after it, the child's global
    // frame is marked stale.
    struct Level {
        MDL_Object *m_poOwner;
        MDL_Object *m_poChild;
    };
    WalkStack<Level> stack;
    stack.push(Level{this, m_poFirstChild});
    while (!stack.empty()) {
        Level &level = stack.top();
        MDL_Object *child = level.m_poChild;
        if (child == nullptr) {
            stack.pop();
            if (!stack.empty()) {
                Level &up = stack.top();
                up.m_poChild->m_bGlobalValid = false;
                up.m_poChild->m_bChanged = true;
                up.m_poChild = up.m_poChild->m_poNextSibling;
            }
            continue;
        }
        if (!child->m_bLocalValid) {
            child->m_oLocalFrame = child->m_oGlobalFrame;
            level.m_poOwner->getGlobalFrame().toLocalFrame(child->m_oLocalFrame);
            child->m_bLocalValid = true;
        }
        stack.push(Level{child, child->m_poFirstChild}); // may invalidate level
    }
}

MDL_Object *MDL_Object::getDescendant(const char *name) const
{
    if (name == nullptr)
        return nullptr;
    auto matchChild = [name](const MDL_Object *parent) -> MDL_Object * {
        for (MDL_Object *c = parent->m_poFirstChild; c != nullptr; c = c->m_poNextSibling)
            if (c->m_sName != nullptr && strcasecmp(c->m_sName, name) == 0)
                return c;
        return nullptr;
    };
    MDL_Object *found = matchChild(this);
    if (found != nullptr || m_poFirstChild == nullptr)
        return found;
    // Each child in list order is searched the same way: its own children
    // first, then its children's subtrees. The stack holds the child being
    // searched at each depth.
    WalkStack<MDL_Object *> stack;
    stack.push(m_poFirstChild);
    while (!stack.empty()) {
        MDL_Object *object = stack.top();
        if (object == nullptr) {
            stack.pop();
            if (!stack.empty())
                stack.top() = stack.top()->m_poNextSibling;
            continue;
        }
        found = matchChild(object);
        if (found != nullptr)
            return found;
        stack.push(object->m_poFirstChild);
    }
    return nullptr;
}

bool MDL_Object::isDescendantOf(const MDL_Object *other) const
{
    if (other == nullptr)
        return false;
    for (const MDL_Object *p = m_poParent; p != nullptr; p = p->m_poParent)
        if (p == other)
            return true;
    return false;
}

// --- frames ---

uint64_t MDL_Object::s_uiPlacementEdits = 0;

MTH_Frame &MDL_Object::refreshGlobalFrame()
{
    if (m_poParent == nullptr || m_poParent->m_bGlobalValid) {
        m_oGlobalFrame = m_oLocalFrame;
        if (m_poParent != nullptr)
            m_poParent->m_oGlobalFrame.toGlobalFrame(m_oGlobalFrame);
        m_bGlobalValid = true;
        return m_oGlobalFrame;
    }
    // The stale ancestors are brought up to date from the top down.
    WalkStack<MDL_Object *> stack;
    for (MDL_Object *o = this; o != nullptr && !o->m_bGlobalValid; o = o->m_poParent)
        stack.push(o);
    while (!stack.empty()) {
        MDL_Object *o = stack.top();
        stack.pop();
        o->m_oGlobalFrame = o->m_oLocalFrame;
        if (o->m_poParent != nullptr)
            o->m_poParent->m_oGlobalFrame.toGlobalFrame(o->m_oGlobalFrame);
        o->m_bGlobalValid = true;
    }
    return m_oGlobalFrame;
}

MTH_Frame &MDL_Object::getLocalFrame()
{
    if (m_bLocalValid)
        return m_oLocalFrame;
    m_oLocalFrame = m_oGlobalFrame;
    if (m_poParent != nullptr)
        m_poParent->getGlobalFrame().toLocalFrame(m_oLocalFrame);
    m_bLocalValid = true;
    return m_oLocalFrame;
}

MTH_Frame &MDL_Object::editLocalFrame()
{
    keepLocalFrame();
    return m_oLocalFrame;
}

MTH_Matrix3x3 &MDL_Object::editLocalBasis()
{
    MTH_Frame &frame = editLocalFrame();
    frame.invalidateInverse();
    return frame.m_oBasis;
}

MTH_Frame &MDL_Object::editGlobalFrame()
{
    s_uiPlacementEdits++;
    m_bChanged = true;
    getGlobalFrame();
    invalidateChildren();
    m_bLocalValid = false;
    return m_oGlobalFrame;
}

MTH_Matrix3x3 &MDL_Object::editGlobalBasis()
{
    MTH_Frame &frame = editGlobalFrame();
    frame.invalidateInverse();
    return frame.m_oBasis;
}

// --- state ---

void MDL_Object::applyState(StateOp op, int bits, int scope)
{
    auto apply = [op, bits](MDL_Object *o) {
        switch (op) {
        case STATE_OP_SET:
            o->m_iState = bits;
            break;
        case STATE_OP_ENABLE:
            o->m_iState |= bits;
            break;
        case STATE_OP_DISABLE:
            o->m_iState &= ~bits;
            break;
        case STATE_OP_TOGGLE:
            o->m_iState ^= bits;
            break;
        }
    };
    if (scope == SCOPE_RECURSE)
        visitSubtree(this, apply);
    else
        apply(this);
}

void MDL_Object::setState(int bits, int scope)
{
    applyState(STATE_OP_SET, bits, scope);
}

void MDL_Object::enableState(int bits, int scope)
{
    applyState(STATE_OP_ENABLE, bits, scope);
}

void MDL_Object::disableState(int bits, int scope)
{
    applyState(STATE_OP_DISABLE, bits, scope);
}

void MDL_Object::toggleState(int bits, int scope)
{
    applyState(STATE_OP_TOGGLE, bits, scope);
}

void MDL_Object::setMaxMouseMove(double value, int scope)
{
    auto apply = [value](MDL_Object *o) { o->m_fMaxMouseMove = value; };
    if (scope == SCOPE_RECURSE)
        visitSubtree(this, apply);
    else
        apply(this);
}

void MDL_Object::getBoundingBox(MTH_Vector3D &min, MTH_Vector3D &max) const
{
    min = MTH_Vector3D();
    max = MTH_Vector3D();
}
