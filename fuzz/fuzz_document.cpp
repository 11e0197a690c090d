// Feeds arbitrary bytes to the document container, as plain (descrambled)
// archives: the member walk, extraction as bytes and as text, and the
// configuration check; then the same bytes through the whole open path.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "controller/CTRL_Generic.h"
#include "controller/CTRL_MemberIndex.h"
#include "controller/CTRL_Stream.h"
#include "foundation/UTIL_Log.h"

static void quiet(const char *, void *) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    UTIL_setLogSink(quiet, nullptr);
    if (size > (1u << 24))
        return 0;
    {
        CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
        controller.m_poDocument = new UTIL_DynArray<char, 128>(static_cast<int>(size));
        if (size > 0)
            memcpy(controller.m_poDocument->m_pData, data, size);

        std::vector<std::string> names;
        uint64_t offset = 0;
        CTRL_MemberEntry entry;
        const unsigned char *bytes = reinterpret_cast<const unsigned char *>(controller.m_poDocument->m_pData);
        while (CTRL_nextMember(bytes, size, offset, entry) && names.size() < 64)
            names.push_back(std::string(entry.m_pcName, static_cast<size_t>(entry.m_iNameLength)));
        for (const std::string &name : names) {
            for (int asText = 0; asText < 2; asText++) {
                unsigned char *member = nullptr;
                int length = 0;
                bool owned = controller.extractMember(name.c_str(), &member, &length, asText != 0);
                if (member != nullptr && length > 0) {
                    volatile unsigned char sum = 0;
                    for (int i = 0; i < length; i++)
                        sum = static_cast<unsigned char>(sum + member[i]);
                    if (asText)
                        (void)strlen(reinterpret_cast<char *>(member));
                }
                if (owned)
                    free(member);
            }
            CTRL_Stream *stream = CTRL_Stream::open(&controller, name.c_str(), "r");
            if (stream != nullptr) {
                char buffer[64];
                CTRL_Stream::read(buffer, 1, sizeof(buffer), stream);
                CTRL_Stream::seek(stream, -3, SEEK_END);
                CTRL_Stream::getc(stream);
                CTRL_Stream::close(stream);
            }
        }
        controller.checkConfig();
    }
    {
        CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
        controller.openDocumentBytes("fuzz.vk", data, size);
    }
    UTIL_setLogSink(nullptr, nullptr);
    return 0;
}
