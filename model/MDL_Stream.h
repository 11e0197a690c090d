#pragma once

#include <cstdint>

#include <ogg/ogg.h>

#include "foundation/UTIL_ProxyHandle.h"
#include "model/MDL_Sample.h"

class MDL_FileReader;
class MDL_Texture;
struct MDL_StreamDecoder;

// A movie: an Ogg file with one Theora video stream and, optionally, one
// Vorbis audio stream, read through the stream layer (a document member or a
// "//" file beside the document) or from bytes in memory. The current picture
// is converted to RGB into the stream's frame texture, which scripts put on
// materials; the sound is queued into the stream's own sample, which the mixer
// plays from index 0 and the controller drains as it is mixed.
//
// Pictures are numbered from 0 in the file; getCurrentFrame counts from 1
// (picture k shows as frame k + 1) and is -1 before any picture. Picture k is
// due from k / rate to (k + 1) / rate seconds of movie time.
//
// Everything read from the file is bounded: every read loop stops at the end
// of the data, header sizes are checked before anything is allocated from
// them, and damaged data end in a diagnostic and a movie without pictures
// (duration 0, no frames), never in a hang.
class MDL_Stream {
public:
    // Largest coded frame accepted, in pixels (e.g. 4096 x 4096), and the
    // largest side; a header that asks for more is taken for damaged.
    static constexpr int MAX_FRAME_PIXELS = 1 << 24;
    static constexpr int MAX_FRAME_SIDE = 16384;
    // Most audio kept queued, in seconds: when nobody drains the queue (no
    // sound output) the oldest audio is dropped beyond it.
    static constexpr int MAX_QUEUED_SECONDS = 10;

    // Reads the movie from file (owned from now on; null when the name did
    // not open) and prepares it at its first picture. A missing file, a file
    // without a Theora stream or damaged headers leave a movie without
    // pictures, with a diagnostic.
    MDL_Stream(const char *name, MDL_FileReader *file);
    // The same over size bytes in memory, which the caller keeps alive and
    // unchanged while the stream lives; frames larger than maxFramePixels are
    // refused.
    MDL_Stream(const char *name, const unsigned char *data, int size, int maxFramePixels = MAX_FRAME_PIXELS);
    // close, then clears this stream's audio queue out of every sound that
    // plays it (MDL_Sound::forgetSample), deletes the frame texture unless
    // releaseTexture handed it over, and detaches the script proxy.
    ~MDL_Stream();

    MDL_Stream(const MDL_Stream &) = delete;
    MDL_Stream &operator=(const MDL_Stream &) = delete;

    // Closes the file and frees the decoder, the pixels (the frame texture
    // becomes an empty 0 x 0 frame) and the queued audio. Afterwards the
    // movie has no pictures and advance and seek do nothing.
    void close();

    // One frame of the player: unless paused, movie time += dt; when it has
    // passed the picture's due time, pictures are decoded until one is due
    // at or after the time and the last is converted into the texture; at the
    // end of the file the movie starts again at picture 0. Then the audio
    // packets read so far are decoded into the queue. Nothing for a dt that
    // is negative or not finite.
    void advance(double dt);
    // Shows picture floor(seconds x rate + 0.5), kept within 0 .. frame
    // count - 1 (a time that is not a number counts as 0); nothing when that
    // picture is already shown. The movie time becomes the start of the
    // picture; the audio queue is emptied and refilled from there.
    void seek(double seconds);

    double getTime() const { return m_fTime; }
    // (frame count - 1) / rate; 0 without pictures, never NaN.
    double getDuration() const;
    int getCurrentFrame() const { return m_iCurrentFrame; }
    void play() { m_oAudio.m_bPaused = false; }
    void pause() { m_oAudio.m_bPaused = true; }
    bool isPaused() const { return m_oAudio.m_bPaused; }

    // The movie has a usable Theora stream (and so pictures).
    bool hasVideo() const;
    // The movie has a usable Vorbis stream (its queue has a rate and
    // channels).
    bool hasAudio() const { return m_oAudio.isValid(); }
    // Pictures per second (Theora's rate numerator / denominator); 0 without
    // video.
    double getFrameRate() const;
    // Picture size; 0 x 0 without video.
    int getWidth() const;
    int getHeight() const;
    // Pictures in the file, from the granule position of the last video page
    // (0 when none was found).
    int getFrameCount() const { return m_iFrameCount; }
    const char *getName() const { return m_sName; }

