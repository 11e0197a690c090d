// Neighbour finding of MDL_MeshData: triangles are paired by the positions of
// their edges' endpoints, not by vertex indices, so that meshes whose
// vertices are split along seams (for UVs or normals) still come out closed.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "foundation/UTIL_HashMap.h"
#include "model/MDL_MeshData.h"

namespace {

// A bijective mix of 64 bits (the finaliser of splitmix64). Keys are mixed
// before the map hashes them with its 16-bit-word checksum, which on its own
// crowds regular data into few buckets: every edge whose two end numbers
// have the same sum, or grid positions whose coordinates share most bits.
// Being bijective, the mix keeps distinct keys distinct.
uint64_t mix64(uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

// The map's size for n entries: the least power of two that is at least 32
// and not below n (the map rounds up itself).
int initialCapacity(int64_t n)
{
    return n > UTIL_kiHashMapMaxCapacity ? UTIL_kiHashMapMaxCapacity : static_cast<int>(n);
}

} // namespace

void MDL_MeshData::computeNeighbours()
{
    const int32_t n = m_iNumTriangles;
    for (int32_t t = 0; t < n; t++)
        for (int k = 0; k < 3; k++)
            m_poFaces[t].m_aiNeighbours[k] = -1;
    if (n == 0 || m_iNumVertices == 0)
        return;

    // 1. One identifier per distinct position. Positions are keyed by their
    // 24 bytes (each coordinate with -0 made +0, so that equal coordinates
    // always share a key, then mixed); a position with a NaN equals nothing
    // and gets an identifier of its own.
    int32_t *ids = static_cast<int32_t *>(malloc(sizeof(int32_t) * static_cast<size_t>(m_iNumVertices)));
    if (ids == nullptr)
        throw std::bad_alloc();
    {
        UTIL_HashMap<24, int32_t> positions(initialCapacity(n));
        int32_t next = 0;
        for (int32_t v = 0; v < m_iNumVertices; v++) {
            const MTH_Vector3D &p = m_poPositions[v];
            if (std::isnan(p.m_fX) || std::isnan(p.m_fY) || std::isnan(p.m_fZ)) {
                ids[v] = next++;
                continue;
            }
            const double c[3] = {p.m_fX + 0.0, p.m_fY + 0.0, p.m_fZ + 0.0};
            uint64_t key[3];
            memcpy(key, c, sizeof key);
            for (uint64_t &k : key)
                k = mix64(k);
            UTIL_HashMap<24, int32_t>::Node *node = positions.find(key);
            if (node == nullptr)
                node = positions.insert(key, next++);
            ids[v] = node->m_oValue;
        }
    }

    // 2. Edges by their two end identifiers, in either order. The map holds
    // the edges still waiting for their second triangle (3 x triangle +
    // edge); the second triangle that names an edge pairs with the first and
    // takes the edge out. Each edge is thus looked up once, whatever the
    // valence of its vertices, and the map only holds the open border of the
    // triangles seen so far, which stays small (and in cache) for meshes whose
    // triangles come in spatial order. A third triangle on an edge that is
    // already paired finds it gone and stays open there.
    UTIL_HashMap<8, int32_t> edges;
    for (int32_t t = 0; t < n; t++) {
        const uint32_t *v = m_puiTriangles + 3 * t;
        for (int k = 0; k < 3; k++) {
            uint32_t a = static_cast<uint32_t>(ids[v[k]]);
            uint32_t b = static_cast<uint32_t>(ids[v[(k + 1) % 3]]);
            if (a > b) {
                uint32_t s = a;
                a = b;
                b = s;
            }
            uint64_t key = mix64((static_cast<uint64_t>(a) << 32) | b);
            UTIL_HashMap<8, int32_t>::Node *node = edges.find(&key);
            if (node == nullptr) {
                edges.insert(&key, 3 * t + k);
                continue;
            }
            int32_t other = node->m_oValue / 3;
            int otherEdge = node->m_oValue % 3;
            // A triangle that names one edge twice is not its own neighbour.
            if (other == t)
                continue;
            m_poFaces[t].m_aiNeighbours[k] = other;
            m_poFaces[other].m_aiNeighbours[otherEdge] = t;
            edges.remove(&key);
        }
    }
    free(ids);
}
