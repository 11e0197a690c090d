#include "model/MDL_Stream.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "foundation/UTIL_Log.h"
#include "model/MDL_FileReader.h"
#include "model/MDL_Sound.h"
#include "model/MDL_StreamDecoder.h"
#include "model/MDL_Texture.h"

// Opening, reading, seeking and advancing a movie. The Ogg data are read in
// blocks of 4096 bytes into libogg's sync buffer; pages go to the Theora and
// Vorbis stream states by serial number. Every loop that reads ends at the end
// of the data: each of its turns takes a page, a packet or a block out, or
// stops.

namespace {

const int BLOCK_SIZE = 4096;
// A probe looks this far past its start for a video page; further video pages
// than that count as not found (the bisection then looks lower).
const int PROBE_RANGE = 256 * 1024;
// Most bisection steps of one search.
const int BISECTION_STEPS = 32;
// Largest picture number kept: frame numbers + 1 stay an int32.
const int64_t MAX_FRAME = INT32_MAX - 1;

const char *displayName(const char *name)
{
    return name != nullptr ? name : "";
}

int64_t clampFrame(int64_t frame)
{
    return frame > MAX_FRAME ? MAX_FRAME : frame;
}

} // namespace

int64_t MDL_StreamDecoder::frameOfGranule(int64_t granule) const
{
    if (granule < 0)
        return -1;
    int shift = m_oTheoraInfo.keyframe_granule_shift;
    int64_t keyframe = granule >> shift;
    int64_t delta = granule - (keyframe << shift);
    int64_t frame = keyframe + delta - m_iGranuleBias;
    return frame < 0 ? -1 : clampFrame(frame);
}

int64_t MDL_StreamDecoder::keyframeOfGranule(int64_t granule) const
{
    if (granule < 0)
        return -1;
    int64_t frame = (granule >> m_oTheoraInfo.keyframe_granule_shift) - m_iGranuleBias;
    return frame < 0 ? 0 : clampFrame(frame);
}

// --- construction and destruction --------------------------------------------

void MDL_Stream::setEmpty(const char *name)
{
    m_poTexture = new MDL_Texture();
    m_oAudio.m_bStreamed = true;
    m_poFile = nullptr;
    m_iFileSize = 0;
    m_fTime = 0.0;
    m_fFrameTime = -1.0;
    m_iCurrentFrame = -1;
    m_fPreviousAudioTime = -1.0;
    m_fAudioTime = -1.0;
    m_iFrameCount = 0;
    m_poDecoder = nullptr;
    m_pucPixels = nullptr;
    m_pucMemory = nullptr;
    m_iMemoryPosition = 0;
    m_bOwnsTexture = true;
    m_sName = name != nullptr ? strdup(name) : nullptr;
}

MDL_Stream::MDL_Stream(const char *name, MDL_FileReader *file)
{
    setEmpty(name);
    m_poFile = file;
    if (m_poFile == nullptr) {
        UTIL_warn("Movie \"%s\": cannot be opened", displayName(name));
        return;
    }
    long size = -1;
    if (m_poFile->seek(0, SEEK_END))
        size = m_poFile->tell();
    if (size < 0 || size > INT32_MAX) {
        UTIL_warn("Movie \"%s\": the file size cannot be read or is above 2 GiB", displayName(name));
        close();
        return;
    }
    m_iFileSize = static_cast<int32_t>(size);
    m_poFile->seek(0, SEEK_SET);
    if (!open(MAX_FRAME_PIXELS))
        close();
}

MDL_Stream::MDL_Stream(const char *name, const unsigned char *data, int size, int maxFramePixels)
{
    setEmpty(name);
    if (data == nullptr || size <= 0) {
        UTIL_warn("Movie \"%s\": no data", displayName(name));
        return;
    }
    m_pucMemory = data;
    m_iFileSize = size;
    if (!open(maxFramePixels))
        close();
}

