#pragma once

#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_DynArray.h"

// Cuts a simple polygon, given as its outline (either winding; the last point
// joins the first), into triangles by ear clipping. Appends three point
// indices per triangle to out (out is not emptied first); every triangle runs
// counter-clockwise. A point equal to the one before it (the last one compared
// with the first) adds nothing to the outline and is passed over, so a
// polygon of n distinct corners gives n - 2 triangles.
//
// True when the polygon was cut completely. False for fewer than 3 distinct
// points, and when no ear can be found (a self-intersecting outline or one
// whose points all lie on a line); the triangles found before then stay in out.
bool MTH_triangulatePolygon(const UTIL_DynArray<MTH_Vector2D> &points, UTIL_DynArray<int> &out);

// Whether the corner at positions u, v, w of the remaining vertex list (count
// entries, indices into points) is an ear: it turns counter-clockwise and no
// other remaining vertex lies inside the triangle or on its edges.
bool MTH_isEar(const UTIL_DynArray<MTH_Vector2D> &points, int u, int v, int w, int count, const int *remaining);