    // The frame texture: RGB, 3 bytes a pixel, rows bottom-up, no padding;
    // m_bFrameChanged is set whenever a new picture is written. Never null.
    MDL_Texture *getTexture() const { return m_poTexture; }
    // The audio queue (m_bStreamed; its pause flag is the movie's).
    MDL_Sample *getSample() { return &m_oAudio; }
    const MDL_Sample *getSample() const { return &m_oAudio; }

    // Hands the frame texture to the caller, who then owns it and keeps it
    // as long as anything (a material, the renderer's cache) may use it. The
    // stream goes on writing into it until it closes, and leaves it an empty
    // 0 x 0 frame then. Returns the texture.
    MDL_Texture *releaseTexture();

    // Drops the first frames frames of every channel of the audio queue (the
    // audio the sound output has consumed); a channel left empty frees its
    // buffer.
    void consumeAudio(int frames);
    // The controller's drain after a mix: unless paused or without audio,
    // consumeAudio(framesMixed x queue rate / outputRate), integer arithmetic.
    void consumeMixedAudio(int framesMixed, int outputRate);

    // --- fields, in order ---
    UTIL_ProxyHandle m_oProxyHandle;
    // The frame texture, owned unless handed over by releaseTexture. (It is
    // on the heap, not embedded, so that it can outlive the stream.)
    MDL_Texture *m_poTexture;
    MDL_Sample m_oAudio;              // audio queue: m_bStreamed; m_bPaused is the movie's pause flag
    MDL_FileReader *m_poFile;         // the open file (owned), or null
    int32_t m_iFileSize;              // bytes
    double m_fTime;                   // movie time in seconds
    double m_fFrameTime;              // when the picture in the texture stops being due; -1 before any
    int32_t m_iCurrentFrame;          // picture in the texture + 1; -1 before any
    double m_fPreviousAudioTime;      // end time of the audio page read before the last; -1 after a seek
    double m_fAudioTime;              // end time of the last audio page read; -1 after a seek
    int32_t m_iFrameCount;            // pictures, from the last video page
    MDL_StreamDecoder *m_poDecoder;   // Ogg, Theora and Vorbis state; null without video
    unsigned char *m_pucPixels;       // RGB picture, owned (the texture shows it)
    const unsigned char *m_pucMemory; // the data of a stream over memory, not owned
    int32_t m_iMemoryPosition;        // read position in them
    bool m_bOwnsTexture;              // false once releaseTexture handed it over
    char *m_sName;                    // owned copy, or null

private:
    void setEmpty(const char *name);
    // Reads the headers, allocates the decoder and the picture, probes the
    // frame count and shows picture 0. False on failure (the caller closes).
    bool open(int maxFramePixels);
    bool readHeaders();
    bool checkVideoHeader(int maxFramePixels);
    void probeFrameCount();
    void freeDecoder();

    // --- reading (MDL_Stream.cpp) ---
    // Up to size bytes from the file or memory; 0 at the end.
    int readBytes(char *buffer, int size);
    // Moves the read position and forgets the buffered data.
    void restartAt(int32_t offset);
    // Appends one block of 4096 bytes to the Ogg sync buffer; false at the
    // end of the data.
    bool readBlock();
    // The next page out of the sync buffer: 1 a page, 0 more data needed,
    // -1 bytes skipped. pageOffset receives the page's file offset.
    int nextPage(int32_t *pageOffset);
    // Takes pages in until a video page (and, in normal reading with audio
    // still running, an audio page too) was taken; false at the end of data.
    bool pump(bool normalReading);
    // The first video page with a frame at or after offset: its frame and
    // its page's offset and granule; false when none is found nearby.
    bool probeVideoPage(int32_t offset, int64_t *frame, int32_t *pageOffset, int64_t *granule);
    // Bisection for a video page whose frame lies below limit, as close to
    // it as a few steps find; false when none is found.
    bool findPageBefore(int64_t limit, int32_t *pageOffset, int64_t *granule);
    // The next Theora data packet with its picture number (-1 unknown);
    // false at the end of the data. Pumps in the given reading mode.
    bool nextVideoPacket(bool normalReading, ogg_packet *packet, int64_t *frame);
    void seekToFrame(int64_t target, bool force);
    void showPicture(int64_t frame);

    // --- video (MDL_StreamVideo.cpp) ---
    // Converts the decoder's picture into the pixels; true when done.
    bool convertPicture();

    // --- audio (MDL_StreamAudio.cpp) ---
    bool startAudio();
    void restartAudio();
    void decodeAudio();
    void skipAudio(int64_t frames);
};
