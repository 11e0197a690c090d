#pragma once

#include <cfloat>
#include <cmath>

#include "foundation/MTH_Vector.h"

class TiXmlElement;

// The camera, viewport and collision-volume maths hand on only finite
// numbers: a frame may hold huge, infinite or NaN values (read from a file or
// set by a script), and a NaN or an infinity passed on would poison picking,
// the broad-phase sort and the renderer's matrices. These helpers fold such
// results back into the finite range.

// NaN gives 0; an infinity or an overflowing value gives the largest double
// of its sign; every finite value is returned as it is.
inline double MDL_fFinite(double value)
{
    if (std::isnan(value))
        return 0;
    if (value > DBL_MAX)
        return DBL_MAX;
    if (value < -DBL_MAX)
        return -DBL_MAX;
    return value;
}

inline void MDL_makeFinite(MTH_Vector3D &v)
{
    v.m_fX = MDL_fFinite(v.m_fX);
    v.m_fY = MDL_fFinite(v.m_fY);
    v.m_fZ = MDL_fFinite(v.m_fZ);
}

// x * (numerator / denominator), kept finite. A denominator of exactly 0
// gives the limit as it is approached from below (the side in front of a
// camera, whose view runs along its negative z axis): the largest double with
// the sign opposite to x * numerator, or 0 when that product is 0.
double MDL_fScaledQuotient(double x, double numerator, double denominator);

// Reads count decimal numbers from the first child element of that name into
// output, only when the element exists, holds at least count numbers and all
// of them are finite; otherwise output is left as it was and the result is
// false. Models-set values that would be NaN or infinite are thus ignored.
bool MDL_readFiniteNumbers(const TiXmlElement *element, const char *child, double *output, int count);
