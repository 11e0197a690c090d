#pragma once

#include <cstdint>

// Names to list positions, compared without regard to case (as strcasecmp
// compares them), for the models-set loader: every record that names another
// one is resolved through an index built once per load, so that linking costs
// time in proportion to the number of records. The first position added for
// a name wins, as a scan of the list in order would find it.
//
// The index keeps the name pointers it is given: they must stay valid and
// unchanged while it is used.
class MDL_NameIndex {
public:
    MDL_NameIndex();
    ~MDL_NameIndex();
    MDL_NameIndex(const MDL_NameIndex &) = delete;
    MDL_NameIndex &operator=(const MDL_NameIndex &) = delete;

    // Makes room for count names (the index also grows by itself).
    void reserve(int count);
    // Adds name at position; nothing for a null name or a name already held.
    void add(const char *name, int position);
    // The position of the first name added that equals name without regard
    // to case; -1 for none and for a null name.
    int find(const char *name) const;
    int getCount() const { return m_iCount; }

    // The hash of the name with its letters folded to lower case.
    static uint32_t hash(const char *name);

private:
    struct Slot {
        const char *m_sName; // null: free
        uint32_t m_uiHash;
        int32_t m_iPosition;
    };
    void grow(int capacity);
    Slot *m_poSlots;
    int m_iCapacity; // a power of two, or 0
    int m_iCount;
};