MDL_Stream::~MDL_Stream()
{
    close();
    MDL_Sound::forgetSample(&m_oAudio);
    if (m_bOwnsTexture)
        delete m_poTexture;
    m_poTexture = nullptr;
    m_oProxyHandle.release();
    free(m_sName);
}

MDL_Texture *MDL_Stream::releaseTexture()
{
    m_bOwnsTexture = false;
    return m_poTexture;
}

void MDL_Stream::close()
{
    delete m_poFile;
    m_poFile = nullptr;
    m_pucMemory = nullptr;
    m_iMemoryPosition = 0;
    freeDecoder();
    m_poTexture->setFrame(nullptr, 0, 0);
    free(m_pucPixels);
    m_pucPixels = nullptr;
    bool paused = m_oAudio.m_bPaused;
    m_oAudio.clear();
    m_oAudio.m_bPaused = paused;
}

void MDL_Stream::freeDecoder()
{
    MDL_StreamDecoder *d = m_poDecoder;
    if (d == nullptr)
        return;
    if (d->m_poTheora != nullptr)
        th_decode_free(d->m_poTheora);
    th_setup_free(d->m_poTheoraSetup);
    th_comment_clear(&d->m_oTheoraComment);
    th_info_clear(&d->m_oTheoraInfo);
    if (d->m_bTheora)
        ogg_stream_clear(&d->m_oTheoraStream);
    if (d->m_bVorbisSynthesis) {
        vorbis_block_clear(&d->m_oVorbisBlock);
        vorbis_dsp_clear(&d->m_oVorbisDsp);
    }
    if (d->m_bVorbis)
        ogg_stream_clear(&d->m_oVorbisStream);
    vorbis_comment_clear(&d->m_oVorbisComment);
    vorbis_info_clear(&d->m_oVorbisInfo);
    ogg_sync_clear(&d->m_oSync);
    delete d;
    m_poDecoder = nullptr;
}

bool MDL_Stream::hasVideo() const
{
    return m_poDecoder != nullptr && m_poDecoder->m_poTheora != nullptr;
}

double MDL_Stream::getFrameRate() const
{
    if (!hasVideo())
        return 0.0;
    const th_info &info = m_poDecoder->m_oTheoraInfo;
    return static_cast<double>(info.fps_numerator) / static_cast<double>(info.fps_denominator);
}

int MDL_Stream::getWidth() const
{
    return hasVideo() ? static_cast<int>(m_poDecoder->m_oTheoraInfo.pic_width) : 0;
}

int MDL_Stream::getHeight() const
{
    return hasVideo() ? static_cast<int>(m_poDecoder->m_oTheoraInfo.pic_height) : 0;
}

double MDL_Stream::getDuration() const
{
    double rate = getFrameRate();
    if (m_iFrameCount < 1 || !(rate > 0.0))
        return 0.0;
    return (m_iFrameCount - 1) / rate;
}

// --- opening ---------------------------------------------------------------------

