// The collision pass: the sort and sweep along x over two endpoints per
// volume, and for each pair whose intervals overlap the checks, the shape
// test, the script's answer and the response.
//
// Most pairs that overlap along x are far apart along y or z, so the
// bounding-sphere test rejects nearly all of them. The pass keeps each
// volume's centre and bounding radius in compact tables (MDL_SweepTables)
// and runs that test first, over contiguous memory; the volumes themselves
// are only read for the pairs that pass it. The test is the same comparison
// on the same numbers as on the volumes, so it rejects exactly the same
// pairs, and the other checks that may reject a pair have no effect of their
// own: the pairs examined, their order and their results are those of a
// pass that reads every pair from the volumes.
//
// For that the tables must hold the current centre of every volume the
// sweep may pair: the volumes of the active list and the volume of the
// endpoint at hand. Within the pass volumes move in two ways only: the
// response's positional correction moves the two bodies of a contact (and
// everything below them), whose volumes are read again right after it; and
// script code run by an event may move anything, which shows in
// MDL_Object's count of placement edits, and then every volume of the
// active list is read again. A volume outside the list is read again at
// each of its endpoints.
//
// The tables and the volumes' slots serve one pass at a time; a pass started
// while another runs (which nothing does: scenes are stepped by the frame
// loop alone) gets tables of its own.
#include "model/MDL_Collision.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "foundation/UTIL_DynArray.h"
#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Contact.h"
#include "model/MDL_Event.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_Scene.h"
#include "model/MDL_SweepTables.h"

namespace {

bool endpointBefore(const MDL_SweepEndpoint *a, const MDL_SweepEndpoint *b)
{
    return a->m_fValue < b->m_fValue;
}

// Sorts the endpoints by value. From one pass to the next the order barely
// changes, so an insertion sort does it in about one move per endpoint; when
// it meets much disorder (a first pass, a teleport) the rest goes to a
// general sort. Every value is finite (NaN is folded to 0 first), so the
// order is a strict weak one.
void sortEndpoints(MDL_SweepEndpoint **e, int count)
{
    long budget = 8L * count + 64;
    for (int i = 1; i < count; i++) {
        MDL_SweepEndpoint *x = e[i];
        int j = i;
        while (j > 0 && endpointBefore(x, e[j - 1])) {
            e[j] = e[j - 1];
            j--;
            if (--budget < 0) {
                e[j] = x;
                std::sort(e, e + count, endpointBefore);
                return;
            }
        }
        e[j] = x;
    }
}

class Pass {
public:
    Pass(MDL_Scene &scene, UTIL_EventHost *events, MDL_SweepTables &tables)
        : m_oScene(scene), m_poEvents(events), m_oTables(tables)
    {
    }
    // The sweep over the sorted endpoints of the first count entries.
    void run(int count);

private:
    // Reads again the volumes of the pass below object (and object itself).
    void readSubtree(MDL_Object *object);
    // Reads again the volumes of the active list and the one at hand.
    void readActive(int slot)
    {
        m_oTables.readActive();
        m_oTables.read(slot);
    }
    // The pair (A = V, B = W) whose bounding spheres meet, of the slots
    // slot and other.
    void examine(int slot, int other, MDL_CollisionVolume *A, MDL_CollisionVolume *B);

