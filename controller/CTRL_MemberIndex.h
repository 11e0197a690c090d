#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

// One local file header of the document's ZIP archive, as the member walk
// reads it.
struct CTRL_MemberEntry {
    const char *m_pcName; // not NUL-terminated
    int m_iNameLength;
    int m_iMethod; // 0 stored, 8 deflate
    uint32_t m_uiCompressedSize;
    uint32_t m_uiUncompressedSize;
    uint64_t m_uiDataOffset;
};

// The member walk: local headers back to back from offset 0. Yields the
// header at offset and moves offset to the next one; false when the walk
// stops (end of buffer, no header signature, or a header whose name, extra
// field or data run past the end of the buffer).
bool CTRL_nextMember(const unsigned char *document, uint64_t size, uint64_t &offset, CTRL_MemberEntry &entry);

// The members of a document by name, first header of a name wins, built in
// one walk so that a lookup costs no walk of the archive.
class CTRL_MemberIndex {
public:
    CTRL_MemberIndex(const unsigned char *document, uint64_t size);
    const CTRL_MemberEntry *find(const char *name) const;

private:
    std::unordered_map<std::string, CTRL_MemberEntry> m_oEntries;
};