bool MDL_Stream::open(int maxFramePixels)
{
    MDL_StreamDecoder *d = new MDL_StreamDecoder();
    memset(static_cast<void *>(d), 0, sizeof(*d));
    m_poDecoder = d;
    ogg_sync_init(&d->m_oSync);
    th_info_init(&d->m_oTheoraInfo);
    th_comment_init(&d->m_oTheoraComment);
    vorbis_info_init(&d->m_oVorbisInfo);
    vorbis_comment_init(&d->m_oVorbisComment);
    d->m_iNextFrame = 0;
    d->m_fQueueStartTime = -1.0;

    const char *name = displayName(m_sName);
    if (!readHeaders())
        return false;
    if (!checkVideoHeader(maxFramePixels))
        return false;
    const th_info &info = d->m_oTheoraInfo;
    // Streams of version 3.2.1 and later count frames in their granule
    // positions; 3.2.0 streams index them.
    int version = (info.version_major << 16) | (info.version_minor << 8) | info.version_subminor;
    d->m_iGranuleBias = version >= 0x030201 ? 1 : 0;
    d->m_poTheora = th_decode_alloc(&info, d->m_poTheoraSetup);
    th_setup_free(d->m_poTheoraSetup);
    d->m_poTheoraSetup = nullptr;
    if (d->m_poTheora == nullptr) {
        UTIL_warn("Movie \"%s\": the Theora decoder refuses the stream's headers", name);
        return false;
    }

    int width = static_cast<int>(info.pic_width);
    int height = static_cast<int>(info.pic_height);
    m_pucPixels = static_cast<unsigned char *>(calloc(static_cast<size_t>(width) * static_cast<size_t>(height), 3));
    if (m_pucPixels == nullptr) {
        UTIL_warn("Movie \"%s\": no memory for a %d x %d picture", name, width, height);
        return false;
    }
    m_poTexture->setFrame(m_pucPixels, width, height);

    probeFrameCount();
    if (d->m_bVorbis && !startAudio())
        UTIL_warn("Movie \"%s\": the audio stream is not usable (rate %ld Hz, %d channels); playing without it", name,
                  d->m_oVorbisInfo.rate, d->m_oVorbisInfo.channels);
    seekToFrame(0, true);
    if (m_iCurrentFrame < 1) {
        // Not one picture in the whole file decodes: a damaged file, which
        // would otherwise be read through again at every frame.
        UTIL_warn("Movie \"%s\": no picture could be decoded", name);
        return false;
    }
    return true;
}

bool MDL_Stream::readHeaders()
{
    MDL_StreamDecoder *d = m_poDecoder;
    const char *name = displayName(m_sName);
    restartAt(0);

    // The first page of every logical stream comes first in the file: the
    // first that Theora accepts is the video, the first that Vorbis accepts
    // the audio. The first page that starts no stream ends this part.
    bool dataSeen = false;
    while (!dataSeen) {
        int32_t offset = 0;
        int got = nextPage(&offset);
        if (got == 0) {
            if (!readBlock())
                break;
            continue;
        }
        if (got < 0)
            continue;
        ogg_page *page = &d->m_oPage;
        if (!ogg_page_bos(page)) {
            dataSeen = true;
            int serial = ogg_page_serialno(page);
            if (d->m_bTheora && serial == d->m_iTheoraSerial)
                ogg_stream_pagein(&d->m_oTheoraStream, page);
            else if (d->m_bVorbis && serial == d->m_iVorbisSerial)
                ogg_stream_pagein(&d->m_oVorbisStream, page);
            break;
        }
        if (d->m_bTheora && d->m_bVorbis)
            continue;
        ogg_stream_state test;
        if (ogg_stream_init(&test, ogg_page_serialno(page)) != 0)
            continue;
        ogg_stream_pagein(&test, page);
        ogg_packet packet;
        bool taken = false;
        if (ogg_stream_packetout(&test, &packet) == 1) {
            if (!d->m_bTheora &&
                th_decode_headerin(&d->m_oTheoraInfo, &d->m_oTheoraComment, &d->m_poTheoraSetup, &packet) > 0) {
                d->m_oTheoraStream = test;
                d->m_bTheora = true;
                d->m_iTheoraSerial = ogg_page_serialno(page);
                d->m_iTheoraHeaders = 1;
                taken = true;
            } else if (!d->m_bVorbis &&
                       vorbis_synthesis_headerin(&d->m_oVorbisInfo, &d->m_oVorbisComment, &packet) == 0) {
                d->m_oVorbisStream = test;
                d->m_bVorbis = true;
                d->m_iVorbisSerial = ogg_page_serialno(page);
                d->m_iVorbisHeaders = 1;
                taken = true;
            }
        }
        if (!taken)
            ogg_stream_clear(&test);
    }
    if (!d->m_bTheora) {
        UTIL_warn("Movie \"%s\": no Theora video stream", name);
        return false;
    }

    // The remaining header packets, three for each codec, reading on as
    // needed.
    for (;;) {
        ogg_packet packet;
        while (d->m_iTheoraHeaders < 3) {
            int got = ogg_stream_packetout(&d->m_oTheoraStream, &packet);
            if (got == 0)
                break;
            if (got < 0 ||
                th_decode_headerin(&d->m_oTheoraInfo, &d->m_oTheoraComment, &d->m_poTheoraSetup, &packet) <= 0) {
                UTIL_warn("Movie \"%s\": damaged Theora headers", name);
                return false;
            }
            d->m_iTheoraHeaders++;
        }
        while (d->m_bVorbis && d->m_iVorbisHeaders < 3) {
            int got = ogg_stream_packetout(&d->m_oVorbisStream, &packet);
            if (got == 0)
                break;
            if (got < 0 || vorbis_synthesis_headerin(&d->m_oVorbisInfo, &d->m_oVorbisComment, &packet) != 0) {
                UTIL_warn("Movie \"%s\": damaged Vorbis headers", name);
                return false;
            }
            d->m_iVorbisHeaders++;
        }
        if (d->m_iTheoraHeaders >= 3 && (!d->m_bVorbis || d->m_iVorbisHeaders >= 3))
            return true;
        int32_t offset = 0;
        int got = nextPage(&offset);
        if (got > 0) {
            int serial = ogg_page_serialno(&d->m_oPage);
            if (serial == d->m_iTheoraSerial)
                ogg_stream_pagein(&d->m_oTheoraStream, &d->m_oPage);
            else if (d->m_bVorbis && serial == d->m_iVorbisSerial)
                ogg_stream_pagein(&d->m_oVorbisStream, &d->m_oPage);
        } else if (got == 0 && !readBlock()) {
            UTIL_warn("Movie \"%s\": the file ends within the stream headers", name);
            return false;
        }
    }
}