    MDL_Scene &m_oScene;
    UTIL_EventHost *m_poEvents;
    MDL_SweepTables &m_oTables;
};

void Pass::readSubtree(MDL_Object *root)
{
    MDL_Object::visitSubtree(root, [&](MDL_Object *o) {
        if (o->m_iType != OBJECT_COLLISION_VOLUME)
            return;
        const int slot = static_cast<MDL_CollisionVolume *>(o)->m_iSweepSlot;
        if (slot >= 0 && slot < m_oTables.count() && m_oTables.volume(slot) == o)
            m_oTables.read(slot);
    });
}

void Pass::examine(int slot, int other, MDL_CollisionVolume *A, MDL_CollisionVolume *B)
{
    if (m_oTables.knownApart(slot, other))
        return;
    if (B->m_bDeleted || A == B)
        return;
    if ((B->m_uiCollisionMask & static_cast<uint32_t>(A->m_iCollisionLayer)) == 0 &&
        (A->m_uiCollisionMask & static_cast<uint32_t>(B->m_iCollisionLayer)) == 0)
        return;
    MDL_RigidBody *a = MDL_Collision::bodyOf(A);
    MDL_RigidBody *b = MDL_Collision::bodyOf(B);
    if ((a != nullptr && a->m_bDeleted) || (a == nullptr && b == nullptr) ||
        (b != nullptr && (b == a || b->m_bDeleted)))
        return;
    // Two still bodies, or a still body and the fixed world, are not tested.
    if ((a == nullptr || a->getStill()) && (b == nullptr || b->getStill()))
        return;
    MTH_Vector3D P, n;
    double d = 0;
    const int found = MDL_Collision::findContact(A, B, P, n, d);
    if (found == MDL_Collision::APART)
        m_oTables.noteApart(slot, other);
    if (found != MDL_Collision::FOUND)
        return;
    uint64_t edits = MDL_Object::s_uiPlacementEdits;
    const bool accepted = MDL_ContactEvent{P, n, d, {a, A, b, B}}.ask(m_oScene.m_oProxyHandle, m_poEvents);
    if (MDL_Object::s_uiPlacementEdits != edits)
        readActive(slot);
    if (!accepted)
        return;
    MDL_RigidBody *surface = MDL_Contact::stillSurface(a, b, P, n, d, std::min(A->m_fRadius, B->m_fRadius));
    const MDL_Contact::Offsets offsets = MDL_Contact::offsets(a, b, P, n, d);
    edits = MDL_Object::s_uiPlacementEdits;
    MDL_Contact::applyImpulses(m_oScene, m_poEvents, a, A, b, B, P, n, offsets, surface);
    const bool scriptMoved = MDL_Object::s_uiPlacementEdits != edits;
    MDL_Contact::removePenetration(a, b, P, n, d, offsets);
    if (scriptMoved) {
        readActive(slot);
        return;
    }
    if (a != nullptr)
        readSubtree(a);
    if (b != nullptr)
        readSubtree(b);
}

void Pass::run(int count)
{
    UTIL_DynArray<MDL_CollisionVolume *> &active = m_oScene.m_oActiveVolumes;
    active.resize(0);
    m_oTables.start(m_oScene.m_oSweepEndpoints.m_pData, count, &active);
    for (int i = 0; i < count; i++) {
        MDL_SweepEndpoint *endpoint = m_oScene.m_oSweepEndpoints[i];
        MDL_CollisionVolume *V = endpoint->m_poObject;
        if (V == nullptr || V->m_bDeleted)
            continue;
        // A volume outside the list may have been moved by script code.
        const int slot = V->m_iSweepSlot; // given by the tables' start
        if (!m_oTables.isActive(slot))
            m_oTables.read(slot);
        // The list is read afresh at each turn: a response may run scripts.
        for (int k = m_oTables.firstMeeting(-1, slot); k < active.m_iCount; k = m_oTables.firstMeeting(k + 1, slot))
            examine(slot, m_oTables.slotAt(k), V, active[k]);
        if (endpoint->m_bIsMin)
            m_oTables.open(slot);
        else
            m_oTables.close(slot);
    }
    active.resize(0);
}

} // namespace

void MDL_Collision::collide(MDL_Scene &scene, UTIL_EventHost *events)
{
    // Only what exists now takes part: a volume that a script adds while the
    // pass runs has neither radius nor endpoint values yet, and its
    // endpoints are not in the sorted order.
    MDL_Contact::forgetCorrections();
    const int volumes = scene.m_oCollisionVolumes.m_iCount;
    const int count = scene.m_oSweepEndpoints.m_iCount;
    for (int i = 0; i < volumes; i++)
        static_cast<MDL_CollisionVolume *>(scene.m_oCollisionVolumes[i])->getRadius();
    for (int i = 0; i < count; i++) {
        MDL_SweepEndpoint *endpoint = scene.m_oSweepEndpoints[i];
        if (std::isnan(endpoint->update()))
            endpoint->m_fValue = 0;
    }
    sortEndpoints(scene.m_oSweepEndpoints.m_pData, count);

    // One set of tables serves every pass (passes never nest: only the
    // scene's step runs one).
    static MDL_SweepTables s_oTables;
    Pass(scene, events, s_oTables).run(count);
}
