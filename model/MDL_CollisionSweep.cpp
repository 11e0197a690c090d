// The collision pass: the sort and sweep along x over two endpoints per
// volume, and for each pair whose intervals overlap the checks, the shape
// test, the script's answer and the response.
//
// Most pairs that overlap along x are far apart along y or z, so the
// bounding-sphere test rejects nearly all of them. The pass keeps each
// volume's centre and bounding radius in a compact table and runs that test
// first, over contiguous memory; the volumes themselves are only read for
// the pairs that pass it. The test is the same comparison on the same
// numbers as on the volumes, so it rejects exactly the same pairs, and the
// other checks that may reject a pair have no effect of their own: the pairs
// examined, their order and their results are those of a pass that reads
// every pair from the volumes.
//
// For that the table must hold the current centre of every volume the sweep
// may pair: the volumes of the active list and the volume of the endpoint at
// hand. Within the pass volumes move in two ways only: the response's
// positional correction moves the two bodies of a contact (and everything
// below them), whose volumes are read again right after it; and script code
// run by an event may move anything, which shows in MDL_Object's count of
// placement edits, and then every volume of the active list is read again.
// A volume is read again when its interval opens.
#include "model/MDL_Collision.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "foundation/UTIL_DynArray.h"
#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Contact.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_Scene.h"

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

// A volume's centre and bounding radius as the pass last read them.
struct Reach {
    double m_fX, m_fY, m_fZ, m_fRadius;
};

// The sphere test runs over blocks of this many places at once.
const int BLOCK = 8;

// An interval of floats: a volume's extent along y or z, widened a little.
struct Span {
    float m_fLow, m_fHigh;
};

// Floats that surely hold c - r to c + r with a margin: two volumes whose
// spans along y (or z) are apart fail the sphere test. The margin, a
// millionth of the numbers' size and 1e-30, covers the rounding of the
// sphere test (its underflow too) and the rounding to float. Numbers too
// large to square safely, and anything not a number, get a span that meets
// everything, and are left to the sphere test.
inline Span spanOf(double c, double r)
{
    if (!(std::fabs(c) < 1e150 && r >= 0 && r < 1e150))
        return Span{-INFINITY, INFINITY};
    const double margin = (std::fabs(c) + r) * 0x1p-20 + 1e-30;
    const double low = c - r - margin, high = c + r + margin;
    // Beyond the floats' range a bound is the largest float on its inner
    // side, or infinite on its outer.
    return Span{low >= FLT_MAX    ? FLT_MAX
                : low <= -FLT_MAX ? -INFINITY
                                  : static_cast<float>(low),
                high >= FLT_MAX    ? INFINITY
                : high <= -FLT_MAX ? -FLT_MAX
                                   : static_cast<float>(high)};
}

// The tables of a pass, kept from one pass to the next so that a step
// allocates nothing.
//
// By slot, for each volume of the pass: the volume, its centre and radius,
// how many times it is in the active list (once, or more should it be
// listed twice) and the place of its latest entry there.
//
// By place in the active list: the slots, the centres and radii in four
// arrays and the spans along y and z in four more, which reject most pairs
// four at a time before the sphere test. A volume that leaves the list
// leaves a gap (slot -1, numbers NaN, empty spans, no volume in the scene's
// list) until the list is packed, so that no entry moves at each end of an
// interval; the gaps keep the order of the others. The arrays hold BLOCK
// more places than the list, all gaps, so that a block may start at any
// place of the list. A gap never meets anything.
//
// The pairs found apart: the shape test of a pair depends on nothing but the
// two volumes' frames and shapes and gives the same answer with the two
// exchanged, so a pair found apart, examined again (at its other endpoint)
// while neither volume has been read again since, is apart again and needs
// no second test. Each slot counts its reads; a pair is noted with both
// counts, in an open-addressing table whose entries of earlier passes count
// as empty.
struct Apart {
    int m_iLow, m_iHigh;
    uint32_t m_uiLowReads, m_uiHighReads;
    uint64_t m_uiPass;
};

