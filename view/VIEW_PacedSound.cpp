#include "view/VIEW_PacedSound.h"

VIEW_PacedSound::VIEW_PacedSound() : m_bStarted(true), m_fFramesPlayed(0) {}

VIEW_PacedSound::~VIEW_PacedSound() {}

void VIEW_PacedSound::stop()
{
    m_bStarted = false;
}

void VIEW_PacedSound::start()
{
    m_bStarted = true;
}

void VIEW_PacedSound::elapse(double seconds)
{
    if (!m_bStarted || !(seconds > 0))
        return;
    double queued = static_cast<double>(getFramesQueued());
    m_fFramesPlayed += seconds * SAMPLE_RATE;
    if (!(m_fFramesPlayed < queued)) // also for an infinite step
        m_fFramesPlayed = queued;
}

int64_t VIEW_PacedSound::framesPlayed()
{
    return static_cast<int64_t>(m_fFramesPlayed);
}
