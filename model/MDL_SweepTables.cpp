#include "model/MDL_SweepTables.h"

#include <cmath>
#include <cstring>
#include <initializer_list>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "model/MDL_CollisionVolume.h"

namespace {

MDL_SweepTables::Reach reachOf(MDL_CollisionVolume *volume)
{
    const MTH_Vector3D &c = volume->getGlobalPosition();
    return MDL_SweepTables::Reach{c.m_fX, c.m_fY, c.m_fZ, volume->m_fRadius};
}

// Centres and radii beyond this are left to the sphere test: their squares
// could overflow it.
const double LARGE = 1e150;

bool usable(double c, double r)
{
    return std::fabs(c) < LARGE && r >= 0 && r < LARGE;
}

} // namespace

MDL_SweepTables::MDL_SweepTables()
    : m_poActive(nullptr), m_oGridY{0, 1}, m_oGridZ{0, 1}, m_iStart(0), m_iGaps(0), m_iApartCount(0), m_uiPass(0)
{
    m_oVolumes.m_bReleaseMemory = m_oReaches.m_bReleaseMemory = m_oReads.m_bReleaseMemory = false;
    m_oPlaces.m_bReleaseMemory = m_oActiveSlots.m_bReleaseMemory = false;
    m_oX.m_bReleaseMemory = m_oY.m_bReleaseMemory = m_oZ.m_bReleaseMemory = m_oRadii.m_bReleaseMemory = false;
    m_oLowY.m_bReleaseMemory = m_oHighY.m_bReleaseMemory = false;
    m_oLowZ.m_bReleaseMemory = m_oHighZ.m_bReleaseMemory = false;
    m_oApart.m_bReleaseMemory = m_oSpansY.m_bReleaseMemory = m_oSpansZ.m_bReleaseMemory = false;
}

// --- slots ---

void MDL_SweepTables::start(MDL_SweepEndpoint **endpoints, int count, UTIL_DynArray<MDL_CollisionVolume *> *active)
{
    m_poActive = active;
    for (int i = 0; i < count; i++)
        if (endpoints[i]->m_poObject != nullptr)
            endpoints[i]->m_poObject->m_iSweepSlot = -1;
    m_oVolumes.resize(0);
    for (int i = 0; i < count; i++) {
        MDL_CollisionVolume *volume = endpoints[i]->m_poObject;
        if (volume == nullptr || volume->m_iSweepSlot >= 0)
            continue;
        volume->m_iSweepSlot = m_oVolumes.m_iCount;
        m_oVolumes.append(volume);
    }
    const int n = m_oVolumes.m_iCount;
    m_oReaches.resize(n);
    m_oSpansY.resize(n);
    m_oSpansZ.resize(n);
    m_oReads.resize(n);
    m_oPlaces.resize(n);
    m_oActiveSlots.resize(0);
    m_oX.resize(0);
    sizePlaces(0);
    m_iStart = m_iGaps = 0;
    forgetApart();
    for (int slot = 0; slot < n; slot++) {
        m_oReads[slot] = 0;
        m_oPlaces[slot] = -1;
        m_oReaches[slot] = reachOf(m_oVolumes[slot]);
    }
    // The grid is laid over the centres, then every volume gets its spans.
    layGrid();
    for (int slot = 0; slot < n; slot++) {
        const Reach &r = m_oReaches[slot];
        m_oSpansY[slot] = spanOf(m_oGridY, r.m_fY, r.m_fRadius);
        m_oSpansZ[slot] = spanOf(m_oGridZ, r.m_fZ, r.m_fRadius);
    }
}