struct SweepTables {
    UTIL_DynArray<MDL_CollisionVolume *> m_oVolumes;
    UTIL_DynArray<Reach> m_oReaches;
    UTIL_DynArray<uint32_t> m_oReads;
    UTIL_DynArray<int> m_oEntries;
    UTIL_DynArray<int> m_oPlaces;
    UTIL_DynArray<int> m_oActiveSlots;
    UTIL_DynArray<double> m_oX, m_oY, m_oZ, m_oRadii;
    UTIL_DynArray<float> m_oLowY, m_oHighY, m_oLowZ, m_oHighZ;
    int m_iStart = 0; // the places before it are all gaps
    int m_iGaps = 0;  // from there on
    UTIL_DynArray<Apart> m_oApart;
    int m_iApartCount = 0;
    uint64_t m_uiPass = 0;
    bool m_bBusy = false;

    SweepTables()
    {
        m_oVolumes.m_bReleaseMemory = m_oReaches.m_bReleaseMemory = m_oEntries.m_bReleaseMemory = false;
        m_oPlaces.m_bReleaseMemory = m_oActiveSlots.m_bReleaseMemory = m_oX.m_bReleaseMemory = false;
        m_oY.m_bReleaseMemory = m_oZ.m_bReleaseMemory = m_oRadii.m_bReleaseMemory = false;
        m_oReads.m_bReleaseMemory = m_oApart.m_bReleaseMemory = false;
        m_oLowY.m_bReleaseMemory = m_oHighY.m_bReleaseMemory = false;
        m_oLowZ.m_bReleaseMemory = m_oHighZ.m_bReleaseMemory = false;
    }
    // A new pass: no pair is known apart.
    void forgetApart()
    {
        m_uiPass++;
        m_iApartCount = 0;
    }
    static uint32_t hash(int low, int high)
    {
        return static_cast<uint32_t>(low) * 0x9E3779B1u ^ static_cast<uint32_t>(high) * 0x85EBCA77u;
    }
    // The entry of the pair, or the empty one where it goes.
    Apart &findApart(int low, int high)
    {
        const uint32_t mask = static_cast<uint32_t>(m_oApart.m_iCount) - 1;
        for (uint32_t i = hash(low, high) & mask;; i = (i + 1) & mask) {
            Apart &a = m_oApart[static_cast<int>(i)];
            if (a.m_uiPass != m_uiPass || (a.m_iLow == low && a.m_iHigh == high))
                return a;
        }
    }
    bool knownApart(int s1, int s2)
    {
        if (m_iApartCount == 0)
            return false;
        const int low = s1 < s2 ? s1 : s2, high = s1 < s2 ? s2 : s1;
        const Apart &a = findApart(low, high);
        return a.m_uiPass == m_uiPass && a.m_uiLowReads == m_oReads[low] && a.m_uiHighReads == m_oReads[high];
    }
    void noteApart(int s1, int s2)
    {
        if (2 * (m_iApartCount + 1) > m_oApart.m_iCount)
            growApart();
        const int low = s1 < s2 ? s1 : s2, high = s1 < s2 ? s2 : s1;
        Apart &a = findApart(low, high);
        if (a.m_uiPass != m_uiPass)
            m_iApartCount++;
        a = Apart{low, high, m_oReads[low], m_oReads[high], m_uiPass};
    }
    // Twice the room (at least 256 entries), the pairs of this pass kept.
    void growApart()
    {
        const int old = m_oApart.m_iCount;
        UTIL_DynArray<Apart> kept;
        kept.resize(old);
        for (int i = 0; i < old; i++)
            kept[i] = m_oApart[i];
        m_oApart.resize(old < 128 ? 256 : 2 * old);
        for (int i = 0; i < m_oApart.m_iCount; i++)
            m_oApart[i].m_uiPass = m_uiPass - 1;
        for (int i = 0; i < old; i++)
            if (kept[i].m_uiPass == m_uiPass)
                findApart(kept[i].m_iLow, kept[i].m_iHigh) = kept[i];
    }
    void setPlace(int place, const Reach &r)
    {
        m_oX[place] = r.m_fX;
        m_oY[place] = r.m_fY;
        m_oZ[place] = r.m_fZ;
        m_oRadii[place] = r.m_fRadius;
        const Span y = spanOf(r.m_fY, r.m_fRadius), z = spanOf(r.m_fZ, r.m_fRadius);
        m_oLowY[place] = y.m_fLow;
        m_oHighY[place] = y.m_fHigh;
        m_oLowZ[place] = z.m_fLow;
        m_oHighZ[place] = z.m_fHigh;
    }
    void clearPlace(int place)
    {
        m_oX[place] = m_oY[place] = m_oZ[place] = m_oRadii[place] = NAN;
        m_oLowY[place] = m_oLowZ[place] = INFINITY;
        m_oHighY[place] = m_oHighZ[place] = -INFINITY;
    }
    void movePlace(int from, int to)
    {
        m_oX[to] = m_oX[from];
        m_oY[to] = m_oY[from];
        m_oZ[to] = m_oZ[from];
        m_oRadii[to] = m_oRadii[from];
        m_oLowY[to] = m_oLowY[from];
        m_oHighY[to] = m_oHighY[from];
        m_oLowZ[to] = m_oLowZ[from];
        m_oHighZ[to] = m_oHighZ[from];
    }
    // One more place at the end of the list, the BLOCK after it gaps.
    void addPlace(const Reach &r)
    {
        const int place = m_oX.m_iCount - BLOCK;
        for (UTIL_DynArray<double> *a : {&m_oX, &m_oY, &m_oZ, &m_oRadii})
            a->append(0);
        for (UTIL_DynArray<float> *a : {&m_oLowY, &m_oHighY, &m_oLowZ, &m_oHighZ})
            a->append(0);
        clearPlace(place + BLOCK);
        setPlace(place, r);
    }
    // The places' arrays sized for count places: the BLOCK places after
    // them gaps.
    void sizePlaces(int count)
    {
        const int old = m_oX.m_iCount, size = count + BLOCK;
        for (int place = count; place < old - BLOCK; place++)
            clearPlace(place);
        for (UTIL_DynArray<double> *a : {&m_oX, &m_oY, &m_oZ, &m_oRadii})
            a->resize(size);
        for (UTIL_DynArray<float> *a : {&m_oLowY, &m_oHighY, &m_oLowZ, &m_oHighZ})
            a->resize(size);
        for (int place = old > count ? old : count; place < size; place++)
            clearPlace(place);
    }
};
// The places of the block from k (BLOCK of them) whose spans along y and z
// meet those of v, as bits.
inline unsigned spansMeeting(const SweepTables &t, int k, const Span &y, const Span &z)
{
    const float *lowY = t.m_oLowY.m_pData + k, *highY = t.m_oHighY.m_pData + k;
    const float *lowZ = t.m_oLowZ.m_pData + k, *highZ = t.m_oHighZ.m_pData + k;
    unsigned bits = 0;
#if defined(__SSE2__)
    const __m128 yLow = _mm_set1_ps(y.m_fLow), yHigh = _mm_set1_ps(y.m_fHigh);
    const __m128 zLow = _mm_set1_ps(z.m_fLow), zHigh = _mm_set1_ps(z.m_fHigh);
    for (int i = 0; i < BLOCK; i += 4) {
        const __m128 alongY =
            _mm_and_ps(_mm_cmple_ps(_mm_loadu_ps(lowY + i), yHigh), _mm_cmple_ps(yLow, _mm_loadu_ps(highY + i)));
        const __m128 alongZ =
            _mm_and_ps(_mm_cmple_ps(_mm_loadu_ps(lowZ + i), zHigh), _mm_cmple_ps(zLow, _mm_loadu_ps(highZ + i)));
        bits |= static_cast<unsigned>(_mm_movemask_ps(_mm_and_ps(alongY, alongZ))) << i;
    }
#else
    for (int i = 0; i < BLOCK; i++)
        if (lowY[i] <= y.m_fHigh && y.m_fLow <= highY[i] && lowZ[i] <= z.m_fHigh && z.m_fLow <= highZ[i])
            bits |= 1u << i;
#endif
    return bits;
}

