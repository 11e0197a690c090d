#pragma once

#include <cstddef>

#include "foundation/UTIL_DynArray.h"
#include "foundation/UTIL_ProxyHandle.h"

// One channel of decoded sound: 32-bit floats, nominally -1 .. 1, always
// finite.
typedef UTIL_DynArray<float, 128> MDL_SampleChannel;

// A sound fully decoded into memory: one float array per channel, all of the
// same length (the frame count), and the frames per second. Sound objects
// play it through the mixer by indexing the arrays; a movie stream fills and
// drains one of its own as its audio queue.
//
// Decoding accepts one Ogg Vorbis stream, or a chain of links that keep the
// first link's rate and channel count (decoding ends at the first link that
// changes either). Data that do not open as Ogg Vorbis leave the sample
// empty: no channels and a rate of 0 (isValid false). A valid stream without
// audio gives a valid sample of 0 frames. Every failure and every cut is
// reported on the diagnostic log.
class MDL_Sample {
public:
    // Largest rate accepted from a stream header (the highest rate audio
    // hardware plays); beyond it the header is taken for corrupt.
    static constexpr int MAX_RATE = 384000;
    // Default bound on the decoded floats (frames x channels) of one sample:
    // 1 GiB of floats, about 45 minutes of 48 kHz stereo. A stream that
    // declares more is refused before decoding; one that decodes more than
    // it declared is cut at the bound.
    static constexpr int MAX_VALUES = 1 << 28;
    // Longest channel: its capacity, doubled from 128, stays an int.
    static constexpr int MAX_FRAMES = 1 << 30;

    // An empty sample (no channels, rate 0), as a movie stream's queue.
    MDL_Sample();
    // Copies name and decodes size bytes of Ogg Vorbis data. When ownsData
    // is true the bytes (from malloc) are freed once decoding is over,
    // whatever its result.
    MDL_Sample(const char *name, unsigned char *data, int size, bool ownsData);
    // Clears the sample out of every sound that plays it
    // (MDL_Sound::forgetSample), frees the name and the channels and detaches
    // the script proxy.
    ~MDL_Sample();

    MDL_Sample(const MDL_Sample &) = delete;
    MDL_Sample &operator=(const MDL_Sample &) = delete;

    // Replaces the contents by the decoding of size bytes of Ogg Vorbis
    // data, with at most maxValues floats in all. False when the data do
    // not open as Ogg Vorbis, have an unusable header or declare more than
    // maxValues (the sample is then empty); false too when the audio was
    // damaged, with the frames decoded kept: gaps in the data (lost or
    // corrupt pages) are skipped, while an error, a change of format or the
    // bound ends the decoding. The bytes are only read.
    bool decode(const unsigned char *data, int size, int maxValues = MAX_VALUES);

    // Drops every channel and sets the rate to 0.
    void clear();
    // clear, then rate and channels empty arrays; for a movie stream's
    // queue. False (and left empty) for a rate outside 1 .. MAX_RATE or a
    // channel count outside 1 .. 255.
    bool setFormat(int rate, int channels);
    // Appends frames values to each channel from pcm[channel]
    // (getChannelCount buffers of at least frames floats), with 0 in place
    // of any value that is not finite. Nothing for frames below 1. False, and nothing appended, when the channels would
    // grow past MAX_FRAMES.
    bool appendFrames(const float *const *pcm, int frames);

    // Decoded data are there: a rate above 0 and at least one channel.
    bool isValid() const { return m_iSampleRate > 0 && m_oChannels.m_iCount > 0; }
    int getChannelCount() const { return m_oChannels.m_iCount; }
    // The length of the first channel; 0 without channels.
    int getFrameCount() const { return m_oChannels.m_iCount > 0 ? m_oChannels[0]->m_iCount : 0; }
    // The values of a channel, or null for an index out of range or an
    // empty channel.
    const float *getChannelData(int channel) const;
    int getSampleRate() const { return m_iSampleRate; }
    const char *getName() const { return m_sName; }

    // --- fields, in order ---
    UTIL_ProxyHandle m_oProxyHandle;
    bool m_bStreamed;  // a movie's audio queue: the mixer reads from index 0 and never wraps
    bool m_bPaused;    // while set every value read from it is 0
    int m_iSampleRate; // frames per second; 0 while empty
    char *m_sName;     // owned (malloc), or null
    // One owned array per channel, all of the same length.
    UTIL_DynArray<MDL_SampleChannel *, 128> m_oChannels;
};
