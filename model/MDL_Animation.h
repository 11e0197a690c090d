#pragma once

#include "foundation/UTIL_ProxyHandle.h"

class MDL_AnimationData;
class MDL_Object;

// An animation player: moves the local frame of one target object along the
// keys of a track. It owns neither the target nor the track. A scene keeps
// its players and applies the playing ones every frame (the target's scene
// destroys a player whose target was deleted).
class MDL_Animation {
public:
    // No track, no target, time 0, duration 0, speed 1, playing.
    MDL_Animation();
    MDL_Animation(MDL_AnimationData *data, MDL_Object *target);
    ~MDL_Animation();
    MDL_Animation(const MDL_Animation &) = delete;
    MDL_Animation &operator=(const MDL_Animation &) = delete;

    // Sets the target's pose at the current time (when the track has a key
    // interval there: Euler angles, then each basis row scaled, then the
    // position, in one edit of the local frame, so the target is marked
    // changed and its subtree follows), then advances the time by
    // dt x speed; past the duration the player stops playing (there is no
    // looping). Nothing at all happens, the time included, when the target
    // is missing or flagged deleted. Returns the time.
    double apply(double dt);
    // Sets the time and applies the pose there (apply with dt 0), whether or
    // not the player is playing.
    void seek(double time);
    void play() { m_bPlaying = true; }
    void pause() { m_bPlaying = false; }
    bool isPlaying() const { return m_bPlaying; }

    MDL_Object *getTarget() const { return m_poTarget; }
    void setTarget(MDL_Object *target) { m_poTarget = target; }
    MDL_AnimationData *getData() const { return m_poData; }
    void setData(MDL_AnimationData *data) { m_poData = data; }
    double getTime() const { return m_fTime; }
    double getDuration() const { return m_fDuration; }
    void setDuration(double duration) { m_fDuration = duration; }
    double getSpeed() const { return m_fSpeed; }
    void setSpeed(double speed) { m_fSpeed = speed; }

    // --- fields, in order ---
    UTIL_ProxyHandle m_oProxyHandle;
    MDL_Object *m_poTarget;
    MDL_AnimationData *m_poData;
    double m_fTime;
    double m_fDuration;
    double m_fSpeed;
    bool m_bPlaying;
    // The key interval of the last pose, where the next search starts.
    int m_iKeyHint;
};
