#pragma once

#include <cstdint>

#include "foundation/UTIL_DynArray.h"

class MDL_CollisionVolume;
struct MDL_SweepEndpoint;

// The working tables of the collision pass, kept from one pass to the next
// so that a step allocates nothing. They hold what the sweep needs to find,
// among the volumes of the active list, those whose bounding spheres meet
// the volume at hand, without reading the volumes themselves: every volume's
// centre and radius, as the pass last read them from the volume.
//
// By slot, for each volume of the pass: the volume, its centre and radius,
// how often it was read and its place in the active list (-1 while it is not
// in the list: each volume opens at most once in a pass, having one minimum
// endpoint).
//
// By place in the active list: the slots, the centres and radii in four
// arrays, and the volumes' spans along y and z as 16-bit steps of a grid
// laid over the pass, which reject most pairs eight at a time before the
// sphere test. A volume that leaves the list leaves a gap (slot -1, numbers
// NaN, empty spans, no volume in the list) until the list is packed, so that
// no entry moves at each end of an interval; the gaps keep the order of the
// others. The arrays hold BLOCK more places than the list, all gaps, so that
// a block may start at any place of the list. A gap never meets anything.
//
// The pairs found apart: the shape test of a pair depends on nothing but the
// two volumes' frames and shapes and gives the same answer with the two
// exchanged, so a pair found apart, examined again (at its other endpoint)
// while neither volume has been read since, is apart again and needs no
// second test. A pair is noted with both volumes' read counts, in an
// open-addressing table whose entries of earlier passes count as empty.
class MDL_SweepTables {
public:
    // A volume's centre and bounding radius.
    struct Reach {
        double m_fX, m_fY, m_fZ, m_fRadius;
    };
    enum { BLOCK = 8 };

    MDL_SweepTables();

    // A new pass over the volumes of the first count endpoints, with the
    // active list (empty) that the sweep keeps: each volume gets a slot and
    // is read (its slot kept in its m_iSweepSlot), and the grid is laid over
    // the volumes.
    void start(MDL_SweepEndpoint **endpoints, int count, UTIL_DynArray<MDL_CollisionVolume *> *active);
    // Reads the volume's centre and radius again.
    void read(int slot);
    // Reads the volumes of the active list again.
    void readActive();
    // Whether the volume below this slot is in the active list.
    bool isActive(int slot) const { return m_oPlaces[slot] >= 0; }
    const Reach &reach(int slot) const { return m_oReaches[slot]; }
    MDL_CollisionVolume *volume(int slot) const { return m_oVolumes[slot]; }
    int count() const { return m_oVolumes.m_iCount; }
    // The slot at a place of the active list (-1 for a gap).
    int slotAt(int place) const { return m_oActiveSlots[place]; }

    // The volume joins the end of the active list; leaves it (nothing when
    // it is not in it).
    void open(int slot);
    void close(int slot);
    // The first place from first on (where the first volume of the list is,
    // for -1), before the end of the list, whose bounding sphere meets the
    // slot's: the distance between the centres is at most the sum of the
    // radii, compared squared; the end of the list when none does.
    int firstMeeting(int first, int slot) const;

    bool knownApart(int s1, int s2);
    void noteApart(int s1, int s2);

private:
    struct Apart {
        int m_iLow, m_iHigh;
        uint32_t m_uiLowReads, m_uiHighReads;
        uint64_t m_uiPass;
    };
    // Steps of the grid along one axis: (c - origin) * scale.
    struct Grid {
        double m_fOrigin, m_fScale;
    };
    struct Span {
        int16_t m_iLow, m_iHigh;
    };

    Span spanOf(const Grid &grid, double c, double r) const;
    void setPlace(int place, int slot);
    void clearPlace(int place);
    void movePlace(int from, int to);
    // The places' arrays sized for count places, the BLOCK after them gaps.
    void sizePlaces(int count);
    void pack();
    unsigned spansMeeting(int place, const Span &y, const Span &z) const;
    void layGrid();
    void forgetApart();
    Apart &findApart(int low, int high);
    void growApart();

    UTIL_DynArray<MDL_CollisionVolume *> *m_poActive;
    UTIL_DynArray<MDL_CollisionVolume *> m_oVolumes;
    UTIL_DynArray<Reach> m_oReaches;
    UTIL_DynArray<Span> m_oSpansY, m_oSpansZ;
    UTIL_DynArray<uint32_t> m_oReads;
    UTIL_DynArray<int> m_oPlaces;
    UTIL_DynArray<int> m_oActiveSlots;
    UTIL_DynArray<double> m_oX, m_oY, m_oZ, m_oRadii;
    UTIL_DynArray<int16_t> m_oLowY, m_oHighY, m_oLowZ, m_oHighZ;
    Grid m_oGridY, m_oGridZ;
    int m_iStart; // the places before it are all gaps
    int m_iGaps;  // from there on
    UTIL_DynArray<Apart> m_oApart;
    int m_iApartCount;
    uint64_t m_uiPass;
};
