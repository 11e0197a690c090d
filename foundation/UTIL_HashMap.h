#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "foundation/UTIL_Id.h"

// The bucket array's largest size: doubling stops here, so the index
// arithmetic stays within 32 bits.
const int UTIL_kiHashMapMaxCapacity = 1 << 30;
const int UTIL_kiHashMapDefaultCapacity = 32;

// The multiplier that spreads checksums over capacity buckets: the first
// number of a fixed list of primes that is not below the capacity (the
// list's last one when all are below).
int UTIL_hashMultiplier(int capacity);

// A chained hash map from fixed-size byte strings (KEYSIZE bytes) to values
// of type V, hashed with UTIL_fletcher32. Chains are singly linked; new nodes
// go to the tail of their chain, so nodes with equal keys are found in the
// order they were inserted. Keys are compared byte for byte: keys that differ
// in any byte are distinct, also when their checksums are equal.
//
// The bucket array doubles before an insertion when more than three quarters
// of its buckets are in use (however many entries they hold).
template <int KEYSIZE, typename V> class UTIL_HashMap {
public:
    struct Node {
        unsigned char m_aucKey[KEYSIZE];
        V m_oValue;
        Node *m_poNext;
    };

    // initialCapacity: 32, or a larger number (rounded up to a power of two)
    // for maps that are known to grow big.
    explicit UTIL_HashMap(int initialCapacity = UTIL_kiHashMapDefaultCapacity)
        : m_ppoBuckets(nullptr), m_iEntries(0), m_iUsedBuckets(0), m_iCapacity(0),
          m_iInitialCapacity(UTIL_kiHashMapDefaultCapacity), m_iMultiplier(1)
    {
        while (m_iInitialCapacity < initialCapacity && m_iInitialCapacity < UTIL_kiHashMapMaxCapacity)
            m_iInitialCapacity *= 2;
    }

    ~UTIL_HashMap()
    {
        clearAll();
        std::free(m_ppoBuckets);
    }

    UTIL_HashMap(const UTIL_HashMap &) = delete;
    UTIL_HashMap &operator=(const UTIL_HashMap &) = delete;

    // The bucket of a key; meaningful only once the bucket array exists.
    uint32_t indexOf(const void *key) const
    {
        uint32_t sum = UTIL_fletcher32(key, KEYSIZE);
        return (sum * static_cast<uint32_t>(m_iMultiplier)) & static_cast<uint32_t>(m_iCapacity - 1);
    }

    // The first node of the key's chain whose key bytes are equal, or null.
    Node *find(const void *key) const
    {
        if (m_ppoBuckets == nullptr)
            return nullptr;
        return firstMatch(m_ppoBuckets[indexOf(key)], key);
    }

    // The next node after node with the same key, or null.
    Node *findNext(const Node *node) const
    {
        if (node == nullptr)
            return nullptr;
        return firstMatch(node->m_poNext, node->m_aucKey);
    }

    // Allocates the bucket array, or doubles it when more than three quarters
    // of the buckets are in use. Insert calls it first.
    void prepareForInsert()
    {
        if (m_ppoBuckets == nullptr) {
            m_ppoBuckets = allocateBuckets(m_iInitialCapacity);
            m_iCapacity = m_iInitialCapacity;
            m_iMultiplier = UTIL_hashMultiplier(m_iCapacity);
            return;
        }
        if (3 * static_cast<int64_t>(m_iCapacity) >= 4 * static_cast<int64_t>(m_iUsedBuckets) ||
            m_iCapacity >= UTIL_kiHashMapMaxCapacity)
            return;
        Node **old = m_ppoBuckets;
        int oldCapacity = m_iCapacity;
        m_iCapacity = oldCapacity * 2;
        m_ppoBuckets = allocateBuckets(m_iCapacity);
        m_iMultiplier = UTIL_hashMultiplier(m_iCapacity);
        m_iEntries = 0;
        m_iUsedBuckets = 0;
        for (int i = 0; i < oldCapacity; i++) {
            Node *node = old[i];
            while (node != nullptr) {
                Node *next = node->m_poNext;
                link(node);
                node = next;
            }
        }
        std::free(old);
    }

    // Adds a node for key at the tail of its chain, also when the key is
    // already present; returns the node.
    Node *insert(const void *key, const V &value)
    {
        prepareForInsert();
        Node *node = new Node;
        std::memcpy(node->m_aucKey, key, KEYSIZE);
        node->m_oValue = value;
        link(node);
        return node;
    }

    // Unlinks and frees the first node of the key; false when there is none.
    bool remove(const void *key)
    {
        if (m_ppoBuckets == nullptr)
            return false;
        Node **slot = &m_ppoBuckets[indexOf(key)];
        Node **at = slot;
        while (*at != nullptr && std::memcmp((*at)->m_aucKey, key, KEYSIZE) != 0)
            at = &(*at)->m_poNext;
        Node *node = *at;
        if (node == nullptr)
            return false;
        *at = node->m_poNext;
        delete node;
        m_iEntries--;
        if (*slot == nullptr)
            m_iUsedBuckets--;
        return true;
    }

    // Frees every node, applying action (callable with V &) to its value
    // first. The bucket array stays.
    template <typename F> void clearAll(F action)
    {
        if (m_ppoBuckets == nullptr)
            return;
        for (int i = 0; i < m_iCapacity; i++) {
            Node *node = m_ppoBuckets[i];
            m_ppoBuckets[i] = nullptr;
            while (node != nullptr) {
                Node *next = node->m_poNext;
                action(node->m_oValue);
                delete node;
                node = next;
            }
        }
        m_iEntries = 0;
        m_iUsedBuckets = 0;
    }

    void clearAll()
    {
        clearAll([](V &) {});
    }

    // clearAll(action), then the bucket array goes too: the map is as new.
    template <typename F> void release(F action)
    {
        clearAll(action);
        std::free(m_ppoBuckets);
        m_ppoBuckets = nullptr;
        m_iCapacity = 0;
        m_iMultiplier = 1;
    }

    // Calls action (callable with Node *) for every node, bucket by bucket,
    // each chain from its head. The action must not change the map.
    template <typename F> void forEach(F action) const
    {
        if (m_ppoBuckets == nullptr)
            return;
        for (int i = 0; i < m_iCapacity; i++)
            for (Node *node = m_ppoBuckets[i]; node != nullptr; node = node->m_poNext)
                action(node);
    }

    int getEntries() const { return m_iEntries; }
    int getUsedBuckets() const { return m_iUsedBuckets; }
    int getCapacity() const { return m_iCapacity; }
    int getMultiplier() const { return m_iMultiplier; }

    // --- fields ---
    Node **m_ppoBuckets;    // chain heads; null until the first insertion
    int m_iEntries;         // number of nodes
    int m_iUsedBuckets;     // number of non-empty chains
    int m_iCapacity;        // number of buckets, a power of two; 0 before the first insertion
    int m_iInitialCapacity; // size of the first bucket array
    int m_iMultiplier;      // 1 until the bucket array is allocated

private:
    static Node **allocateBuckets(int capacity)
    {
        Node **buckets = static_cast<Node **>(std::calloc(static_cast<uint32_t>(capacity), sizeof(Node *)));
        if (buckets == nullptr)
            throw std::bad_alloc();
        return buckets;
    }

    static Node *firstMatch(Node *node, const void *key)
    {
        while (node != nullptr && std::memcmp(node->m_aucKey, key, KEYSIZE) != 0)
            node = node->m_poNext;
        return node;
    }

    // Appends node at the tail of its chain and counts it.
    void link(Node *node)
    {
        node->m_poNext = nullptr;
        Node **slot = &m_ppoBuckets[indexOf(node->m_aucKey)];
        if (*slot == nullptr) {
            *slot = node;
            m_iUsedBuckets++;
        } else {
            Node *tail = *slot;
            while (tail->m_poNext != nullptr)
                tail = tail->m_poNext;
            tail->m_poNext = node;
        }
        m_iEntries++;
    }
};