// The first place from first on, before count, whose bounding sphere meets
// v's: the distance between the centres is at most the sum of the radii,
// compared squared; count when none does. The spans of a block are compared
// at once, then the places whose spans meet v's get the sphere test in
// order.
int firstMeeting(const SweepTables &t, int first, int count, const Reach &v)
{
    const double *X = t.m_oX.m_pData, *Y = t.m_oY.m_pData, *Z = t.m_oZ.m_pData, *R = t.m_oRadii.m_pData;
    const Span y = spanOf(v.m_fY, v.m_fRadius), z = spanOf(v.m_fZ, v.m_fRadius);
    for (int k = first; k < count; k += BLOCK) {
        for (unsigned bits = spansMeeting(t, k, y, z); bits != 0; bits &= bits - 1) {
            int i = 0;
            while ((bits & (1u << i)) == 0)
                i++;
            const int place = k + i;
            const double dx = X[place] - v.m_fX, dy = Y[place] - v.m_fY, dz = Z[place] - v.m_fZ;
            const double reach = v.m_fRadius + R[place];
            if (dx * dx + dy * dy + dz * dz <= reach * reach)
                return place < count ? place : count;
        }
    }
    return count;
}

class Pass {
public:
    Pass(MDL_Scene &scene, UTIL_EventHost *events, SweepTables &tables)
        : m_oScene(scene), m_poEvents(events), m_oTables(tables), m_oActive(scene.m_oActiveVolumes)
    {
    }
    // The sweep over the sorted endpoints of the first count entries.
    void run(int count);

private:
    void read(int slot);
    // Gives every volume of the endpoints a slot and reads it.
    void assignSlots(int count);
    // The volume's slot; one is made should the volume have lost its own.
    int slotOf(MDL_CollisionVolume *volume);
    // The volume joins the end of the active list; leaves it (its first
    // entry); the list without gaps.
    void open(MDL_CollisionVolume *volume, int slot);
    void close(int slot);
    void pack();
    // Reads again the volumes of the pass below object (and object itself).
    void readSubtree(MDL_Object *object);
    // Reads again the volumes of the active list and the one at hand.
    void readActive(int slot);
    // The pair (A = V, B = W) whose bounding spheres meet, of the slots
    // slot and other.
    void examine(int slot, int other, MDL_CollisionVolume *A, MDL_CollisionVolume *B);

