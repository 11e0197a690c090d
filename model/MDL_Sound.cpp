#include "model/MDL_Sound.h"

#include <cmath>

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

float MDL_Sound::getValue(int i) const
{
    const MDL_Sample *sample = m_poSample;
    if (sample == nullptr || sample->m_bPaused)
        return 0.0f;
    if (m_iChannel < 0 || m_iChannel >= sample->m_oChannels.m_iCount)
        return 0.0f;
    const MDL_SampleChannel *channel = sample->m_oChannels[m_iChannel];
    int64_t length = channel != nullptr ? channel->m_iCount : 0;
    if (length <= 0)
        return 0.0f;
    if (sample->m_bStreamed)
        return i >= 0 && i < length ? channel->m_pData[i] : 0.0f;

    int64_t j = static_cast<int64_t>(i) + m_iPlayOffset;
    if (m_bLooping) {
        j %= length;
        if (j < 0)
            j += length;
        return channel->m_pData[j];
    }
    return j >= 0 && j < length ? channel->m_pData[j] : 0.0f;
}

bool MDL_Sound::advance(int frames, int outputRate)
{
    const MDL_Sample *sample = m_poSample;
    if (sample == nullptr || sample->m_bStreamed || frames < 1 || outputRate < 1)
        return false;
    int64_t rate = sample->m_iSampleRate > 0 ? sample->m_iSampleRate : 0;
    int64_t length = sample->getFrameCount();
    int64_t offset = m_iPlayOffset + static_cast<int64_t>(frames) * rate / outputRate;
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