bool MDL_Stream::checkVideoHeader(int maxFramePixels)
{
    const th_info &info = m_poDecoder->m_oTheoraInfo;
    const char *name = displayName(m_sName);
    uint64_t frameWidth = info.frame_width;
    uint64_t frameHeight = info.frame_height;
    uint64_t limit = maxFramePixels > 0 ? static_cast<uint64_t>(maxFramePixels) : 0;
    if (frameWidth == 0 || frameHeight == 0 || frameWidth > MAX_FRAME_SIDE || frameHeight > MAX_FRAME_SIDE ||
        frameWidth * frameHeight > limit) {
        UTIL_warn("Movie \"%s\": refused frame size %llu x %llu (at most %llu pixels)", name,
                  static_cast<unsigned long long>(frameWidth), static_cast<unsigned long long>(frameHeight),
                  static_cast<unsigned long long>(limit));
        return false;
    }
    if (info.pic_width == 0 || info.pic_height == 0 ||
        static_cast<uint64_t>(info.pic_x) + info.pic_width > frameWidth ||
        static_cast<uint64_t>(info.pic_y) + info.pic_height > frameHeight) {
        UTIL_warn("Movie \"%s\": picture %u x %u at (%u, %u) does not lie inside the %llu x %llu frame", name,
                  info.pic_width, info.pic_height, info.pic_x, info.pic_y, static_cast<unsigned long long>(frameWidth),
                  static_cast<unsigned long long>(frameHeight));
        return false;
    }
    if (info.fps_numerator == 0 || info.fps_denominator == 0) {
        UTIL_warn("Movie \"%s\": frame rate %u / %u", name, info.fps_numerator, info.fps_denominator);
        return false;
    }
    if (info.pixel_fmt != TH_PF_420 && info.pixel_fmt != TH_PF_422 && info.pixel_fmt != TH_PF_444) {
        UTIL_warn("Movie \"%s\": unknown pixel format %d", name, static_cast<int>(info.pixel_fmt));
        return false;
    }
    if (info.keyframe_granule_shift < 0 || info.keyframe_granule_shift > 31) {
        UTIL_warn("Movie \"%s\": keyframe granule shift %d", name, info.keyframe_granule_shift);
        return false;
    }
    return true;
}

