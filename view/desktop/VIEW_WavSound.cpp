#include "view/desktop/VIEW_WavSound.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "foundation/UTIL_Log.h"

// The most sound data one RIFF file can describe (its sizes are 32-bit).
static const uint32_t MAX_DATA_BYTES = 0xffffffffu - (VIEW_WavSound::HEADER_BYTES - 8);

static void putU16(unsigned char *p, uint32_t value)
{
    p[0] = static_cast<unsigned char>(value & 0xff);
    p[1] = static_cast<unsigned char>((value >> 8) & 0xff);
}

static void putU32(unsigned char *p, uint32_t value)
{
    putU16(p, value & 0xffff);
    putU16(p + 2, value >> 16);
}

VIEW_WavSound::VIEW_WavSound(const char *path, bool *failure)
    : m_poFile(nullptr), m_sPath(nullptr), m_pbFailure(failure), m_uiDataBytes(0)
{
    if (path == nullptr || path[0] == '\0') {
        UTIL_warn("No file named for the sound capture");
        return;
    }
    m_sPath = strdup(path);
    if (!m_oFile.open(path)) {
        UTIL_warn("Cannot write the sound capture %s: %s", path, m_oFile.error());
        return;
    }
    m_poFile = m_oFile.file();
    if (!writeHeader())
        fail("its header");
}

VIEW_WavSound::~VIEW_WavSound()
{
    finish();
    free(m_sPath);
}

bool VIEW_WavSound::writeHeader()
{
    unsigned char h[HEADER_BYTES];
    memcpy(h, "RIFF", 4);
    putU32(h + 4, HEADER_BYTES - 8 + m_uiDataBytes);
    memcpy(h + 8, "WAVE", 4);
    memcpy(h + 12, "fmt ", 4);
    putU32(h + 16, 16);                         // format chunk size
    putU16(h + 20, 1);                          // PCM
    putU16(h + 22, CHANNELS);                   // channels
    putU32(h + 24, SAMPLE_RATE);                // frames per second
    putU32(h + 28, SAMPLE_RATE * CHANNELS * 2); // bytes per second
    putU16(h + 32, CHANNELS * 2);               // bytes per frame
    putU16(h + 34, 16);                         // bits per sample
    memcpy(h + 36, "data", 4);
    putU32(h + 40, m_uiDataBytes);
    long end = ftell(m_poFile);
    if (end < HEADER_BYTES)
        end = HEADER_BYTES;
    return fseek(m_poFile, 0, SEEK_SET) == 0 && fwrite(h, 1, sizeof(h), m_poFile) == sizeof(h) &&
           fseek(m_poFile, end, SEEK_SET) == 0 && fflush(m_poFile) == 0;
}

void VIEW_WavSound::fail(const char *what)
{
    UTIL_warn("Writing the sound capture %s failed (%s)%s", m_sPath, what != nullptr ? what : "",
              m_oFile.writesStraight() ? "" : ": the file is left as it was");
    if (m_pbFailure != nullptr)
        *m_pbFailure = true;
    m_oFile.abandon();
    m_poFile = nullptr;
}

void VIEW_WavSound::submit(const int16_t *samples, int frames)
{
    if (m_poFile == nullptr || frames < 1)
        return;
    uint32_t bytes = static_cast<uint32_t>(frames) * CHANNELS * 2;
    if (bytes > MAX_DATA_BYTES - m_uiDataBytes) {
        UTIL_warn("The sound capture %s is full: it ends here", m_sPath);
        finish();
        return;
    }
    // Little-endian samples, whatever the machine's byte order.
    unsigned char data[BUFFER_FRAMES * CHANNELS * 2];
    int values = frames * CHANNELS;
    for (int done = 0; done < values;) {
        int n = values - done < BUFFER_FRAMES * CHANNELS ? values - done : BUFFER_FRAMES * CHANNELS;
        for (int i = 0; i < n; i++)
            putU16(data + 2 * i, static_cast<uint16_t>(samples[done + i]));
        size_t written = fwrite(data, 1, static_cast<size_t>(n) * 2, m_poFile);
        // Only whole frames count; the header then describes what is there.
        m_uiDataBytes += static_cast<uint32_t>(written - written % (CHANNELS * 2));
        if (written != static_cast<size_t>(n) * 2) {
            writeHeader();
            fail(strerror(errno));
            return;
        }
        done += n;
    }
    if (!writeHeader())
        fail(strerror(errno));
}

void VIEW_WavSound::finish()
{
    if (m_poFile == nullptr)
        return;
    bool written = writeHeader();
    const char *reason = written ? nullptr : strerror(errno);
    if (!written)
        m_oFile.abandon();
    else if (!m_oFile.commit())
        reason = m_oFile.error();
    m_poFile = nullptr;
    if (reason != nullptr) {
        UTIL_warn("Completing the sound capture %s failed: %s", m_sPath, reason);
        if (m_pbFailure != nullptr)
            *m_pbFailure = true;
    }
}