    MDL_Scene &m_oScene;
    UTIL_EventHost *m_poEvents;
    SweepTables &m_oTables;
    UTIL_DynArray<MDL_CollisionVolume *> &m_oActive;
};

void Pass::read(int slot)
{
    SweepTables &t = m_oTables;
    MDL_CollisionVolume *volume = t.m_oVolumes[slot];
    const MTH_Vector3D &c = volume->getGlobalPosition();
    const Reach r{c.m_fX, c.m_fY, c.m_fZ, volume->m_fRadius};
    t.m_oReaches[slot] = r;
    if (++t.m_oReads[slot] == 0)
        t.forgetApart(); // the count wrapped: a pair noted long ago could match again
    if (t.m_oEntries[slot] == 1) {
        t.setPlace(t.m_oPlaces[slot], r);
    } else if (t.m_oEntries[slot] > 1) {
        for (int place = t.m_iStart; place < t.m_oActiveSlots.m_iCount; place++)
            if (t.m_oActiveSlots[place] == slot)
                t.setPlace(place, r);
    }
}

void Pass::assignSlots(int count)
{
    SweepTables &t = m_oTables;
    MDL_SweepEndpoint **endpoints = m_oScene.m_oSweepEndpoints.m_pData;
    for (int i = 0; i < count; i++)
        if (endpoints[i]->m_poObject != nullptr)
            endpoints[i]->m_poObject->m_iSweepSlot = -1;
    t.m_oVolumes.resize(0);
    for (int i = 0; i < count; i++) {
        MDL_CollisionVolume *volume = endpoints[i]->m_poObject;
        if (volume == nullptr || volume->m_iSweepSlot >= 0)
            continue;
        volume->m_iSweepSlot = t.m_oVolumes.m_iCount;
        t.m_oVolumes.append(volume);
    }
    const int n = t.m_oVolumes.m_iCount;
    t.m_oReaches.resize(n);
    t.m_oReads.resize(n);
    t.m_oEntries.resize(n);
    t.m_oPlaces.resize(n);
    t.m_oActiveSlots.resize(0);
    t.m_oX.resize(0);
    t.sizePlaces(0);
    t.m_iStart = t.m_iGaps = 0;
    t.forgetApart();
    for (int slot = 0; slot < n; slot++) {
        t.m_oReads[slot] = 0;
        t.m_oEntries[slot] = 0;
        t.m_oPlaces[slot] = -1;
        read(slot);
    }
}

