#pragma once

#include "view/VIEW_PacedSound.h"

// The sound output that plays nothing: used where no audio device is
// wanted (headless runs) or none opens. It mixes and frees its buffers by the
// frame loop's time like any output, so that sounds go on and end as they
// would with a device; the mixed frames are dropped.
class VIEW_NullSound : public VIEW_PacedSound {
public:
    VIEW_NullSound() = default;

protected:
    void submit(const int16_t *samples, int frames) override;
};
