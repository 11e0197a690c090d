#pragma once

#include <cstdint>

#include "view/VIEW_BufferedSound.h"

// The sound output on an SDL audio device, fed in push mode: each filled
// buffer is queued on the device (SDL_QueueAudio), and a buffer is free
// again once the device has taken the queue past its end, which the output
// learns from the size of what is still queued. Nothing of the player runs
// on SDL's audio thread and no variable is shared with it: SDL guards its
// queue itself.
class VIEW_SdlSound : public VIEW_BufferedSound {
public:
    // Opens the default output device (44100 Hz, 16-bit stereo; SDL converts
    // when the device wants another format) and starts it. isOpen tells
    // whether that worked; getError then says why not.
    VIEW_SdlSound();
    // Closes the device at once, dropping what is still queued.
    ~VIEW_SdlSound() override;

    bool isOpen() const { return m_uiDevice != 0; }
    const char *getError() const { return m_acError; }

    void stop() override;
    void start() override;

protected:
    int64_t framesPlayed() override;
    void submit(const int16_t *samples, int frames) override;

private:
    uint32_t m_uiDevice; // SDL_AudioDeviceID; 0 when none is open
    bool m_bSubsystem;   // the audio subsystem was started here
    char m_acError[256];
};
