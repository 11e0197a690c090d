#pragma once

#include <cstdlib>
#include <cstring>
#include <new>

// A growable array of plain elements in one heap block. Growing raises the
// capacity to at least MIN and then doubles it until the count fits;
// shrinking halves the block at most once per call, only above MIN slots,
// only when the count is at most half the capacity and only when
// m_bReleaseMemory is set. Elements are moved with realloc and memmove and
// never constructed or destroyed.
template <typename T, int MIN = 128> class UTIL_DynArray {
public:
    T *m_pData;
    int m_iCount;
    int m_iCapacity;
    bool m_bReleaseMemory;

    UTIL_DynArray() : m_pData(nullptr), m_iCount(0), m_iCapacity(0), m_bReleaseMemory(true) {}

    // An array of exactly n elements (not rounded up to MIN).
    explicit UTIL_DynArray(int n) : m_pData(nullptr), m_iCount(0), m_iCapacity(0), m_bReleaseMemory(true)
    {
        if (n > 0) {
            m_pData = static_cast<T *>(std::malloc(sizeof(T) * static_cast<size_t>(n)));
            if (m_pData == nullptr)
                throw std::bad_alloc();
            m_iCount = n;
            m_iCapacity = n;
        }
    }

    ~UTIL_DynArray() { std::free(m_pData); }

    UTIL_DynArray(const UTIL_DynArray &) = delete;
    UTIL_DynArray &operator=(const UTIL_DynArray &) = delete;

    void resize(int n)
    {
        if (n <= 0) {
            if (m_bReleaseMemory) {
                std::free(m_pData);
                m_pData = nullptr;
                m_iCapacity = 0;
            }
            m_iCount = 0;
            return;
        }
        int c = m_iCapacity;
        if (n > c) {
            if (c < MIN)
                c = MIN;
            while (c < n)
                c *= 2;
            reallocate(c);
        } else if (c > MIN) {
            int half = c / 2;
            if (n <= half && m_bReleaseMemory)
                reallocate(half);
        }
        m_iCount = n;
    }

    void append(const T &value)
    {
        resize(m_iCount + 1);
        m_pData[m_iCount - 1] = value;
    }

    void remove(int index)
    {
        if (index < 0 || index >= m_iCount)
            return;
        int after = m_iCount - index - 1;
        if (after > 0)
            std::memmove(static_cast<void *>(m_pData + index), static_cast<const void *>(m_pData + index + 1),
                         sizeof(T) * static_cast<size_t>(after));
        resize(m_iCount - 1);
    }

    // Index of the first element equal to value, or -1.
    int find(const T &value) const
    {
        for (int i = 0; i < m_iCount; i++)
            if (m_pData[i] == value)
                return i;
        return -1;
    }

    // Removes the first element equal to value; nothing when there is none.
    bool removeValue(const T &value)
    {
        int i = find(value);
        if (i < 0)
            return false;
        remove(i);
        return true;
    }

    void compact()
    {
        if (m_iCount != 0)
            reallocate(m_iCount);
    }

    T &operator[](int i) { return m_pData[i]; }
    const T &operator[](int i) const { return m_pData[i]; }

private:
    void reallocate(int capacity)
    {
        // Elements are moved as raw bytes (see above), also those of
        // records such as texture layers whose members have copy constructors.
        void *block = std::realloc(static_cast<void *>(m_pData), sizeof(T) * static_cast<size_t>(capacity));
        if (block == nullptr)
            throw std::bad_alloc(); // out of memory, as new reports it
        m_pData = static_cast<T *>(block);
        m_iCapacity = capacity;
    }
};