void MDL_SweepTables::read(int slot)
{
    // The count goes up whatever is read: the frame may have turned with
    // the centre where it was.
    if (++m_oReads[slot] == 0)
        forgetApart(); // the count wrapped: a pair noted long ago could match again
    const Reach r = reachOf(m_oVolumes[slot]);
    if (std::memcmp(&r, &m_oReaches[slot], sizeof r) == 0)
        return;
    m_oReaches[slot] = r;
    m_oSpansY[slot] = spanOf(m_oGridY, r.m_fY, r.m_fRadius);
    m_oSpansZ[slot] = spanOf(m_oGridZ, r.m_fZ, r.m_fRadius);
    if (m_oPlaces[slot] >= 0)
        setPlace(m_oPlaces[slot], slot);
}

void MDL_SweepTables::readActive()
{
    for (int place = m_iStart; place < m_oActiveSlots.m_iCount; place++)
        if (m_oActiveSlots[place] >= 0)
            read(m_oActiveSlots[place]);
}

// --- the grid and the spans ---

// Over the centres that the pass starts with, the grid's steps reach from
// -30000 to 30000 along each axis with room for every radius; a volume that
// moves out of it meets everything on its side. The steps are never so fine
// that the rounding of a centre's step count comes near a whole step.
void MDL_SweepTables::layGrid()
{
    double low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY}, radius = 0;
    for (int slot = 0; slot < m_oReaches.m_iCount; slot++) {
        const Reach &r = m_oReaches[slot];
        if (!usable(r.m_fY, r.m_fRadius) || !usable(r.m_fZ, r.m_fRadius))
            continue;
        low[0] = std::fmin(low[0], r.m_fY);
        high[0] = std::fmax(high[0], r.m_fY);
        low[1] = std::fmin(low[1], r.m_fZ);
        high[1] = std::fmax(high[1], r.m_fZ);
        radius = std::fmax(radius, r.m_fRadius);
    }
    Grid *grids[2] = {&m_oGridY, &m_oGridZ};
    for (int axis = 0; axis < 2; axis++) {
        if (!(low[axis] <= high[axis])) {
            *grids[axis] = Grid{0, 1};
            continue;
        }
        const double origin = low[axis] / 2 + high[axis] / 2;
        const double half =
            std::fmax(std::fmax((high[axis] - low[axis]) / 2 + 2 * radius, std::fabs(origin) * 0x1p-20), 1e-30);
        *grids[axis] = Grid{origin, 30000 / half};
    }
}

// Grid steps that surely hold c - r to c + r with a margin: two volumes
// whose spans along y (or z) are apart fail the sphere test. The margin, a
// millionth of the numbers' size and 1e-30, covers the rounding of the
// sphere test (its underflow too); the steps added on either side cover the
// rounding of the step counts. Steps beyond the 16-bit range are clamped
// to it, which keeps the order of the bounds. Numbers too large to square
// safely, and anything not a number, get a span that meets everything, and
// are left to the sphere test.
MDL_SweepTables::Span MDL_SweepTables::spanOf(const Grid &grid, double c, double r) const
{
    if (!usable(c, r))
        return Span{INT16_MIN, INT16_MAX};
    const double margin = (std::fabs(c) + r) * 0x1p-20 + 1e-30;
    // Truncated towards 0, a count is within a step of its floor and of its
    // ceiling: two steps out on either side, clamped.
    auto step = [](double t, int out) {
        const int i = static_cast<int>(t < -40000 ? -40000 : (t > 40000 ? 40000 : t)) + out;
        return static_cast<int16_t>(i < INT16_MIN ? INT16_MIN : (i > INT16_MAX ? INT16_MAX : i));
    };
    return Span{step((c - r - margin - grid.m_fOrigin) * grid.m_fScale, -2),
                step((c + r + margin - grid.m_fOrigin) * grid.m_fScale, 2)};
}

