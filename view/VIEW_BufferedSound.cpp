#include "view/VIEW_BufferedSound.h"

#include <cstring>

VIEW_BufferedSound::VIEW_BufferedSound() : m_iFramesQueued(0)
{
    for (Buffer &buffer : m_aoBuffers) {
        memset(buffer.m_aiSamples, 0, sizeof(buffer.m_aiSamples));
        buffer.m_bInUse = false;
        buffer.m_iEnd = 0;
    }
}

VIEW_BufferedSound::~VIEW_BufferedSound() {}

int VIEW_BufferedSound::getSampleRate()
{
    return SAMPLE_RATE;
}

int VIEW_BufferedSound::getBuffersInUse() const
{
    int count = 0;
    for (const Buffer &buffer : m_aoBuffers)
        count += buffer.m_bInUse;
    return count;
}

int VIEW_BufferedSound::service(const UTIL_DynArray<MDL_Viewport *, 128> &viewports)
{
    int64_t played = framesPlayed();
    for (Buffer &buffer : m_aoBuffers)
        if (buffer.m_bInUse && buffer.m_iEnd <= played)
            buffer.m_bInUse = false;
    int filled = 0;
    for (Buffer &buffer : m_aoBuffers) {
        if (buffer.m_bInUse)
            continue;
        buffer.m_bInUse = true;
        mix(viewports, BUFFER_FRAMES, BUFFER_FRAMES * filled, buffer.m_aiSamples, CHANNELS, buffer.m_aiSamples + 1,
            CHANNELS);
        m_iFramesQueued += BUFFER_FRAMES;
        buffer.m_iEnd = m_iFramesQueued;
        submit(buffer.m_aiSamples, BUFFER_FRAMES);
        filled++;
    }
    return BUFFER_FRAMES * filled;
}
