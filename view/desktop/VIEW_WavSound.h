#pragma once

#include <cstdint>
#include <cstdio>

#include "view/VIEW_PacedSound.h"

// The sound output that captures the mix into a WAV file (RIFF, PCM, 16-bit
// stereo, 44100 Hz) instead of playing it: every buffer is written when it is
// filled, and buffers are freed by the frame loop's time, so a run of N
// frames of S seconds captures N x S seconds of sound plus the buffers the
// first service fills ahead.
//
// The file is a complete WAV after every buffer written (its header always
// gives the sizes of the data on disk), and finish, also run by the
// destructor, closes it: whatever ends the player in order (the last frame,
// the error report deleting the output, a signal) leaves a valid file.
class VIEW_WavSound : public VIEW_PacedSound {
public:
    // Size of the header in front of the sound data.
    static constexpr int HEADER_BYTES = 44;

    // Creates (or replaces) the file at path and writes the header of an
    // empty sound; isOpen tells whether that worked (the reason is logged).
    // When failure is given, it is set to true if a later write or the
    // completion fails, so that the caller learns it even after the output
    // was deleted (the error report deletes it).
    explicit VIEW_WavSound(const char *path, bool *failure = nullptr);
    ~VIEW_WavSound() override;

    bool isOpen() const { return m_poFile != nullptr; }
    // Completes and closes the file; nothing is written afterwards.
    void finish();
    // Bytes of sound data in the file.
    uint32_t getDataBytes() const { return m_uiDataBytes; }

protected:
    void submit(const int16_t *samples, int frames) override;

private:
    // Writes the header for the data so far; false when that failed.
    bool writeHeader();
    // Closes after a failed write, keeping what is on disk valid.
    void fail(const char *what);

    FILE *m_poFile;
    char *m_sPath;
    bool *m_pbFailure;
    uint32_t m_uiDataBytes;
};