void MDL_Stream::probeFrameCount()
{
    MDL_StreamDecoder *d = m_poDecoder;
    // Growing windows at the end of the file, the last video page with a
    // granule position in the first window that has one.
    for (int i = 1; i <= 10; i++) {
        int64_t start = static_cast<int64_t>(m_iFileSize) - static_cast<int64_t>(BLOCK_SIZE) * i;
        if (start < 0)
            start = 0;
        restartAt(static_cast<int32_t>(start));
        int64_t found = -1;
        int64_t left = static_cast<int64_t>(BLOCK_SIZE) * i;
        for (;;) {
            int32_t offset = 0;
            int got = nextPage(&offset);
            if (got > 0) {
                if (ogg_page_serialno(&d->m_oPage) == d->m_iTheoraSerial) {
                    int64_t frame = d->frameOfGranule(ogg_page_granulepos(&d->m_oPage));
                    if (frame >= 0)
                        found = frame;
                }
                continue;
            }
            if (got < 0)
                continue;
            if (left <= 0 || !readBlock())
                break;
            left -= BLOCK_SIZE;
        }
        if (found >= 0) {
            m_iFrameCount = static_cast<int32_t>(found + 1);
            return;
        }
        if (start == 0)
            return;
    }
}

// --- reading -------------------------------------------------------------------------

int MDL_Stream::readBytes(char *buffer, int size)
{
    if (size <= 0)
        return 0;
    if (m_pucMemory != nullptr) {
        int left = m_iFileSize - m_iMemoryPosition;
        int count = size < left ? size : left;
        if (count <= 0)
            return 0;
        memcpy(buffer, m_pucMemory + m_iMemoryPosition, static_cast<size_t>(count));
        m_iMemoryPosition += count;
        return count;
    }
    if (m_poFile == nullptr)
        return 0;
    return static_cast<int>(m_poFile->read(buffer, static_cast<size_t>(size)));
}

void MDL_Stream::restartAt(int32_t offset)
{
    MDL_StreamDecoder *d = m_poDecoder;
    if (offset < 0)
        offset = 0;
    if (offset > m_iFileSize)
        offset = m_iFileSize;
    ogg_sync_reset(&d->m_oSync);
    d->m_iScanPosition = offset;
    if (m_pucMemory != nullptr)
        m_iMemoryPosition = offset;
    else if (m_poFile != nullptr)
        m_poFile->seek(offset, SEEK_SET);
}

bool MDL_Stream::readBlock()
{
    MDL_StreamDecoder *d = m_poDecoder;
    char *buffer = ogg_sync_buffer(&d->m_oSync, BLOCK_SIZE);
    if (buffer == nullptr)
        return false;
    int got = readBytes(buffer, BLOCK_SIZE);
    if (got <= 0)
        return false;
    ogg_sync_wrote(&d->m_oSync, got);
    return true;
}

int MDL_Stream::nextPage(int32_t *pageOffset)
{
    MDL_StreamDecoder *d = m_poDecoder;
    long got = ogg_sync_pageseek(&d->m_oSync, &d->m_oPage);
    if (got > 0) {
        *pageOffset = d->m_iScanPosition;
        d->m_iScanPosition += static_cast<int32_t>(got);
        return 1;
    }
    if (got < 0) {
        d->m_iScanPosition += static_cast<int32_t>(-got);
        return -1;
    }
    return 0;
}

bool MDL_Stream::pump(bool normalReading)
{
    MDL_StreamDecoder *d = m_poDecoder;
    bool audio = hasAudio() && normalReading;
    bool video = false;
    bool audioTaken = !audio || d->m_bAudioEnded;
    for (;;) {
        int32_t offset = 0;
        int got = nextPage(&offset);
        if (got == 0) {
            if (!readBlock())
                return false;
            continue;
        }
        if (got < 0)
            continue;
        ogg_page *page = &d->m_oPage;
        int serial = ogg_page_serialno(page);
        if (serial == d->m_iTheoraSerial) {
            ogg_stream_pagein(&d->m_oTheoraStream, page);
            video = true;
        } else if (d->m_bVorbis && serial == d->m_iVorbisSerial) {
            double previous = m_fAudioTime;
            int64_t granule = ogg_page_granulepos(page);
            if (granule >= 0 && d->m_oVorbisInfo.rate > 0) {
                m_fPreviousAudioTime = m_fAudioTime;
                m_fAudioTime = static_cast<double>(granule) / static_cast<double>(d->m_oVorbisInfo.rate);
            }
            if (audio) {
                if (!d->m_bAudioFed) {
                    d->m_bAudioFed = true;
                    d->m_fQueueStartTime = previous;
                }
                ogg_stream_pagein(&d->m_oVorbisStream, page);
                if (ogg_page_eos(page))
                    d->m_bAudioEnded = true;
                audioTaken = true;
            }
        }
        if (video && audioTaken)
            return true;
    }
}

