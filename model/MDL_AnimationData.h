#pragma once

#include <cstdint>

#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_ProxyHandle.h"

class TiXmlElement;

// An animation track: a list of keys, each a time (seconds) with a local
// position, Euler angles (radians, in MTH_Matrix3x3::setEulerAngles order)
// and a scale per basis row. Tracks are read from the "animations" container
// of a models set, which owns them; players (MDL_Animation) sample them.
class MDL_AnimationData {
public:
    MDL_AnimationData();
    ~MDL_AnimationData();
    MDL_AnimationData(const MDL_AnimationData &) = delete;
    MDL_AnimationData &operator=(const MDL_AnimationData &) = delete;

    // Reads an "animation" record: the attribute "name", then the child
    // element "keys" (none: no keys) whose attribute "count" says how many
    // keys to keep, filled from its "key" children in order: attribute
    // "time" and child elements "location", "rotation" and "scale" of three
    // numbers each. The track keeps at most as many keys as there are "key"
    // elements, so a count larger than that adds no empty keys. A missing or
    // non-finite number reads as 0 (a key without "scale" scales its target
    // to nothing). False for a null element or when memory runs out (the
    // track then has no keys).
    bool loadFromXML(const TiXmlElement *element);

    const char *getName() const { return m_sName; }
    // Keeps a copy; null clears the name.
    void setName(const char *name);

    // Replaces the keys by count keys of time 0 with zero values. False
    // (and no keys) for a negative count or when memory runs out.
    bool setKeyCount(int count);
    int getKeyCount() const { return m_iKeyCount; }
    // Key i (0..count - 1; other indices are ignored or read as 0).
    void setKey(int i, double time, const MTH_Vector3D &location, const MTH_Vector3D &rotation,
                const MTH_Vector3D &scale);
    double getKeyTime(int i) const;
    // The sum of all key times, in key order (a new player's duration).
    double getKeyTimeSum() const;

    // The pose at a time, by Catmull-Rom interpolation inside the first key
    // interval [t_i, t_i+1] that holds the time (ends included), with the
    // keys i - 1, i, i + 1 and i + 2 clamped into the track. False, and
    // nothing written, when no interval holds it (before the first key,
    // after the last, fewer than two keys, a time that is not a number).
    // An interval of zero length gives key i; no result is NaN unless a key
    // value is. hint, when given, holds the interval that the caller found
    // last (-1 for none) and receives the one found now: a player moving
    // along the track then finds its interval without a search.
    bool samplePose(double time, MTH_Vector3D &location, MTH_Vector3D &rotation, MTH_Vector3D &scale,
                    int *hint = nullptr) const;

    // --- fields, in order ---
    UTIL_ProxyHandle m_oProxyHandle;
    char *m_sName;
    int32_t m_iKeyCount;
    double *m_pfTimes;
    MTH_Vector3D *m_poLocations;
    MTH_Vector3D *m_poRotations;
    MTH_Vector3D *m_poScales;

private:
    void freeKeys();
    // First interval holding the time, or -1; hint as for samplePose.
    int findInterval(double time, int hint) const;
    // Whether interval i holds the time and no earlier one does (times that
    // never decrease).
    bool isFirstInterval(int i, double time) const;

    // Whether the key times never decrease (then the interval is found by
    // bisection), worked out on first use after the keys changed.
    enum { ORDER_UNKNOWN, ORDER_ASCENDING, ORDER_UNSORTED };
    mutable int m_iOrder;
};
