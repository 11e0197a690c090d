#include "model/MDL_Sound.h"

#include <cmath>
#include <cstring>

#include "model/MDL_Sample.h"

MDL_Sound *MDL_Sound::s_poFirstSound = nullptr;

MDL_Sound::MDL_Sound()
    : m_poSample(nullptr), m_fVolume(1.0), m_iPlayOffset(0), m_bLooping(false), m_bAutoDelete(true), m_iChannel(0),
      m_poPreviousSound(nullptr), m_poNextSound(nullptr)
{
    m_iType = OBJECT_SOUND;
    enlist();
}

MDL_Sound::MDL_Sound(const MDL_Sound &other)
    : MDL_Object(other), m_poSample(other.m_poSample), m_fVolume(other.m_fVolume), m_iPlayOffset(other.m_iPlayOffset),
      m_bLooping(other.m_bLooping), m_bAutoDelete(other.m_bAutoDelete), m_iChannel(0), m_poPreviousSound(nullptr),
      m_poNextSound(nullptr)
{
    enlist();
}

MDL_Sound::~MDL_Sound()
{
    delist();
}

void MDL_Sound::enlist()
{
    m_poPreviousSound = nullptr;
    m_poNextSound = s_poFirstSound;
    if (s_poFirstSound != nullptr)
        s_poFirstSound->m_poPreviousSound = this;
    s_poFirstSound = this;
}

void MDL_Sound::delist()
{
    if (m_poPreviousSound != nullptr)
        m_poPreviousSound->m_poNextSound = m_poNextSound;
    else if (s_poFirstSound == this)
        s_poFirstSound = m_poNextSound;
    if (m_poNextSound != nullptr)
        m_poNextSound->m_poPreviousSound = m_poPreviousSound;
    m_poPreviousSound = nullptr;
    m_poNextSound = nullptr;
}

void MDL_Sound::forgetSample(const MDL_Sample *sample)
{
    if (sample == nullptr)
        return;
    for (MDL_Sound *sound = s_poFirstSound; sound != nullptr; sound = sound->m_poNextSound)
        if (sound->m_poSample == sample)
            sound->m_poSample = nullptr;
}

int MDL_Sound::countUsers(const MDL_Sample *sample)
{
    int count = 0;
    for (const MDL_Sound *sound = s_poFirstSound; sound != nullptr; sound = sound->m_poNextSound)
        if (sample != nullptr && sound->m_poSample == sample)
            count++;
    return count;
}

MDL_Sound::Source MDL_Sound::source() const
{
    Source silent = {nullptr, 0, 0, false};
    const MDL_Sample *sample = m_poSample;
    if (sample == nullptr || sample->m_bPaused)
        return silent;
    if (m_iChannel < 0 || m_iChannel >= sample->m_oChannels.m_iCount)
        return silent;
    const MDL_SampleChannel *channel = sample->m_oChannels[m_iChannel];
    if (channel == nullptr || channel->m_iCount <= 0 || channel->m_pData == nullptr)
        return silent;
    // A movie's audio queue is read from its front and never wraps.
    if (sample->m_bStreamed)
        return Source{channel->m_pData, channel->m_iCount, 0, false};
    return Source{channel->m_pData, channel->m_iCount, m_iPlayOffset, m_bLooping};
}

float MDL_Sound::valueAt(const Source &source, int64_t i)
{
    if (source.m_iLength <= 0)
        return 0.0f;
    int64_t j = source.m_iStart + i;
    if (source.m_bWrap) {
        j %= source.m_iLength;
        if (j < 0)
            j += source.m_iLength;
        return source.m_pfData[j];
    }
    return j >= 0 && j < source.m_iLength ? source.m_pfData[j] : 0.0f;
}

float MDL_Sound::getValue(int i) const
{
    return valueAt(source(), i);
}

void MDL_Sound::getValues(int64_t first, int count, float *out) const
{
    if (count < 1)
        return;
    Source s = source();
    if (s.m_iLength <= 0) {
        memset(out, 0, sizeof(float) * static_cast<size_t>(count));
        return;
    }
    int64_t j = s.m_iStart + first;
    if (s.m_bWrap) {
        // Whole runs up to the end of the channel, then from its start.
        j %= s.m_iLength;
        if (j < 0)
            j += s.m_iLength;
        while (count > 0) {
            int64_t run = s.m_iLength - j < count ? s.m_iLength - j : count;
            memcpy(out, s.m_pfData + j, sizeof(float) * static_cast<size_t>(run));
            out += run;
            count -= static_cast<int>(run);
            j = 0;
        }
        return;
    }
    // Zeros before the channel, its values, zeros after it.
    int64_t from = j > 0 ? j : 0;
    int64_t to = j + count < s.m_iLength ? j + count : s.m_iLength;
    if (to <= from) {
        memset(out, 0, sizeof(float) * static_cast<size_t>(count));
        return;
    }
    size_t before = static_cast<size_t>(from - j);
    size_t inside = static_cast<size_t>(to - from);
    memset(out, 0, sizeof(float) * before);
    memcpy(out + before, s.m_pfData + from, sizeof(float) * inside);
    memset(out + before + inside, 0, sizeof(float) * (static_cast<size_t>(count) - before - inside));
}

void MDL_Sound::gatherValues(const int64_t *frames, int count, float *out) const
{
    Source s = source();
    for (int k = 0; k < count; k++)
        out[k] = valueAt(s, frames[k]);
}

bool MDL_Sound::advance(int frames, int outputRate)
{
    const MDL_Sample *sample = m_poSample;
    if (sample == nullptr || sample->m_bStreamed || frames < 1 || outputRate < 1)
        return false;
    int64_t length = sample->getFrameCount();
    // A sample without a rate cannot be timed (the mixer keeps it silent):
    // it is over at once rather than never.
    int64_t offset = length;
    if (sample->m_iSampleRate > 0)
        offset = m_iPlayOffset + static_cast<int64_t>(frames) * sample->m_iSampleRate / outputRate;
    if (offset < length) {
        m_iPlayOffset = static_cast<int32_t>(offset);
        return false;
    }
    if (m_bLooping) {
        m_iPlayOffset = length > 0 ? static_cast<int32_t>(offset % length) : 0;
        return false;
    }
    // Ended: the offset stays at the end (silent) so that it cannot grow
    // without bound while the sound is kept.
    m_iPlayOffset = static_cast<int32_t>(length);
    return m_bAutoDelete;
}

void MDL_Sound::seek(double seconds)
{
    if (m_poSample == nullptr)
        return;
    double frames = seconds * m_poSample->m_iSampleRate;
    if (!(frames > 0.0))
        m_iPlayOffset = 0;
    else if (frames >= 2147483647.0)
        m_iPlayOffset = INT32_MAX;
    else
        m_iPlayOffset = static_cast<int32_t>(frames);
}

double MDL_Sound::getTime() const
{
    if (m_poSample == nullptr || m_poSample->m_iSampleRate <= 0)
        return 0.0;
    return static_cast<double>(m_iPlayOffset) / m_poSample->m_iSampleRate;
}
