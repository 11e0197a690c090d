#pragma once

#include "model/MDL_Object.h"

// A microphone (type OBJECT_MIKE): the listener through which a viewport
// hears its scene. The mixer takes its global position, the first row of its
// global basis (its X axis: sounds on its positive X side are heard on the
// right), its gain and its on flag. A scene keeps microphones only in its
// list of all objects; models sets make none (scripts create them), and the
// models-set reader's base part is all its XML reader needs.
class MDL_Mike : public MDL_Object {
public:
    // Gain 1, on.
    MDL_Mike();
    // The object part and both fields.
    MDL_Mike(const MDL_Mike &other);
    MDL_Mike &operator=(const MDL_Mike &) = delete;
    ~MDL_Mike() override;

    // --- fields, in order ---
    double m_fGain; // listener volume factor
    bool m_bOn;     // the listener hears
};
