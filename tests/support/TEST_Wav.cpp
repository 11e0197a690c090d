#include "tests/support/TEST_Wav.h"

#include <cstring>

#include "tests/support/TEST_Document.h"

static uint32_t u32(const std::string &b, size_t at)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

static uint32_t u16(const std::string &b, size_t at)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8;
}

TEST_Wav TEST_readWav(const std::string &path)
{
    TEST_Wav wav;
    std::string b = TEST_readText(path);
    if (b.size() < 44) {
        wav.m_sError = "shorter than a header: " + std::to_string(b.size()) + " bytes";
        return wav;
    }
    if (b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0 || b.compare(12, 4, "fmt ") != 0 ||
        b.compare(36, 4, "data") != 0) {
        wav.m_sError = "not a RIFF WAVE file with fmt and data chunks";
        return wav;
    }
    if (u32(b, 4) != b.size() - 8 || u32(b, 40) != b.size() - 44) {
        wav.m_sError = "sizes in the header do not match the file";
        return wav;
    }
    if (u32(b, 16) != 16 || u16(b, 20) != 1) {
        wav.m_sError = "not plain PCM";
        return wav;
    }
    wav.m_iChannels = static_cast<int>(u16(b, 22));
    wav.m_iRate = static_cast<int>(u32(b, 24));
    wav.m_iBits = static_cast<int>(u16(b, 34));
    uint32_t frameBytes = static_cast<uint32_t>(wav.m_iChannels) * static_cast<uint32_t>(wav.m_iBits) / 8;
    if (wav.m_iBits != 16 || u16(b, 32) != frameBytes || u32(b, 28) != frameBytes * u32(b, 24) ||
        (b.size() - 44) % frameBytes != 0) {
        wav.m_sError = "inconsistent format fields";
        return wav;
    }
    wav.m_aiSamples.resize((b.size() - 44) / 2);
    for (size_t i = 0; i < wav.m_aiSamples.size(); i++)
        wav.m_aiSamples[i] = static_cast<int16_t>(u16(b, 44 + 2 * i));
    wav.m_bValid = true;
    return wav;
}