// The places of the block from place whose spans along y and z meet the
// given ones, as bits.
unsigned MDL_SweepTables::spansMeeting(int place, const Span &y, const Span &z) const
{
    const int16_t *lowY = m_oLowY.m_pData + place, *highY = m_oHighY.m_pData + place;
    const int16_t *lowZ = m_oLowZ.m_pData + place, *highZ = m_oHighZ.m_pData + place;
#if defined(__SSE2__)
    static_assert(BLOCK == 8, "a block is one register of 16-bit steps");
    auto load = [](const int16_t *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); };
    const __m128i apartY = _mm_or_si128(_mm_cmpgt_epi16(load(lowY), _mm_set1_epi16(y.m_iHigh)),
                                        _mm_cmpgt_epi16(_mm_set1_epi16(y.m_iLow), load(highY)));
    const __m128i apartZ = _mm_or_si128(_mm_cmpgt_epi16(load(lowZ), _mm_set1_epi16(z.m_iHigh)),
                                        _mm_cmpgt_epi16(_mm_set1_epi16(z.m_iLow), load(highZ)));
    const __m128i apart = _mm_or_si128(apartY, apartZ);
    return ~static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(apart, apart))) & 0xFFu;
#else
    unsigned bits = 0;
    for (int i = 0; i < BLOCK; i++)
        if (lowY[i] <= y.m_iHigh && y.m_iLow <= highY[i] && lowZ[i] <= z.m_iHigh && z.m_iLow <= highZ[i])
            bits |= 1u << i;
    return bits;
#endif
}

int MDL_SweepTables::firstMeeting(int first, int slot) const
{
    const Reach &v = m_oReaches[slot];
    const double *X = m_oX.m_pData, *Y = m_oY.m_pData, *Z = m_oZ.m_pData, *R = m_oRadii.m_pData;
    const Span &y = m_oSpansY[slot], &z = m_oSpansZ[slot];
    const int count = m_poActive->m_iCount;
    // A block is compared at once; the places whose spans meet get the
    // sphere test in order.
    for (int k = first < m_iStart ? m_iStart : first; k < count; k += BLOCK) {
        for (unsigned bits = spansMeeting(k, y, z); bits != 0; bits &= bits - 1) {
            const int place = k + __builtin_ctz(bits);
            const double dx = X[place] - v.m_fX, dy = Y[place] - v.m_fY, dz = Z[place] - v.m_fZ;
            const double reach = v.m_fRadius + R[place];
            if (dx * dx + dy * dy + dz * dz <= reach * reach)
                return place < count ? place : count;
        }
    }
    return count;
}

// --- places ---

void MDL_SweepTables::setPlace(int place, int slot)
{
    const Reach &r = m_oReaches[slot];
    m_oX[place] = r.m_fX;
    m_oY[place] = r.m_fY;
    m_oZ[place] = r.m_fZ;
    m_oRadii[place] = r.m_fRadius;
    const Span &y = m_oSpansY[slot], &z = m_oSpansZ[slot];
    m_oLowY[place] = y.m_iLow;
    m_oHighY[place] = y.m_iHigh;
    m_oLowZ[place] = z.m_iLow;
    m_oHighZ[place] = z.m_iHigh;
}

void MDL_SweepTables::clearPlace(int place)
{
    m_oX[place] = m_oY[place] = m_oZ[place] = m_oRadii[place] = NAN;
    m_oLowY[place] = m_oLowZ[place] = INT16_MAX;
    m_oHighY[place] = m_oHighZ[place] = INT16_MIN;
}

void MDL_SweepTables::movePlace(int from, int to)
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

void MDL_SweepTables::sizePlaces(int count)
{
    const int old = m_oX.m_iCount, size = count + BLOCK;
    for (int place = count; place < old - BLOCK; place++)
        clearPlace(place);
    for (UTIL_DynArray<double> *a : {&m_oX, &m_oY, &m_oZ, &m_oRadii})
        a->resize(size);
    for (UTIL_DynArray<int16_t> *a : {&m_oLowY, &m_oHighY, &m_oLowZ, &m_oHighZ})
        a->resize(size);
    for (int place = old > count ? old : count; place < size; place++)
        clearPlace(place);
}