int Pass::slotOf(MDL_CollisionVolume *volume)
{
    SweepTables &t = m_oTables;
    const int slot = volume->m_iSweepSlot;
    if (slot >= 0 && slot < t.m_oVolumes.m_iCount && t.m_oVolumes[slot] == volume)
        return slot;
    volume->m_iSweepSlot = t.m_oVolumes.m_iCount;
    t.m_oVolumes.append(volume);
    t.m_oReaches.resize(t.m_oVolumes.m_iCount);
    t.m_oReads.append(0);
    t.m_oEntries.append(0);
    t.m_oPlaces.append(-1);
    read(volume->m_iSweepSlot);
    return volume->m_iSweepSlot;
}

void Pass::open(MDL_CollisionVolume *volume, int slot)
{
    SweepTables &t = m_oTables;
    const int place = m_oActive.m_iCount;
    m_oActive.append(volume);
    t.m_oActiveSlots.append(slot);
    t.addPlace(t.m_oReaches[slot]);
    t.m_oEntries[slot]++;
    t.m_oPlaces[slot] = place;
}

void Pass::close(int slot)
{
    SweepTables &t = m_oTables;
    if (t.m_oEntries[slot] == 0)
        return;
    int place = t.m_oPlaces[slot];
    if (t.m_oEntries[slot] > 1) {
        place = t.m_iStart;
        while (t.m_oActiveSlots[place] != slot)
            place++;
    }
    m_oActive[place] = nullptr;
    t.m_oActiveSlots[place] = -1;
    t.clearPlace(place);
    if (--t.m_oEntries[slot] > 0) {
        for (int later = place; later < t.m_oActiveSlots.m_iCount; later++)
            if (t.m_oActiveSlots[later] == slot)
                t.m_oPlaces[slot] = later;
    }
    // Volumes mostly leave in the order they came, from the front of the
    // list, where the scans start after the gaps. Gaps further on are read
    // by every scan: the list is packed once they are an eighth of its
    // entries (at least BLOCK of them), or once the gaps in front outnumber
    // the entries.
    t.m_iGaps++;
    while (t.m_iStart < m_oActive.m_iCount && t.m_oActiveSlots[t.m_iStart] < 0) {
        t.m_iStart++;
        t.m_iGaps--;
    }
    const int entries = m_oActive.m_iCount - t.m_iStart - t.m_iGaps;
    if ((t.m_iGaps >= BLOCK && 8 * t.m_iGaps >= entries) || (t.m_iStart > 2 * BLOCK && t.m_iStart > entries))
        pack();
}

