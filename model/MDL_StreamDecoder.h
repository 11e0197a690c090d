#pragma once

// The decoding state of a movie stream, shared by the sources of MDL_Stream
// (reading and seeking, video, audio); nothing else includes it.

#include <cstdint>

#include <ogg/ogg.h>
#include <theora/theoradec.h>
#include <vorbis/codec.h>

struct MDL_StreamDecoder {
    // Ogg demultiplexing: the sync buffer, the page taken out last and the
    // file offset of the next byte that the sync buffer has not scanned.
    ogg_sync_state m_oSync;
    ogg_page m_oPage;
    int32_t m_iScanPosition;

    // Theora: stream state, headers and decoder.
    bool m_bTheora;
    int m_iTheoraSerial;
    int m_iTheoraHeaders;
    ogg_stream_state m_oTheoraStream;
    th_info m_oTheoraInfo;
    th_comment m_oTheoraComment;
    th_setup_info *m_poTheoraSetup;
    th_dec_ctx *m_poTheora;
    // 1 for streams of version 3.2.1 and later, whose granule positions count
    // frames rather than index them.
    int m_iGranuleBias;
    // Number of the next picture packet; -1 while unknown (after a jump into
    // the middle of the file, until a page's granule position tells).
    int64_t m_iNextFrame;
    // A picture was decoded since the texture was last written.
    bool m_bPictureWaiting;

    // Vorbis: stream state, headers, synthesis.
    bool m_bVorbis;
    int m_iVorbisSerial;
    int m_iVorbisHeaders;
    ogg_stream_state m_oVorbisStream;
    vorbis_info m_oVorbisInfo;
    vorbis_comment m_oVorbisComment;
    vorbis_dsp_state m_oVorbisDsp;
    vorbis_block m_oVorbisBlock;
    bool m_bVorbisSynthesis;
    // The audio stream's last page was read: reading stops needing audio.
    bool m_bAudioEnded;
    // Start time of the first audio page fed to the synthesis since the last
    // restart (the end time of the audio page before it); -1 when unknown.
    double m_fQueueStartTime;
    bool m_bAudioFed;

    // The picture number of a Theora granule position; -1 for a negative
    // one.
    int64_t frameOfGranule(int64_t granule) const;
    // The picture number of the keyframe of a granule position.
    int64_t keyframeOfGranule(int64_t granule) const;
};
