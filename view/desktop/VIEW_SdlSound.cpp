#include "view/desktop/VIEW_SdlSound.h"

#include <SDL.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "foundation/UTIL_Log.h"

namespace {

// The audio libraries behind SDL write their own complaints to standard
// error while they look for a device (ALSA without a sound card prints a
// dozen lines); the player says in one line what came of it instead. While
// one of these lives, standard error goes nowhere.
class QuietStandardError {
public:
    QuietStandardError() : m_iSaved(-1)
    {
        fflush(stderr);
        int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (nowhere < 0)
            return;
        m_iSaved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
        if (m_iSaved >= 0 && dup2(nowhere, STDERR_FILENO) < 0) {
            close(m_iSaved);
            m_iSaved = -1;
        }
        close(nowhere);
    }
    ~QuietStandardError()
    {
        if (m_iSaved < 0)
            return;
        fflush(stderr);
        dup2(m_iSaved, STDERR_FILENO);
        close(m_iSaved);
    }
    QuietStandardError(const QuietStandardError &) = delete;
    QuietStandardError &operator=(const QuietStandardError &) = delete;

private:
    int m_iSaved;
};

} // namespace

VIEW_SdlSound::VIEW_SdlSound() : m_uiDevice(0), m_bSubsystem(false), m_acError()
{
    QuietStandardError quiet;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        snprintf(m_acError, sizeof(m_acError), "%s", SDL_GetError());
        return;
    }
    m_bSubsystem = true;
    SDL_AudioSpec wanted;
    SDL_zero(wanted);
    wanted.freq = SAMPLE_RATE;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = CHANNELS;
    wanted.samples = 1024; // the device's own period; the queue holds the three buffers
    wanted.callback = nullptr;
    SDL_AudioSpec obtained;
    m_uiDevice = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (m_uiDevice == 0) {
        snprintf(m_acError, sizeof(m_acError), "%s", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_bSubsystem = false;
        return;
    }
    SDL_PauseAudioDevice(m_uiDevice, 0);
}

VIEW_SdlSound::~VIEW_SdlSound()
{
    if (m_uiDevice != 0)
        SDL_CloseAudioDevice(m_uiDevice);
    if (m_bSubsystem)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void VIEW_SdlSound::stop()
{
    if (m_uiDevice != 0)
        SDL_PauseAudioDevice(m_uiDevice, 1);
}

void VIEW_SdlSound::start()
{
    if (m_uiDevice != 0)
        SDL_PauseAudioDevice(m_uiDevice, 0);
}

int64_t VIEW_SdlSound::framesPlayed()
{
    // Without a device nothing is ever played: the buffers stay in use
    // after their first fill.
    if (m_uiDevice == 0)
        return 0;
    int64_t queued = SDL_GetQueuedAudioSize(m_uiDevice) / (CHANNELS * 2);
    return getFramesQueued() - queued;
}

void VIEW_SdlSound::submit(const int16_t *samples, int frames)
{
    if (m_uiDevice == 0)
        return;
    if (SDL_QueueAudio(m_uiDevice, samples, static_cast<Uint32>(frames) * CHANNELS * 2) != 0)
        UTIL_warn("Queueing sound failed: %s", SDL_GetError());
}
