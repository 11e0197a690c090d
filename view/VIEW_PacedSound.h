#pragma once

#include "view/VIEW_BufferedSound.h"

// An output without a device clock: it plays by the frame loop's time
// (elapse), so that sounds go on and end as they would on a device. Time
// passes only while it is started and only over what was handed to it: with
// nothing left to play, the time is not saved up. Made started.
class VIEW_PacedSound : public VIEW_BufferedSound {
public:
    VIEW_PacedSound();
    ~VIEW_PacedSound() override;

    void stop() override;
    void start() override;
    // A time step that is not a positive number is ignored.
    void elapse(double seconds) override;

protected:
    int64_t framesPlayed() override;

private:
    bool m_bStarted;
    double m_fFramesPlayed; // may hold part of a frame
};
