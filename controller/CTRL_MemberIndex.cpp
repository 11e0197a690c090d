#include "controller/CTRL_MemberIndex.h"

#include <cstring>

static const uint32_t LOCAL_HEADER_SIGNATURE = 0x04034b50u;
static const uint64_t LOCAL_HEADER_SIZE = 30;

static uint32_t read32(const unsigned char *p)
{
    return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

static uint16_t read16(const unsigned char *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

bool CTRL_nextMember(const unsigned char *document, uint64_t size, uint64_t &offset, CTRL_MemberEntry &entry)
{
    // All arithmetic in 64 bits: 32-bit sizes from a header never wrap here.
    if (document == nullptr || offset >= size || offset + LOCAL_HEADER_SIZE > size)
        return false;
    const unsigned char *header = document + offset;
    if (read32(header) != LOCAL_HEADER_SIGNATURE)
        return false;
    uint64_t nameLength = read16(header + 26);
    uint64_t extraLength = read16(header + 28);
    uint64_t dataStart = offset + LOCAL_HEADER_SIZE + nameLength;
    if (dataStart > size)
        return false;
    dataStart += extraLength;
    if (dataStart > size)
        return false;
    uint64_t next = dataStart + read32(header + 18);
    if (next > size)
        return false;
    entry.m_pcName = reinterpret_cast<const char *>(header + LOCAL_HEADER_SIZE);
    entry.m_iNameLength = static_cast<int>(nameLength);
    entry.m_iMethod = read16(header + 8);
    entry.m_uiCompressedSize = read32(header + 18);
    entry.m_uiUncompressedSize = read32(header + 22);
    entry.m_uiDataOffset = dataStart;
    offset = next;
    return true;
}

CTRL_MemberIndex::CTRL_MemberIndex(const unsigned char *document, uint64_t size)
{
    uint64_t offset = 0;
    CTRL_MemberEntry entry;
    while (CTRL_nextMember(document, size, offset, entry))
        m_oEntries.emplace(std::string(entry.m_pcName, static_cast<size_t>(entry.m_iNameLength)), entry);
}

const CTRL_MemberEntry *CTRL_MemberIndex::find(const char *name) const
{
    auto it = m_oEntries.find(name);
    return it == m_oEntries.end() ? nullptr : &it->second;
}
