// Feeds arbitrary bytes to a models set as its text. Whatever loads must
// form a sound tree (every child listed once under its parent, no parent
// chain that loops), bind skins only to the set's own bones, and
// stand being copied into a scene and run there. The nesting guard is held
// to the parser: a text it lets through is never nested deeper than it
// counted.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <tinyxml.h>

#include "foundation/UTIL_DynArray.h"
#include "foundation/UTIL_Log.h"
#include "foundation/UTIL_XmlValues.h"
#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_Lamp.h"
#include "model/MDL_ModelsSet.h"
#include "model/MDL_Object.h"
#include "model/MDL_Scene.h"

namespace {

void quiet(const char *, void *) {}

// How deep the parser nested elements, without recursion.
int parsedDepth(const TiXmlNode *root)
{
    struct Level {
        const TiXmlNode *m_poNode;
        int m_iDepth;
    };
    UTIL_DynArray<Level> stack;
    stack.append(Level{root, 0});
    int deepest = 0;
    while (stack.m_iCount > 0) {
        Level level = stack[stack.m_iCount - 1];
        stack.resize(stack.m_iCount - 1);
        deepest = level.m_iDepth > deepest ? level.m_iDepth : deepest;
        for (const TiXmlNode *c = level.m_poNode->FirstChild(); c != nullptr; c = c->NextSibling())
            if (c->ToElement() != nullptr)
                stack.append(Level{c, level.m_iDepth + 1});
    }
    return deepest;
}

void checkGuard(const char *text)
{
    if (!MDL_ModelsSet::isNestingWithin(text, MDL_ModelsSet::MAX_NESTING))
        return;
    TiXmlDocument document;
    LoadBuffer(document, text, TIXML_ENCODING_LEGACY);
    int depth = parsedDepth(&document);
    if (depth > 0 && MDL_ModelsSet::isNestingWithin(text, depth - 1))
        abort(); // the guard counted lower than the parser nested
}

// Positions of the set's objects by pointer, for the checks below.
class ObjectIndex {
public:
    explicit ObjectIndex(const UTIL_DynArray<MDL_Object *> &objects) : m_oSorted(objects.m_iCount)
    {
        for (int i = 0; i < objects.m_iCount; i++)
            m_oSorted[i] = Entry{reinterpret_cast<uintptr_t>(objects[i]), i};
        std::sort(m_oSorted.m_pData, m_oSorted.m_pData + m_oSorted.m_iCount,
                  [](const Entry &a, const Entry &b) { return a.m_uiKey < b.m_uiKey; });
    }
    // The position of object, or -1 when it is not one of the set's.
    int find(const MDL_Object *object) const
    {
        const uintptr_t key = reinterpret_cast<uintptr_t>(object);
        int lo = 0, hi = m_oSorted.m_iCount;
        while (lo < hi) {
            int mid = (lo + hi) / 2;
            if (m_oSorted[mid].m_uiKey < key)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo < m_oSorted.m_iCount && m_oSorted[lo].m_uiKey == key ? m_oSorted[lo].m_iPosition : -1;
    }

private:
    struct Entry {
        uintptr_t m_uiKey;
        int m_iPosition;
    };
    UTIL_DynArray<Entry> m_oSorted;
};

void checkSet(const MDL_ModelsSet &set)
{
    const int n = set.m_oObjects.m_iCount;
    const ObjectIndex index(set.m_oObjects);
    // Every child list holds the set's objects whose parent is its owner,
    // each object in one list at most.
    UTIL_DynArray<int> listed(n), walk(n);
    for (int i = 0; i < n; i++)
        listed[i] = walk[i] = 0;
    for (int i = 0; i < n; i++) {
        int length = 0;
        for (const MDL_Object *c = set.m_oObjects[i]->getFirstChild(); c != nullptr; c = c->getNextSibling()) {
            int k = index.find(c);
            if (k < 0 || c->getParent() != set.m_oObjects[i] || ++listed[k] > 1 || ++length > n)
                abort();
        }
    }
    // Every object with a parent is listed under it, and no parent chain
    // loops (walk: 0 not seen, 1 on the current walk, 2 checked).
    UTIL_DynArray<int> path;
    for (int i = 0; i < n; i++) {
        const MDL_Object *o = set.m_oObjects[i];
        if (o->getParent() != nullptr && listed[i] != 1)
            abort();
        path.resize(0);
        int j = i;
        while (j >= 0 && walk[j] == 0) {
            walk[j] = 1;
            path.append(j);
            const MDL_Object *p = set.m_oObjects[j]->getParent();
            j = p != nullptr ? index.find(p) : -1;
            if (p != nullptr && j < 0)
                abort(); // a parent outside the set
        }
        if (j >= 0 && walk[j] == 1)
            abort(); // a loop
        for (int k = 0; k < path.m_iCount; k++)
            walk[path[k]] = 2;
        if (o->getType() == OBJECT_ANIMATED_MESH) {
            const MDL_AnimatedMesh *mesh = static_cast<const MDL_AnimatedMesh *>(o);
            for (int b = 0; b < mesh->getBindingCount(); b++) {
                const MDL_Object *bone = mesh->getBone(b);
                if (bone != nullptr && (bone->getType() != OBJECT_BONE || index.find(bone) < 0))
                    abort();
            }
        }
    }
    for (int type = 0; type < MDL_TYPE_COUNT; type++) {
        int count = 0;
        char **names = set.getNames(type, count);
        MDL_ModelsSet::freeNames(names, count);
    }
}

// Copies every root into a scene and runs it a little.
void run(MDL_ModelsSet &set)
{
    MDL_Scene scene("fuzz");
    int roots = 0;
    for (int i = 0; i < set.m_oObjects.m_iCount && roots < 16; i++)
        if (set.m_oObjects[i]->getParent() == nullptr) {
            scene.instantiate(set.m_oObjects[i]);
            roots++;
        }
    for (int i = 0; i < scene.m_oBones.m_iCount; i++)
        scene.m_oBones[i]->editLocalPosition() = MTH_Vector3D(0.25, -0.5, 1);
    scene.updateSkinning();
    scene.step(0, nullptr);
    if (MDL_Lamp *lamp = scene.getShadowLamp())
        scene.drawShadowVolumes(lamp);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    UTIL_setLogSink(quiet, nullptr);
    char *text = static_cast<char *>(malloc(size + 1));
    memcpy(text, data, size);
    text[size] = '\0';
    checkGuard(text);
    {
        MDL_ModelsSet set;
        set.setName("fuzz.xml");
        if (set.load(text)) {
            checkSet(set);
            run(set);
        } else if (set.m_oObjects.m_iCount != 0 || set.m_oMaterials.m_iCount != 0) {
            abort(); // a failed load adds nothing
        }
    }
    free(text);
    UTIL_setLogSink(nullptr, nullptr);
    return 0;
}