void Pass::pack()
{
    SweepTables &t = m_oTables;
    int count = 0;
    for (int place = t.m_iStart; place < m_oActive.m_iCount; place++) {
        const int slot = t.m_oActiveSlots[place];
        if (slot < 0)
            continue;
        m_oActive[count] = m_oActive[place];
        t.m_oActiveSlots[count] = slot;
        t.movePlace(place, count);
        t.m_oPlaces[slot] = count;
        count++;
    }
    m_oActive.resize(count);
    t.m_oActiveSlots.resize(count);
    t.sizePlaces(count);
    t.m_iStart = t.m_iGaps = 0;
}

void Pass::readActive(int slot)
{
    for (int place = m_oTables.m_iStart; place < m_oTables.m_oActiveSlots.m_iCount; place++)
        if (m_oTables.m_oActiveSlots[place] >= 0)
            read(m_oTables.m_oActiveSlots[place]);
    read(slot);
}

void Pass::readSubtree(MDL_Object *root)
{
    const SweepTables &t = m_oTables;
    MDL_Object::visitSubtree(root, [&](MDL_Object *o) {
        if (o->m_iType != OBJECT_COLLISION_VOLUME)
            return;
        const int slot = static_cast<MDL_CollisionVolume *>(o)->m_iSweepSlot;
        if (slot >= 0 && slot < t.m_oVolumes.m_iCount && t.m_oVolumes[slot] == o)
            read(slot);
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
    int accepted = m_oScene.m_oProxyHandle.postEvent(m_poEvents, MDL_Contact::EVENT_PRE_COLLISION, &P, &n, d,
                                                     static_cast<MDL_Object *>(a), static_cast<MDL_Object *>(A),
                                                     static_cast<MDL_Object *>(b), static_cast<MDL_Object *>(B));
    if (MDL_Object::s_uiPlacementEdits != edits)
        readActive(slot);
    if ((accepted & 0xFF) == 0)
        return;
    const MDL_Contact::Offsets offsets = MDL_Contact::offsets(a, b, P, n, d);
    edits = MDL_Object::s_uiPlacementEdits;
    MDL_Contact::applyImpulses(m_oScene, m_poEvents, a, A, b, B, P, n, offsets);
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
    assignSlots(count);
    m_oActive.resize(0);
    for (int i = 0; i < count; i++) {
        MDL_SweepEndpoint *endpoint = m_oScene.m_oSweepEndpoints[i];
        MDL_CollisionVolume *V = endpoint->m_poObject;
        if (V == nullptr || V->m_bDeleted)
            continue;
        // A volume outside the list may have been moved by script code.
        const int slot = slotOf(V);
        if (m_oTables.m_oEntries[slot] == 0)
            read(slot);
        // The list is read afresh at each turn: a response may run scripts.
        const SweepTables &t = m_oTables;
        for (int k = firstMeeting(t, t.m_iStart, m_oActive.m_iCount, t.m_oReaches[slot]); k < m_oActive.m_iCount;
             k = firstMeeting(t, k + 1, m_oActive.m_iCount, t.m_oReaches[slot]))
            examine(slot, t.m_oActiveSlots[k], V, m_oActive[k]);
        if (endpoint->m_bIsMin)
            open(V, slot);
        else
            close(slot);
    }
    m_oActive.resize(0);
}

} // namespace

void MDL_Collision::collide(MDL_Scene &scene, UTIL_EventHost *events)
{
    // Only what exists now takes part: a volume that a script adds while the
    // pass runs has neither radius nor endpoint values yet, and its
    // endpoints are not in the sorted order.
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

    // One set of tables serves every pass; a pass started while another
    // runs gets its own.
    static SweepTables s_oTables;
    if (s_oTables.m_bBusy) {
        SweepTables own;
        Pass(scene, events, own).run(count);
        return;
    }
    s_oTables.m_bBusy = true;
    Pass(scene, events, s_oTables).run(count);
    s_oTables.m_bBusy = false;
}
