#pragma once

#include <cstdint>

#include "model/MDL_Object.h"

class MDL_Sample;

// A scene object (type OBJECT_SOUND) that plays a sample from its place in the
// scene: the mixer reads it through getValue, attenuated and panned for each
// microphone, and the controller moves its play position on with advance
// after every mix, looping it or removing it at the end.
//
// How a sound refers to its sample: by a plain pointer that it does not own.
// Every sound is listed in one process-wide register (all sounds live on the
// frame thread), so whoever destroys a sample first calls forgetSample, which
// clears the pointer in every sound that still plays it; such a sound then
// falls silent and never ends by itself, like a sound without a sample. The
// sample's destructor and a movie stream's destructor (for its audio queue)
// make that call themselves, so no sound is ever left pointing at a dead
// sample.
class MDL_Sound : public MDL_Object {
public:
    // No sample, volume 1, offset 0, not looping, auto-delete on, channel 0.
    MDL_Sound();
    // The object part, the sample reference, the volume, the play offset and
    // both flags; the channel is 0.
    MDL_Sound(const MDL_Sound &other);
    MDL_Sound &operator=(const MDL_Sound &) = delete;
    // The sample is not touched.
    ~MDL_Sound() override;

    // The value that the mixer uses for the frame i frames after the play
    // position. 0 without a sample, for a paused sample, a sample without the
    // channel or an empty channel. A movie's audio queue (m_bStreamed) is read
    // at index i itself, 0 outside it. Otherwise the frame is i + the play
    // offset: a looping sound wraps it into the channel (modulo its length,
    // whatever the distance), any other gives 0 outside the channel.
    float getValue(int i) const;
    // The values getValue gives for the frames first, first + 1, ...,
    // first + count - 1 (frame numbers in 64 bits), into out; for the mixer,
    // which reads whole runs of frames.
    void getValues(int64_t first, int count, float *out) const;
    // The values getValue gives for the frames frames[0 .. count - 1].
    void gatherValues(const int64_t *frames, int count, float *out) const;

    // Moves the play position on after the mixer produced frames frames at
    // outputRate frames per second: offset += frames x sample rate /
    // outputRate (64-bit integer arithmetic). At or past the length of the
    // sample's first channel a looping sound wraps (modulo the length, so a
    // sample shorter than the frames mixed stays inside it), and any other
    // sound stays at the end. True when the sound has ended without looping
    // and has auto-delete on: the caller then removes it from its scene.
    // A sample whose rate is not above 0 counts as played to its end at
    // once. Nothing (false) without a sample, for a movie's audio queue, for
    // frames below 1 or an output rate below 1.
    bool advance(int frames, int outputRate);

    // Sets the sample played (null: none); the play offset is kept.
    void setSample(MDL_Sample *sample) { m_poSample = sample; }
    MDL_Sample *getSample() const { return m_poSample; }
    double getVolume() const { return m_fVolume; }
    void setVolume(double volume) { m_fVolume = volume; }
    bool getLooping() const { return m_bLooping; }
    void setLooping(bool looping) { m_bLooping = looping; }
    bool getAutoDelete() const { return m_bAutoDelete; }
    void setAutoDelete(bool autoDelete) { m_bAutoDelete = autoDelete; }

    // The play offset := seconds x the sample's rate, truncated, kept within
    // 0 .. INT32_MAX (a negative or non-finite time gives 0). Nothing without
    // a sample.
    void seek(double seconds);
    // The play offset over the sample's rate; 0 without a sample.
    double getTime() const;

    // Clears the sample of every sound that plays sample. Called before a
    // sample is destroyed; nothing for null.
    static void forgetSample(const MDL_Sample *sample);
    // How many sounds play sample.
    static int countUsers(const MDL_Sample *sample);

    // --- fields, in order ---
    MDL_Sample *m_poSample; // played, not owned
    double m_fVolume;       // gain; 0 and below is silent for the mixer
    int32_t m_iPlayOffset;  // play position in frames of the sample
    bool m_bLooping;        // wrap at the end
    bool m_bAutoDelete;     // removed when it ends without looping
    int32_t m_iChannel;     // sample channel read

private:
    // Where the values of frame i come from: the channel's data and length
    // (null and 0 when every value is 0), the frame of data read for i = 0
    // and whether reading wraps around the channel.
    struct Source {
        const float *m_pfData;
        int64_t m_iLength;
        int64_t m_iStart;
        bool m_bWrap;
    };
    Source source() const;
    static float valueAt(const Source &source, int64_t i);

    // The register of live sounds, a doubly linked list.
    void enlist();
    void delist();
    MDL_Sound *m_poPreviousSound;
    MDL_Sound *m_poNextSound;
    static MDL_Sound *s_poFirstSound;
};
