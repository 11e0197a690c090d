#pragma once

// The sound output that mixes the scenes' sounds into the audio device.
// Only what the controller needs of it is declared here.
class VIEW_Sound {
public:
    virtual ~VIEW_Sound() {}
    // Stops playback at once; the output is deleted right after.
    virtual void stop() = 0;
};
