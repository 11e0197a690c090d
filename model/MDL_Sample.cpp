#include "model/MDL_Sample.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "foundation/UTIL_Log.h"
#include "model/MDL_Sound.h"
#include "model/MDL_VorbisMemory.h"

// What a vorbisfile status means, for the diagnostic log.
static const char *describeStatus(long status)
{
    switch (status) {
    case OV_FALSE:
        return "no data";
    case OV_HOLE:
        return "gap in the data";
    case OV_EREAD:
        return "read error";
    case OV_EFAULT:
        return "decoder fault";
    case OV_EIMPL:
        return "unsupported stream feature";
    case OV_EINVAL:
        return "invalid request";
    case OV_ENOTVORBIS:
        return "not Vorbis data";
    case OV_EBADHEADER:
        return "bad Vorbis header";
    case OV_EVERSION:
        return "unsupported Vorbis version";
    case OV_ENOTAUDIO:
        return "not audio";
    case OV_EBADPACKET:
        return "bad packet";
    case OV_EBADLINK:
        return "broken link in the chain";
    case OV_ENOSEEK:
        return "stream not seekable";
    default:
        return "decoding error";
    }
}

MDL_Sample::MDL_Sample() : m_bStreamed(false), m_bPaused(false), m_iSampleRate(0), m_sName(nullptr) {}

MDL_Sample::MDL_Sample(const char *name, unsigned char *data, int size, bool ownsData)
    : m_bStreamed(false), m_bPaused(false), m_iSampleRate(0), m_sName(nullptr)
{
    if (name != nullptr)
        m_sName = strdup(name);
    decode(data, size);
    if (ownsData)
        free(data);
}

MDL_Sample::~MDL_Sample()
{
    // No sound may go on pointing at the sample.
    MDL_Sound::forgetSample(this);
    m_oProxyHandle.release();
    clear();
    free(m_sName);
}

void MDL_Sample::clear()
{
    for (int i = 0; i < m_oChannels.m_iCount; i++)
        delete m_oChannels[i];
    m_oChannels.resize(0);
    m_iSampleRate = 0;
}

bool MDL_Sample::setFormat(int rate, int channels)
{
    clear();
    if (rate < 1 || rate > MAX_RATE || channels < 1 || channels > 255)
        return false;
    m_iSampleRate = rate;
    for (int i = 0; i < channels; i++)
        m_oChannels.append(new MDL_SampleChannel());
    return true;
}

bool MDL_Sample::appendFrames(const float *const *pcm, int frames)
{
    if (frames < 1 || m_oChannels.m_iCount == 0)
        return true;
    if (frames > MAX_FRAMES - getFrameCount())
        return false;
    for (int c = 0; c < m_oChannels.m_iCount; c++) {
        MDL_SampleChannel *channel = m_oChannels[c];
        int before = channel->m_iCount;
        channel->resize(before + frames);
        // A corrupt setup header can give codebook values that overflow a
        // float; the mixer only ever sees finite values.
        const float *from = pcm[c];
        float *to = channel->m_pData + before;
        for (int i = 0; i < frames; i++)
            to[i] = std::isfinite(from[i]) ? from[i] : 0.0f;
    }
    return true;
}

const float *MDL_Sample::getChannelData(int channel) const
{
    if (channel < 0 || channel >= m_oChannels.m_iCount || m_oChannels[channel]->m_iCount == 0)
        return nullptr;
    return m_oChannels[channel]->m_pData;
}

// Whether the data end with a complete Ogg page that marks the end of its
// stream. vorbisfile stops quietly at a cut, so this is what tells a
// truncated file from a whole one. A page is at most 27 + 255 + 255 x 255
// bytes, which bounds the search from the end.
static bool endsWithLastPage(const unsigned char *data, int size)
{
    const int longestPage = 27 + 255 + 255 * 255;
    int lowest = size > longestPage ? size - longestPage : 0;
    for (int at = size - 27; at >= lowest; at--) {
        if (memcmp(data + at, "OggS", 4) != 0 || data[at + 4] != 0)
            continue;
        int segments = data[at + 26];
        if (at + 27 + segments > size)
            continue;
        int length = 27 + segments;
        for (int i = 0; i < segments; i++)
            length += data[at + 27 + i];
        if (at + length == size)
            return (data[at + 5] & 0x04) != 0;
    }
    return false;
}

static bool sameFormat(const vorbis_info *info, int channels, long rate)
{
    return info != nullptr && info->channels == channels && info->rate == rate;
}

