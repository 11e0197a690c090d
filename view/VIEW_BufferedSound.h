#pragma once

#include <cstdint>

#include "view/VIEW_Sound.h"

// The service every back end offers: 44100 frames a second of 16-bit stereo
// (left sample first in each frame), in three buffers of 4096 frames. A
// buffer is in use from the moment it is filled until the back end has
// played past its end; service refills every free buffer, in their fixed
// order, with consecutive frames, and hands each one to the back end.
//
// A back end says how far it has played and takes the filled buffers:
// framesPlayed counts the frames played since the output was made, over all
// that was handed to it; submit takes one buffer's frames (the back end
// copies them: the buffer is written again once it is free).
class VIEW_BufferedSound : public VIEW_Sound {
public:
    static constexpr int SAMPLE_RATE = 44100;
    static constexpr int CHANNELS = 2;
    static constexpr int BUFFER_COUNT = 3;
    static constexpr int BUFFER_FRAMES = 4096;

    VIEW_BufferedSound();
    ~VIEW_BufferedSound() override;

    int getSampleRate() override;
    // Frees the buffers played past their end, then fills every free one.
    int service(const UTIL_DynArray<MDL_Viewport *, 128> &viewports) override;

    // Frames handed to the back end so far.
    int64_t getFramesQueued() const { return m_iFramesQueued; }
    // Buffers filled and not yet played.
    int getBuffersInUse() const;

protected:
    virtual int64_t framesPlayed() = 0;
    virtual void submit(const int16_t *samples, int frames) = 0;

private:
    struct Buffer {
        int16_t m_aiSamples[BUFFER_FRAMES * CHANNELS];
        bool m_bInUse;
        int64_t m_iEnd; // frames queued when this buffer's last frame was
    };
    Buffer m_aoBuffers[BUFFER_COUNT];
    int64_t m_iFramesQueued;
};
