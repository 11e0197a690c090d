#include <cstring>

#include "model/MDL_Stream.h"
#include "model/MDL_StreamDecoder.h"

// The audio of a movie: Vorbis packets of the pages read so far are
// synthesised into the queue (the stream's own sample), which the mixer reads
// from index 0 and the controller drains by what was mixed.

bool MDL_Stream::startAudio()
{
    MDL_StreamDecoder *d = m_poDecoder;
    const vorbis_info &info = d->m_oVorbisInfo;
    if (info.rate < 1 || info.rate > MDL_Sample::MAX_RATE || info.channels < 1 || info.channels > 255)
        return false;
    if (vorbis_synthesis_init(&d->m_oVorbisDsp, &d->m_oVorbisInfo) != 0)
        return false;
    if (vorbis_block_init(&d->m_oVorbisDsp, &d->m_oVorbisBlock) != 0) {
        vorbis_dsp_clear(&d->m_oVorbisDsp);
        return false;
    }
    d->m_bVorbisSynthesis = true;
    if (!m_oAudio.setFormat(static_cast<int>(info.rate), info.channels))
        return false;
    m_oAudio.m_bStreamed = true;
    return true;
}

void MDL_Stream::restartAudio()
{
    MDL_StreamDecoder *d = m_poDecoder;
    if (d->m_bVorbis)
        ogg_stream_reset(&d->m_oVorbisStream);
    if (d->m_bVorbisSynthesis)
        vorbis_synthesis_restart(&d->m_oVorbisDsp);
    d->m_bAudioEnded = false;
    d->m_bAudioFed = false;
    d->m_fQueueStartTime = -1.0;
    for (int c = 0; c < m_oAudio.m_oChannels.m_iCount; c++)
        m_oAudio.m_oChannels[c]->resize(0);
}

void MDL_Stream::decodeAudio()
{
    MDL_StreamDecoder *d = m_poDecoder;
    if (!hasAudio() || !d->m_bVorbisSynthesis)
        return;
    int limit = MAX_QUEUED_SECONDS * m_oAudio.m_iSampleRate;
    for (;;) {
        float **pcm = nullptr;
        int ready = vorbis_synthesis_pcmout(&d->m_oVorbisDsp, &pcm);
        if (ready > 0) {
            m_oAudio.appendFrames(pcm, ready);
            vorbis_synthesis_read(&d->m_oVorbisDsp, ready);
            int queued = m_oAudio.getFrameCount();
            if (queued > limit)
                consumeAudio(queued - limit);
            continue;
        }
        ogg_packet packet;
        int got = ogg_stream_packetout(&d->m_oVorbisStream, &packet);
        if (got == 0)
            break;
        if (got < 0)
            continue;
        if (vorbis_synthesis(&d->m_oVorbisBlock, &packet) == 0)
            vorbis_synthesis_blockin(&d->m_oVorbisDsp, &d->m_oVorbisBlock);
    }
}

void MDL_Stream::skipAudio(int64_t frames)
{
    MDL_StreamDecoder *d = m_poDecoder;
    if (!d->m_bVorbisSynthesis)
        return;
    while (frames > 0) {
        float **pcm = nullptr;
        int ready = vorbis_synthesis_pcmout(&d->m_oVorbisDsp, &pcm);
        if (ready > 0) {
            int take = frames < ready ? static_cast<int>(frames) : ready;
            vorbis_synthesis_read(&d->m_oVorbisDsp, take);
            frames -= take;
            continue;
        }
        ogg_packet packet;
        int got = ogg_stream_packetout(&d->m_oVorbisStream, &packet);
        if (got == 0)
            break;
        if (got < 0)
            continue;
        if (vorbis_synthesis(&d->m_oVorbisBlock, &packet) == 0)
            vorbis_synthesis_blockin(&d->m_oVorbisDsp, &d->m_oVorbisBlock);
    }
}

void MDL_Stream::consumeAudio(int frames)
{
    if (frames < 1)
        return;
    for (int c = 0; c < m_oAudio.m_oChannels.m_iCount; c++) {
        MDL_SampleChannel *channel = m_oAudio.m_oChannels[c];
        int count = channel->m_iCount;
        if (frames >= count) {
            channel->resize(0);
            continue;
        }
        int left = count - frames;
        memmove(channel->m_pData, channel->m_pData + frames, sizeof(float) * static_cast<size_t>(left));
        channel->resize(left);
    }
}

void MDL_Stream::consumeMixedAudio(int framesMixed, int outputRate)
{
    if (isPaused() || !hasAudio() || framesMixed < 1 || outputRate < 1)
        return;
    int64_t frames = static_cast<int64_t>(framesMixed) * m_oAudio.m_iSampleRate / outputRate;
    consumeAudio(frames > INT32_MAX ? INT32_MAX : static_cast<int>(frames));
}