bool MDL_Sample::decode(const unsigned char *data, int size, int maxValues)
{
    clear();
    const char *name = m_sName != nullptr ? m_sName : "";
    if (data == nullptr || size <= 0) {
        UTIL_warn("Sample \"%s\": no data", name);
        return false;
    }

    MDL_VorbisMemory memory = {data, 0, size};
    OggVorbis_File file;
    int status = ov_open_callbacks(&memory, &file, nullptr, 0, MDL_oVorbisMemoryCallbacks());
    if (status < 0) {
        // vorbisfile has released whatever it had set up.
        UTIL_warn("Sample \"%s\": not an Ogg Vorbis stream (%s)", name, describeStatus(status));
        return false;
    }

    // vorbisfile leaves a chained stream past its first link once it has
    // scanned the links: decoding starts again from the first byte.
    if (ov_seekable(&file) && ov_streams(&file) > 1 && ov_raw_seek(&file, 0) != 0) {
        UTIL_warn("Sample \"%s\": the chained stream cannot be read from its start", name);
        ov_clear(&file);
        return false;
    }

    // The header's sizes are checked before anything is allocated from them.
    vorbis_info *info = ov_info(&file, -1);
    if (info == nullptr || info->channels < 1 || info->channels > 255 || info->rate < 1 || info->rate > MAX_RATE) {
        UTIL_warn("Sample \"%s\": unusable Vorbis header (channels %d, rate %ld Hz)", name,
                  info != nullptr ? info->channels : 0, info != nullptr ? info->rate : 0L);
        ov_clear(&file);
        return false;
    }
    int channels = info->channels;
    long rate = info->rate;
    int frameLimit = (maxValues > 0 ? maxValues : 0) / channels;
    if (frameLimit > MAX_FRAMES)
        frameLimit = MAX_FRAMES;

    // The frames that the kept links declare (the granule position of their
    // last pages) must fit the bound; only a seekable stream knows them.
    if (ov_seekable(&file)) {
        ogg_int64_t declared = 0;
        int links = static_cast<int>(ov_streams(&file));
        for (int link = 0; link < links; link++) {
            if (!sameFormat(ov_info(&file, link), channels, rate))
                break;
            ogg_int64_t total = ov_pcm_total(&file, link);
            if (total < 0)
                total = 0;
            // Compared before adding: a header can declare up to 2^63 frames.
            if (total > frameLimit - declared) {
                UTIL_warn("Sample \"%s\": the stream declares more than %d frames (channels %d)", name, frameLimit,
                          channels);
                ov_clear(&file);
                return false;
            }
            declared += total;
        }
    }

    setFormat(static_cast<int>(rate), channels);

    // Each positive read marks decoded frames as consumed and the frames kept
    // are bounded, so the loop ends; a gap (OV_HOLE) consumes at least one
    // damaged page, so there are never more of them than pages in the data.
    long holesLeft = size / 28 + 16;
    int currentLink = -1;
    int gaps = 0;
    bool complete = true;
    for (;;) {
        float **pcm = nullptr;
        int link = 0;
        long got = ov_read_float(&file, &pcm, 0x7fffffff, &link);
        if (got == 0)
            break;
        if (got == OV_HOLE) {
            gaps++;
            if (--holesLeft < 0) {
                UTIL_warn("Sample \"%s\": decoding stopped after %d frames (too many gaps in the data)", name,
                          getFrameCount());
                complete = false;
                break;
            }
            continue;
        }
        if (got < 0) {
            UTIL_warn("Sample \"%s\": decoding stopped after %d frames (%s)", name, getFrameCount(),
                      describeStatus(got));
            complete = false;
            break;
        }
        if (link != currentLink) {
            vorbis_info *linkInfo = ov_info(&file, link);
            if (!sameFormat(linkInfo, channels, rate)) {
                UTIL_warn("Sample \"%s\": cut after %d frames where the chained stream changes format (channels "
                          "%d, rate %ld Hz)",
                          name, getFrameCount(), linkInfo != nullptr ? linkInfo->channels : 0,
                          linkInfo != nullptr ? linkInfo->rate : 0L);
                complete = false;
                break;
            }
            currentLink = link;
        }
        if (got > frameLimit - getFrameCount()) {
            UTIL_warn("Sample \"%s\": cut at %d frames, the most a sample holds with %d channels", name,
                      getFrameCount(), channels);
            complete = false;
            break;
        }
        appendFrames(pcm, static_cast<int>(got));
    }
    ov_clear(&file);
    if (complete && !endsWithLastPage(data, size)) {
        UTIL_warn("Sample \"%s\": the data end without the stream's last page (truncated?), %d frames decoded", name,
                  getFrameCount());
        complete = false;
    }
    if (gaps > 0 && holesLeft >= 0) {
        UTIL_warn("Sample \"%s\": %d gaps in the data skipped, %d frames decoded", name, gaps, getFrameCount());
        complete = false;
    }
    return complete;
}