void MDL_SweepTables::open(int slot)
{
    const int place = m_poActive->m_iCount;
    m_poActive->append(m_oVolumes[slot]);
    m_oActiveSlots.append(slot);
    // The numbers' arrays keep their room from one pass to the next.
    if (m_oX.m_iCount < m_oX.m_iCapacity && m_oLowY.m_iCount < m_oLowY.m_iCapacity) {
        for (UTIL_DynArray<double> *a : {&m_oX, &m_oY, &m_oZ, &m_oRadii})
            a->m_iCount++;
        for (UTIL_DynArray<int16_t> *a : {&m_oLowY, &m_oHighY, &m_oLowZ, &m_oHighZ})
            a->m_iCount++;
    } else {
        sizePlaces(place + 1);
    }
    clearPlace(place + BLOCK);
    setPlace(place, slot);
    m_oPlaces[slot] = place;
}

void MDL_SweepTables::close(int slot)
{
    const int place = m_oPlaces[slot];
    if (place < 0)
        return;
    (*m_poActive)[place] = nullptr;
    m_oActiveSlots[place] = -1;
    clearPlace(place);
    m_oPlaces[slot] = -1;
    // Volumes mostly leave in the order they came, from the front of the
    // list, where the scans start after the gaps. Gaps further on are read
    // by every scan, and packing moves every entry: the list is packed once
    // the gaps are four times the square root of the entries (at least
    // BLOCK of them), which keeps the two costs alike, or once the gaps in
    // front outnumber the entries.
    m_iGaps++;
    while (m_iStart < m_poActive->m_iCount && m_oActiveSlots[m_iStart] < 0) {
        m_iStart++;
        m_iGaps--;
    }
    const int entries = m_poActive->m_iCount - m_iStart - m_iGaps;
    if ((m_iGaps >= BLOCK && m_iGaps * m_iGaps >= 16 * entries) || (m_iStart > 2 * BLOCK && m_iStart > entries))
        pack();
}

void MDL_SweepTables::pack()
{
    UTIL_DynArray<MDL_CollisionVolume *> &active = *m_poActive;
    int count = 0;
    for (int place = m_iStart; place < active.m_iCount; place++) {
        const int slot = m_oActiveSlots[place];
        if (slot < 0)
            continue;
        active[count] = active[place];
        m_oActiveSlots[count] = slot;
        movePlace(place, count);
        m_oPlaces[slot] = count;
        count++;
    }
    active.resize(count);
    m_oActiveSlots.resize(count);
    sizePlaces(count);
    m_iStart = m_iGaps = 0;
}

// --- pairs found apart ---

void MDL_SweepTables::forgetApart()
{
    m_uiPass++;
    m_iApartCount = 0;
}

MDL_SweepTables::Apart &MDL_SweepTables::findApart(int low, int high)
{
    const uint32_t mask = static_cast<uint32_t>(m_oApart.m_iCount) - 1;
    const uint32_t hash = static_cast<uint32_t>(low) * 0x9E3779B1u ^ static_cast<uint32_t>(high) * 0x85EBCA77u;
    for (uint32_t i = hash & mask;; i = (i + 1) & mask) {
        Apart &a = m_oApart[static_cast<int>(i)];
        if (a.m_uiPass != m_uiPass || (a.m_iLow == low && a.m_iHigh == high))
            return a;
    }
}

bool MDL_SweepTables::knownApart(int s1, int s2)
{
    if (m_iApartCount == 0)
        return false;
    const int low = s1 < s2 ? s1 : s2, high = s1 < s2 ? s2 : s1;
    const Apart &a = findApart(low, high);
    return a.m_uiPass == m_uiPass && a.m_uiLowReads == m_oReads[low] && a.m_uiHighReads == m_oReads[high];
}

void MDL_SweepTables::noteApart(int s1, int s2)
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
void MDL_SweepTables::growApart()
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