bool MDL_Stream::nextVideoPacket(bool normalReading, ogg_packet *packet, int64_t *frame)
{
    MDL_StreamDecoder *d = m_poDecoder;
    for (;;) {
        int got = ogg_stream_packetout(&d->m_oTheoraStream, packet);
        if (got == 0) {
            if (!pump(normalReading))
                return false;
            continue;
        }
        if (got < 0) {
            // Packets were lost: while the numbering is still being found it
            // must be found again; after that the count goes on.
            continue;
        }
        if (th_packet_isheader(packet))
            continue;
        int64_t number = -1;
        if (packet->granulepos >= 0)
            number = d->frameOfGranule(packet->granulepos);
        else if (d->m_iNextFrame >= 0)
            number = d->m_iNextFrame;
        d->m_iNextFrame = number >= 0 ? clampFrame(number + 1) : -1;
        *frame = number;
        return true;
    }
}

bool MDL_Stream::probeVideoPage(int32_t offset, int64_t *frame, int32_t *pageOffset, int64_t *granule)
{
    MDL_StreamDecoder *d = m_poDecoder;
    restartAt(offset);
    int64_t limit = static_cast<int64_t>(offset) + PROBE_RANGE;
    for (;;) {
        int32_t at = 0;
        int got = nextPage(&at);
        if (got > 0) {
            if (ogg_page_serialno(&d->m_oPage) != d->m_iTheoraSerial)
                continue;
            int64_t position = ogg_page_granulepos(&d->m_oPage);
            int64_t number = d->frameOfGranule(position);
            if (number < 0)
                continue;
            *frame = number;
            *pageOffset = at;
            *granule = position;
            return true;
        }
        if (got < 0)
            continue;
        if (d->m_iScanPosition > limit || !readBlock())
            return false;
    }
}

bool MDL_Stream::findPageBefore(int64_t limit, int32_t *pageOffset, int64_t *granule)
{
    int32_t low = 0;
    int32_t high = m_iFileSize;
    bool found = false;
    for (int step = 0; step < BISECTION_STEPS && high - low > 1; step++) {
        int32_t middle = low + (high - low) / 2;
        int64_t frame = 0;
        int32_t at = 0;
        int64_t position = 0;
        if (probeVideoPage(middle, &frame, &at, &position) && frame < limit) {
            low = middle;
            found = true;
            *pageOffset = at;
            *granule = position;
            // Close enough: the rest is decoded forward.
            if (frame >= limit - 8)
                break;
        } else {
            high = middle;
        }
    }
    if (!found) {
        // The bisection never probed the start itself.
        int64_t frame = 0;
        int32_t at = 0;
        int64_t position = 0;
        if (probeVideoPage(0, &frame, &at, &position) && frame < limit) {
            *pageOffset = at;
            *granule = position;
            found = true;
        }
    }
    return found;
}

// --- seeking and advancing ---------------------------------------------------------

void MDL_Stream::seek(double seconds)
{
    if (!hasVideo())
        return;
    double position = seconds * getFrameRate() + 0.5;
    int64_t target = 0;
    if (position >= static_cast<double>(MAX_FRAME))
        target = MAX_FRAME;
    else if (position > 0.0)
        target = static_cast<int64_t>(std::floor(position));
    seekToFrame(target, false);
}

