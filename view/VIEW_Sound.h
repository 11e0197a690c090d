#pragma once

#include <cstdint>

#include "foundation/UTIL_DynArray.h"

class MDL_Mike;
class MDL_Sound;
class MDL_Viewport;

// The sound output: turns the sound objects of the scenes into a 16-bit
// stereo stream. The base holds the software mixer that every back end
// shares; a back end delivers what service mixes to its device (or file).
// Once per frame the controller calls service with its viewports and then
// moves every sound's play position on by the frames it returns. Each
// viewport hears its scene through its microphone.
class VIEW_Sound {
public:
    // The mixer's chunk: it works on at most this many frames at a time.
    static constexpr int CHUNK_FRAMES = 4800;

    VIEW_Sound() = default;
    virtual ~VIEW_Sound();
    VIEW_Sound(const VIEW_Sound &) = delete;
    VIEW_Sound &operator=(const VIEW_Sound &) = delete;

    // Output frames per second.
    virtual int getSampleRate() = 0;
    // Mixes into every buffer the output has free and hands them on; the
    // number of frames mixed (0 when none was free). Consecutive calls
    // produce consecutive frames.
    virtual int service(const UTIL_DynArray<MDL_Viewport *, 128> &viewports) = 0;
    // Stops playback at once; start plays on.
    virtual void stop() = 0;
    virtual void start() = 0;
    // The frame loop's time moved on by seconds (the frame's time step).
    // Outputs without a device clock of their own play by it; the others
    // ignore it.
    virtual void elapse(double seconds);

    // Writes frameCount frames of the mixed scenes, beginning startFrame
    // frames after each sound's current play position, to left and right,
    // stepping each pointer by its stride (in samples) per frame. Nothing
    // for a frame count below 1. Allocates nothing.
    void mix(const UTIL_DynArray<MDL_Viewport *, 128> &viewports, int frameCount, int startFrame, int16_t *left,
             int leftStride, int16_t *right, int rightStride);

    // The gains with which mike hears sound, each in 0 .. 1 times the
    // sound's volume: attenuated by distance and panned along the
    // microphone's X axis (a sound on its positive X side is heard on the
    // right). Both 0 when a value involved is not a number.
    static void gains(MDL_Mike &mike, MDL_Sound &sound, float &left, float &right);
};
