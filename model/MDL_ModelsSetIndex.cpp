#include "model/MDL_ModelsSetIndex.h"

#include <cctype>
#include <cstdlib>
#include <strings.h>
#include <new>

MDL_NameIndex::MDL_NameIndex() : m_poSlots(nullptr), m_iCapacity(0), m_iCount(0) {}

MDL_NameIndex::~MDL_NameIndex()
{
    free(m_poSlots);
}

uint32_t MDL_NameIndex::hash(const char *name)
{
    // FNV-1a over the bytes as strcasecmp folds them.
    uint32_t h = 2166136261u;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p != 0; p++) {
        h ^= static_cast<uint32_t>(tolower(*p));
        h *= 16777619u;
    }
    return h;
}

void MDL_NameIndex::grow(int capacity)
{
    Slot *slots = static_cast<Slot *>(calloc(static_cast<size_t>(capacity), sizeof(Slot)));
    if (slots == nullptr)
        throw std::bad_alloc(); // out of memory, as new reports it; the index stays as it was
    Slot *old = m_poSlots;
    int oldCapacity = m_iCapacity;
    m_poSlots = slots;
    m_iCapacity = capacity;
    const uint32_t mask = static_cast<uint32_t>(capacity - 1);
    for (int i = 0; i < oldCapacity; i++) {
        if (old[i].m_sName == nullptr)
            continue;
        uint32_t s = old[i].m_uiHash & mask;
        while (m_poSlots[s].m_sName != nullptr)
            s = (s + 1) & mask;
        m_poSlots[s] = old[i];
    }
    free(old);
}

void MDL_NameIndex::reserve(int count)
{
    // At most half the slots are used, so that probes stay short.
    if (count <= 0 || count > (1 << 28))
        return;
    int capacity = m_iCapacity > 0 ? m_iCapacity : 16;
    while (capacity < 2 * count)
        capacity *= 2;
    if (capacity > m_iCapacity)
        grow(capacity);
}

void MDL_NameIndex::add(const char *name, int position)
{
    if (name == nullptr)
        return;
    if (m_iCapacity == 0 || 2 * (m_iCount + 1) > m_iCapacity)
        grow(m_iCapacity > 0 ? 2 * m_iCapacity : 16);
    const uint32_t h = hash(name);
    const uint32_t mask = static_cast<uint32_t>(m_iCapacity - 1);
    uint32_t s = h & mask;
    while (m_poSlots[s].m_sName != nullptr) {
        if (m_poSlots[s].m_uiHash == h && strcasecmp(m_poSlots[s].m_sName, name) == 0)
            return; // the first of equal names stays
        s = (s + 1) & mask;
    }
    m_poSlots[s].m_sName = name;
    m_poSlots[s].m_uiHash = h;
    m_poSlots[s].m_iPosition = position;
    m_iCount++;
}

int MDL_NameIndex::find(const char *name) const
{
    if (name == nullptr || m_iCount == 0)
        return -1;
    const uint32_t h = hash(name);
    const uint32_t mask = static_cast<uint32_t>(m_iCapacity - 1);
    for (uint32_t s = h & mask; m_poSlots[s].m_sName != nullptr; s = (s + 1) & mask)
        if (m_poSlots[s].m_uiHash == h && strcasecmp(m_poSlots[s].m_sName, name) == 0)
            return m_poSlots[s].m_iPosition;
    return -1;
}