void MDL_Stream::seekToFrame(int64_t target, bool force)
{
    MDL_StreamDecoder *d = m_poDecoder;
    if (!hasVideo())
        return;
    if (m_iFrameCount > 0 && target > m_iFrameCount - 1)
        target = m_iFrameCount - 1;
    if (target < 0)
        target = 0;
    if (!force && target == static_cast<int64_t>(m_iCurrentFrame) - 1)
        return;

    m_fPreviousAudioTime = -1.0;
    m_fAudioTime = -1.0;

    // Where to start reading: at a video page before the keyframe that the
    // target's pictures are decoded from. First a page just before the
    // target, whose granule position names its keyframe; then a page before
    // that keyframe. The start of the file serves when there is none.
    int32_t start = 0;
    bool fromStart = true;
    int32_t at = 0;
    int64_t granule = 0;
    if (target > 0 && findPageBefore(target, &at, &granule)) {
        int64_t keyframe = d->keyframeOfGranule(granule);
        if (keyframe > 0 && findPageBefore(keyframe, &at, &granule)) {
            start = at;
            fromStart = false;
        }
    }

    restartAt(start);
    ogg_stream_reset(&d->m_oTheoraStream);
    d->m_iNextFrame = fromStart ? 0 : -1;
    restartAudio();

    // Decode from the first keyframe of known number up to the target.
    bool decoding = false;
    int64_t shown = -1;
    bool ended = false;
    for (;;) {
        ogg_packet packet;
        int64_t frame = -1;
        if (!nextVideoPacket(false, &packet, &frame)) {
            ended = true;
            break;
        }
        if (!decoding) {
            if (frame < 0 || th_packet_iskeyframe(&packet) != 1)
                continue;
            decoding = true;
        }
        if (th_decode_packetin(d->m_poTheora, &packet, nullptr) < 0)
            continue;
        if (frame < 0)
            continue;
        shown = frame;
        d->m_bPictureWaiting = true;
        if (frame >= target)
            break;
    }
    if (d->m_bPictureWaiting)
        convertPicture();
    // The file ended first: the target counts as shown, unless no picture
    // was ever shown (a movie that cannot be decoded stays without one).
    if (ended && shown < target && m_iCurrentFrame >= 1)
        shown = target;
    if (shown >= 0)
        showPicture(shown);
    m_fTime = static_cast<double>(shown >= 0 ? shown : target) / getFrameRate();

    if (hasAudio()) {
        pump(true);
        if (d->m_fQueueStartTime >= 0.0) {
            double skip = (m_fTime - d->m_fQueueStartTime) * static_cast<double>(m_oAudio.m_iSampleRate);
            if (skip >= 1.0)
                skipAudio(skip >= 9.0e18 ? INT64_MAX : static_cast<int64_t>(skip));
        }
    }
}

void MDL_Stream::showPicture(int64_t frame)
{
    m_iCurrentFrame = static_cast<int32_t>(clampFrame(frame) + 1);
    m_fFrameTime = static_cast<double>(m_iCurrentFrame) / getFrameRate();
}

void MDL_Stream::advance(double dt)
{
    MDL_StreamDecoder *d = m_poDecoder;
    if (!hasVideo() || isPaused() || !(dt >= 0.0) || !std::isfinite(dt))
        return;
    m_fTime += dt;
    if (m_fTime > m_fFrameTime) {
        for (;;) {
            ogg_packet packet;
            int64_t frame = -1;
            if (!nextVideoPacket(true, &packet, &frame)) {
                // The end of the file: the movie starts again.
                seekToFrame(0, true);
                return;
            }
            if (th_decode_packetin(d->m_poTheora, &packet, nullptr) < 0)
                continue;
            // A repeated picture (an empty packet) leaves the decoder's
            // picture as it was.
            if (packet.bytes > 0)
                d->m_bPictureWaiting = true;
            if (frame < 0)
                continue;
            showPicture(frame);
            if (m_fFrameTime >= m_fTime)
                break;
        }
        if (d->m_bPictureWaiting)
            convertPicture();
    }
    decodeAudio();
}
