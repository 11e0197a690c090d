#pragma once

#include <cstdint>
#include <cstdio>

#include "foundation/UTIL_OutputFile.h"
#include "view/VIEW_PacedSound.h"

// The sound output that captures the mix into a WAV file (RIFF, PCM, 16-bit
// stereo, 44100 Hz) instead of playing it: every buffer is written when it is
// filled, and buffers are freed by the frame loop's time, so a run of N
// frames of S seconds captures N x S seconds of sound plus the buffers the
// first service fills ahead.
//
// The file is a UTIL_OutputFile: a capture into a regular file (or a new
// one) is written beside it and takes its name when finish, also run by the
// destructor, completes it, so whatever ends the player in order (the last
// frame, the error report deleting the output, a signal) leaves a valid
// file, and a capture that fails leaves what the name held. The file being
// written is a complete WAV after every buffer (its header always gives the
// sizes of the data on disk).
class VIEW_WavSound : public VIEW_PacedSound {
public:
    // Size of the header in front of the sound data.
    static constexpr int HEADER_BYTES = 44;

    // Opens the capture for path and writes the header of an empty sound;
    // isOpen tells whether that worked (the reason is logged).
    // When failure is given, it is set to true if a later write or the
    // completion fails, so that the caller learns it even after the output
    // was deleted (the error report deletes it).
    explicit VIEW_WavSound(const char *path, bool *failure = nullptr);
    ~VIEW_WavSound() override;

    bool isOpen() const { return m_poFile != nullptr; }
    // Completes and closes the file, which then replaces what path held;
    // nothing is written afterwards.
    void finish();
    // The file being written: beside path until finish gives it the name
    // (path itself for a device or a pipe).
    const char *writingPath() const { return m_oFile.writingPath(); }
    // Bytes of sound data in the file.
    uint32_t getDataBytes() const { return m_uiDataBytes; }

protected:
    void submit(const int16_t *samples, int frames) override;

private:
    // Writes the header for the data so far; false when that failed.
    bool writeHeader();
    // Gives up after a failed write: the file written is removed, one
    // written straight into (a device, a pipe) keeps what reached it.
    void fail(const char *what);

    UTIL_OutputFile m_oFile;
    FILE *m_poFile; // m_oFile's stream while the capture goes on, else null
    char *m_sPath;
    bool *m_pbFailure;
    uint32_t m_uiDataBytes;
};
