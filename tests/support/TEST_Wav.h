#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A WAV file as the sound capture writes it, read back for checks: the
// header must be the 44-byte RIFF/PCM one and its sizes must match the file.
struct TEST_Wav {
    bool m_bValid = false;
    std::string m_sError; // why the file is not a valid capture
    int m_iChannels = 0;
    int m_iRate = 0;
    int m_iBits = 0;
    std::vector<int16_t> m_aiSamples; // interleaved, left first

    int64_t frames() const { return m_iChannels > 0 ? static_cast<int64_t>(m_aiSamples.size()) / m_iChannels : 0; }
    int16_t left(int64_t frame) const { return m_aiSamples[static_cast<size_t>(2 * frame)]; }
    int16_t right(int64_t frame) const { return m_aiSamples[static_cast<size_t>(2 * frame + 1)]; }
};

TEST_Wav TEST_readWav(const std::string &path);
