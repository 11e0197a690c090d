// Samples: Ogg Vorbis decoding from memory into per-channel float arrays,
// the memory callbacks under it, and what damaged or hostile data give.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include "model/MDL_Sample.h"
#include "model/MDL_VorbisMemory.h"
#include "foundation/UTIL_ProxyHandle.h"
#include "tests/support/TEST_Log.h"

typedef std::vector<unsigned char> Bytes;

static Bytes readMedia(const std::string &name)
{
    std::ifstream in(std::string(VEKTA_TEST_DATA_DIR) + "/media/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Decodes through the constructor with a malloc'd copy that the sample owns,
// as the controller does with an extracted member (the leak checker sees a
// buffer that is not freed).
static std::unique_ptr<MDL_Sample> decodeOwned(const Bytes &bytes, const char *name = "test")
{
    unsigned char *copy = static_cast<unsigned char *>(malloc(bytes.empty() ? 1 : bytes.size()));
    if (!bytes.empty())
        memcpy(copy, bytes.data(), bytes.size());
    return std::unique_ptr<MDL_Sample>(new MDL_Sample(name, copy, static_cast<int>(bytes.size()), true));
}

static void expectConsistent(const MDL_Sample &sample)
{
    for (int c = 0; c < sample.getChannelCount(); c++)
        EXPECT_EQ(sample.m_oChannels[c]->m_iCount, sample.getFrameCount()) << "channel " << c;
    if (!sample.isValid()) {
        EXPECT_EQ(sample.getChannelCount(), 0);
        EXPECT_EQ(sample.m_iSampleRate, 0);
    }
}

// --- Ogg page surgery -------------------------------------------------------

struct Page {
    size_t m_uiOffset;
    size_t m_uiLength;
};

// The pages of a well-formed stream, in order.
static std::vector<Page> listPages(const Bytes &bytes)
{
    std::vector<Page> pages;
    size_t offset = 0;
    while (offset + 27 <= bytes.size() && memcmp(&bytes[offset], "OggS", 4) == 0) {
        size_t segments = bytes[offset + 26];
        size_t length = 27 + segments;
        if (offset + length > bytes.size())
            break;
        for (size_t i = 0; i < segments; i++)
            length += bytes[offset + 27 + i];
        if (offset + length > bytes.size())
            break;
        pages.push_back({offset, length});
        offset += length;
    }
    return pages;
}

// Recomputes the CRC of the page at page.m_uiOffset after an edit.
static void fixChecksum(Bytes &bytes, const Page &page)
{
    ogg_page og;
    size_t header = 27 + bytes[page.m_uiOffset + 26];
    og.header = &bytes[page.m_uiOffset];
    og.header_len = static_cast<long>(header);
    og.body = &bytes[page.m_uiOffset + header];
    og.body_len = static_cast<long>(page.m_uiLength - header);
    ogg_page_checksum_set(&og);
}

// Sets the granule position of a page and fixes its checksum.
static void setGranule(Bytes &bytes, const Page &page, uint64_t granule)
{
    for (int i = 0; i < 8; i++)
        bytes[page.m_uiOffset + 6 + i] = static_cast<unsigned char>(granule >> (8 * i));
    fixChecksum(bytes, page);
}

static void appendPage(Bytes &out, const ogg_page &og)
{
    out.insert(out.end(), og.header, og.header + og.header_len);
    out.insert(out.end(), og.body, og.body + og.body_len);
}

// The same single-link Vorbis stream with every audio packet on a page of its
// own and the granule position that vorbisfile needs on each page, so that
// pages can be dropped or damaged one packet at a time.
static Bytes onePacketPerPage(const Bytes &in)
{
    Bytes out;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char *buffer = ogg_sync_buffer(&sync, static_cast<long>(in.size()));
    memcpy(buffer, in.data(), in.size());
    ogg_sync_wrote(&sync, static_cast<long>(in.size()));

    ogg_stream_state input, output;
    vorbis_info info;
    vorbis_comment comment;
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
    bool started = false;
    long packets = 0;
    int previousBlock = 0;
    ogg_int64_t granule = 0;
    ogg_page page;
    while (ogg_sync_pageout(&sync, &page) == 1) {
        if (!started) {
            ogg_stream_init(&input, ogg_page_serialno(&page));
            ogg_stream_init(&output, ogg_page_serialno(&page));
            started = true;
        }
        ogg_stream_pagein(&input, &page);
        ogg_packet packet;
        while (ogg_stream_packetout(&input, &packet) == 1) {
            if (packets < 3) {
                EXPECT_EQ(vorbis_synthesis_headerin(&info, &comment, &packet), 0);
            } else {
                int block = static_cast<int>(vorbis_packet_blocksize(&info, &packet));
                if (previousBlock != 0)
                    granule += (previousBlock + block) / 4;
                previousBlock = block;
                if (packet.granulepos == -1)
                    packet.granulepos = granule;
                else
                    granule = packet.granulepos;
            }
            ogg_stream_packetin(&output, &packet);
            packets++;
            // The identification header alone, then the other two, then one
            // page per audio packet.
            if (packets == 1 || packets >= 3)
                while (ogg_stream_flush(&output, &page))
                    appendPage(out, page);
        }
    }
    while (started && ogg_stream_flush(&output, &page))
        appendPage(out, page);
    if (started) {
        ogg_stream_clear(&input);
        ogg_stream_clear(&output);
    }
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    ogg_sync_clear(&sync);
    return out;
}

static Bytes withoutPages(const Bytes &bytes, const std::vector<Page> &drop)
{
    Bytes out;
    size_t at = 0;
    for (const Page &page : drop) {
        out.insert(out.end(), bytes.begin() + static_cast<long>(at),
                   bytes.begin() + static_cast<long>(page.m_uiOffset));
        at = page.m_uiOffset + page.m_uiLength;
    }
    out.insert(out.end(), bytes.begin() + static_cast<long>(at), bytes.end());
    return out;
}

// --- tone measurements ------------------------------------------------------

struct Tone {
    double m_fFrequency;
    double m_fAmplitude;
};

// RMS and full cycles (rising crossings with hysteresis, so that coding noise
// near zero is not counted) of one channel between frames from and to.
static void measure(const float *values, int from, int to, double amplitude, double *rms, double *cycles)
{
    double sum = 0;
    int rising = 0;
    bool low = false;
    double threshold = 0.2 * amplitude;
    for (int i = from; i < to; i++) {
        sum += double(values[i]) * values[i];
        if (values[i] < -threshold)
            low = true;
        else if (values[i] > threshold && low) {
            rising++;
            low = false;
        }
    }
    *rms = std::sqrt(sum / (to - from));
    *cycles = rising;
}

// --- decoding the fixtures --------------------------------------------------

struct FixtureCase {
    const char *m_sFile;
    int m_iRate;
    int m_iChannels;
    int m_iFrames; // what the encoder was given, which vorbisfile returns exactly
    std::vector<Tone> m_oTones;
    bool m_bComplete;      // decode's result
    const char *m_sReport; // expected in the log; null: nothing logged
};

TEST(Sample, DecodesFixturesToTheirRateChannelsFramesAndTones)
{
    const Tone a440 = {440, 0.5}, b1000 = {1000, 0.25};
    const FixtureCase cases[] = {
        {"sine-44100-mono.ogg", 44100, 1, 11025, {a440}, true, nullptr},
        {"sine-44100-stereo.ogg", 44100, 2, 8820, {a440, b1000}, true, nullptr},
        {"sine-22050-mono.ogg", 22050, 1, 6615, {a440}, true, nullptr},
        {"sine-22050-stereo.ogg", 22050, 2, 1000, {a440, b1000}, true, nullptr},
        // Headers only: a valid sample without frames.
        {"empty-44100-mono.ogg", 44100, 1, 0, {}, true, nullptr},
        // Links of one format are joined.
        {"chained-44100-mono-twice.ogg", 44100, 1, 22050, {a440}, true, nullptr},
        // The second link (mono, 44100 Hz) would have been read as two
        // channels at 22050 Hz: the sample ends with the first link.
        {"chained-22050-stereo-44100-mono.ogg",
         22050,
         2,
         1000,
         {a440, b1000},
         false,
         "changes format (channels 1, rate 44100 Hz)"},
    };
    for (const FixtureCase &c : cases) {
        SCOPED_TRACE(c.m_sFile);
        Bytes bytes = readMedia(c.m_sFile);
        TEST_LogCapture log;
        MDL_Sample sample(c.m_sFile, bytes.data(), static_cast<int>(bytes.size()), false);
        EXPECT_TRUE(sample.isValid());
        EXPECT_EQ(sample.m_iSampleRate, c.m_iRate);
        ASSERT_EQ(sample.getChannelCount(), c.m_iChannels);
        ASSERT_EQ(sample.getFrameCount(), c.m_iFrames);
        expectConsistent(sample);
        EXPECT_STREQ(sample.getName(), c.m_sFile);
        EXPECT_FALSE(sample.m_bStreamed);
        EXPECT_FALSE(sample.m_bPaused);
        if (c.m_sReport == nullptr)
            EXPECT_TRUE(log.m_asLines.empty()) << log.joined();
        else
            EXPECT_TRUE(log.contains(c.m_sReport)) << log.joined();

        // decode again on the same bytes gives the same result.
        EXPECT_EQ(sample.decode(bytes.data(), static_cast<int>(bytes.size())), c.m_bComplete);
        ASSERT_EQ(sample.getFrameCount(), c.m_iFrames);

        for (size_t t = 0; t < c.m_oTones.size(); t++) {
            SCOPED_TRACE("channel " + std::to_string(t));
            const Tone &tone = c.m_oTones[t];
            // Away from the encoder's fade-in and fade-out at the ends.
            int from = c.m_iFrames / 10, to = c.m_iFrames - c.m_iFrames / 10;
            double rms = 0, cycles = 0;
            measure(sample.getChannelData(static_cast<int>(t)), from, to, tone.m_fAmplitude, &rms, &cycles);
            EXPECT_NEAR(rms, tone.m_fAmplitude / std::sqrt(2.0), 0.05 * tone.m_fAmplitude);
            double expected = tone.m_fFrequency * (to - from) / c.m_iRate;
            EXPECT_NEAR(cycles, expected, 1.5);
        }
        // Values stay in the decoder's nominal range (these tones peak at 0.5).
        for (int ch = 0; ch < sample.getChannelCount(); ch++)
            for (int i = 0; i < sample.getFrameCount(); i++)
                ASSERT_LE(std::fabs(sample.getChannelData(ch)[i]), 0.75f) << "frame " << i;
    }
}

TEST(Sample, OwnedDataIsFreedWhateverTheResult)
{
    // The leak checker fails the test if either buffer is left behind.
    std::unique_ptr<MDL_Sample> good = decodeOwned(readMedia("sine-22050-stereo.ogg"));
    EXPECT_EQ(good->getFrameCount(), 1000);
    TEST_LogCapture log;
    std::unique_ptr<MDL_Sample> bad = decodeOwned(Bytes(64, 'x'));
    EXPECT_FALSE(bad->isValid());
}

TEST(Sample, DefaultSampleIsAnEmptyQueueThatTakesFrames)
{
    MDL_Sample queue;
    EXPECT_FALSE(queue.isValid());
    EXPECT_EQ(queue.m_iSampleRate, 0);
    EXPECT_EQ(queue.getFrameCount(), 0);
    EXPECT_EQ(queue.getName(), nullptr);
    EXPECT_EQ(queue.getChannelData(0), nullptr);
    EXPECT_TRUE(queue.m_oChannels.m_bReleaseMemory);

    ASSERT_TRUE(queue.setFormat(22050, 2));
    EXPECT_TRUE(queue.isValid());
    EXPECT_EQ(queue.getFrameCount(), 0);
    const float left[] = {1, 2, 3}, right[] = {-1, -2, -3};
    const float *pcm[] = {left, right};
    EXPECT_TRUE(queue.appendFrames(pcm, 3));
    EXPECT_TRUE(queue.appendFrames(pcm, 2));
    EXPECT_TRUE(queue.appendFrames(pcm, 0));
    ASSERT_EQ(queue.getFrameCount(), 5);
    EXPECT_EQ(queue.getChannelData(0)[4], 2.0f);
    EXPECT_EQ(queue.getChannelData(1)[2], -3.0f);
    EXPECT_EQ(queue.getChannelData(2), nullptr);
    expectConsistent(queue);
    // What corrupt codebooks can make of a frame never reaches the mixer.
    const float odd[] = {NAN, INFINITY, -INFINITY}, fine[] = {0.5f, -0.5f, 1e30f};
    const float *oddPcm[] = {odd, fine};
    EXPECT_TRUE(queue.appendFrames(oddPcm, 3));
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(queue.getChannelData(0)[5 + i], 0.0f) << i;
        EXPECT_EQ(queue.getChannelData(1)[5 + i], fine[i]) << i;
    }

    for (int rate : {0, -1, MDL_Sample::MAX_RATE + 1})
        EXPECT_FALSE(queue.setFormat(rate, 1)) << rate;
    for (int channels : {0, 256})
        EXPECT_FALSE(queue.setFormat(44100, channels)) << channels;
    EXPECT_EQ(queue.getChannelCount(), 0);
}

TEST(Sample, DestructionDetachesTheScriptProxy)
{
    UTIL_Proxy *proxy = new UTIL_Proxy();
    MDL_Sample *sample = new MDL_Sample();
    sample->m_oProxyHandle.bind(proxy);
    proxy->m_poObject = sample;
    proxy->m_iRefCount++; // the script's reference
    delete sample;
    EXPECT_EQ(proxy->m_poObject, nullptr);
    EXPECT_EQ(proxy->m_iRefCount, 1);
    delete proxy;
}

// --- damaged and hostile data -----------------------------------------------

struct FailureCase {
    const char *m_sName;
    Bytes m_oBytes;
    const char *m_sReport;
};

static Bytes textBytes(const char *text)
{
    return Bytes(text, text + strlen(text));
}

// A copy of the mono tone with its identification header edited (CRC fixed,
// so that only the Vorbis header check can refuse it).
static Bytes withIdentification(int channels, uint32_t rate)
{
    Bytes bytes = readMedia("sine-44100-mono.ogg");
    std::vector<Page> pages = listPages(bytes);
    size_t body = pages[0].m_uiOffset + 27 + bytes[26];
    bytes[body + 11] = static_cast<unsigned char>(channels);
    for (int i = 0; i < 4; i++)
        bytes[body + 12 + i] = static_cast<unsigned char>(rate >> (8 * i));
    fixChecksum(bytes, pages[0]);
    return bytes;
}

TEST(Sample, DataThatDoNotOpenGiveAnEmptySampleAndADiagnostic)
{
    Bytes mono = readMedia("sine-44100-mono.ogg");
    std::vector<Page> pages = listPages(mono);
    ASSERT_GE(pages.size(), 3u);
    size_t headersEnd = pages[1].m_uiOffset + pages[1].m_uiLength;

    Bytes setupFlipped = mono;
    setupFlipped[headersEnd - 100] ^= 0x5a;
    Bytes capture = textBytes("OggS");
    for (int i = 0; i < 4000; i++)
        capture.push_back(static_cast<unsigned char>((i * 2654435761u) >> 24));
    // The last page claims 2^40 frames (the first audio pages keep the
    // start): refused before any decoding.
    Bytes huge = onePacketPerPage(mono);
    std::vector<Page> hugePages = listPages(huge);
    setGranule(huge, hugePages.back(), uint64_t(1) << 40);

    const FailureCase cases[] = {
        {"no bytes", Bytes(), "no data"},
        {"text", textBytes("This is plainly not an Ogg Vorbis stream, only a line of text."), "not an Ogg Vorbis"},
        {"capture pattern then noise", capture, "not an Ogg Vorbis"},
        {"cut in the identification header", Bytes(mono.begin(), mono.begin() + 40), "not an Ogg Vorbis"},
        {"cut in the setup header", Bytes(mono.begin(), mono.begin() + static_cast<long>(headersEnd) - 200),
         "not an Ogg Vorbis"},
        {"setup page fails its checksum", setupFlipped, "not an Ogg Vorbis"},
        {"0 channels", withIdentification(0, 44100), "not an Ogg Vorbis"},
        {"rate of 0", withIdentification(1, 0), "not an Ogg Vorbis"},
        {"rate above the limit", withIdentification(1, 10000000), "unusable Vorbis header (channels 1, rate 10000000"},
        {"rate that overflows an int", withIdentification(1, 0xffffffffu), "Vorbis"},
        {"declared length beyond the bound", huge, "declares more than"},
    };
    for (const FailureCase &c : cases) {
        SCOPED_TRACE(c.m_sName);
        MDL_Sample sample;
        sample.m_sName = strdup("bad.ogg");
        TEST_LogCapture log;
        EXPECT_FALSE(
            sample.decode(c.m_oBytes.empty() ? nullptr : c.m_oBytes.data(), static_cast<int>(c.m_oBytes.size())));
        EXPECT_FALSE(sample.isValid());
        EXPECT_EQ(sample.getFrameCount(), 0);
        expectConsistent(sample);
        EXPECT_TRUE(log.contains("Sample \"bad.ogg\"")) << log.joined();
        EXPECT_TRUE(log.contains(c.m_sReport)) << log.joined();
    }
}

TEST(Sample, BoundOnDecodedValuesIsCheckedBeforeDecoding)
{
    Bytes stereo = readMedia("sine-44100-stereo.ogg");
    TEST_LogCapture log;
    MDL_Sample sample;
    // 8820 frames of 2 channels: 17640 values.
    EXPECT_FALSE(sample.decode(stereo.data(), static_cast<int>(stereo.size()), 17639));
    EXPECT_FALSE(sample.isValid());
    EXPECT_TRUE(log.contains("more than 8819 frames (channels 2)")) << log.joined();
    EXPECT_TRUE(sample.decode(stereo.data(), static_cast<int>(stereo.size()), 17640));
    EXPECT_EQ(sample.getFrameCount(), 8820);
}

TEST(Sample, StreamThatHoldsMoreThanItDeclaresIsCutAtTheBound)
{
    // The last page says 2000 frames; the packets before it hold about 10000.
    Bytes paged = onePacketPerPage(readMedia("sine-44100-mono.ogg"));
    std::vector<Page> pages = listPages(paged);
    setGranule(paged, pages.back(), 2000);
    TEST_LogCapture log;
    MDL_Sample sample;
    EXPECT_FALSE(sample.decode(paged.data(), static_cast<int>(paged.size()), 5000));
    EXPECT_TRUE(sample.isValid());
    EXPECT_GT(sample.getFrameCount(), 2000);
    EXPECT_LE(sample.getFrameCount(), 5000);
    EXPECT_TRUE(log.contains("the most a sample holds")) << log.joined();
}

TEST(Sample, DamagedAudioKeepsTheFramesThatDecode)
{
    Bytes paged = onePacketPerPage(readMedia("sine-44100-mono.ogg"));
    std::vector<Page> pages = listPages(paged);
    ASSERT_GE(pages.size(), 10u);
    {
        // The repaginated stream itself decodes exactly like the original.
        MDL_Sample sample;
        EXPECT_TRUE(sample.decode(paged.data(), static_cast<int>(paged.size())));
        EXPECT_EQ(sample.getFrameCount(), 11025);
    }
    const Page &middle = pages[pages.size() / 2];
    Bytes flipped = paged;
    flipped[middle.m_uiOffset + middle.m_uiLength - 3] ^= 0x81;
    std::vector<Page> everyOther;
    for (size_t i = 3; i + 1 < pages.size(); i += 2)
        everyOther.push_back(pages[i]);

    struct DamageCase {
        const char *m_sName;
        Bytes m_oBytes;
        int m_iMinFrames, m_iMaxFrames;
        bool m_bComplete;
        const char *m_sReport;
    };
    const DamageCase cases[] = {
        // A gap: the frames of about two packets (long blocks of 2048) go.
        {"page missing", withoutPages(paged, {middle}), 11025 - 3 * 1024, 11024, false, "1 gaps in the data skipped"},
        {"page fails its checksum", flipped, 11025 - 3 * 1024, 11024, false, "1 gaps in the data skipped"},
        {"every other page missing", withoutPages(paged, everyOther), 1, 11024, false, "gaps in the data skipped"},
        // Cut inside an audio page, or after one: the frames before the cut.
        {"cut in a page", Bytes(paged.begin(), paged.begin() + static_cast<long>(middle.m_uiOffset) + 10), 1000, 11024,
         false, "truncated"},
        {"cut between pages", Bytes(paged.begin(), paged.begin() + static_cast<long>(middle.m_uiOffset)), 1000, 11024,
         false, "truncated"},
    };
    for (const DamageCase &c : cases) {
        SCOPED_TRACE(c.m_sName);
        MDL_Sample sample;
        sample.m_sName = strdup("damaged.ogg");
        TEST_LogCapture log;
        EXPECT_EQ(sample.decode(c.m_oBytes.data(), static_cast<int>(c.m_oBytes.size())), c.m_bComplete);
        EXPECT_TRUE(sample.isValid());
        EXPECT_EQ(sample.m_iSampleRate, 44100);
        EXPECT_GE(sample.getFrameCount(), c.m_iMinFrames);
        EXPECT_LE(sample.getFrameCount(), c.m_iMaxFrames);
        expectConsistent(sample);
        if (c.m_sReport == nullptr)
            EXPECT_TRUE(log.m_asLines.empty()) << log.joined();
        else
            EXPECT_TRUE(log.contains(c.m_sReport)) << log.joined();
    }
}

TEST(Sample, EveryCutOfAStreamEndsCleanly)
{
    // Every prefix of a small stereo stream, and the stream with each byte
    // flipped in turn: no read outside the buffer (the sanitizers watch), no
    // hang, channels of equal length and never more than the whole.
    Bytes bytes = readMedia("sine-22050-stereo.ogg");
    TEST_LogCapture log;
    for (size_t n = 0; n <= bytes.size(); n += 7) {
        unsigned char *copy = static_cast<unsigned char *>(malloc(n + 1));
        memcpy(copy, bytes.data(), n);
        MDL_Sample sample("prefix", copy, static_cast<int>(n), true);
        expectConsistent(sample);
        ASSERT_LE(sample.getFrameCount(), 1000) << n;
    }
    for (size_t i = 0; i < bytes.size(); i += 13) {
        Bytes flipped = bytes;
        flipped[i] ^= 0xff;
        MDL_Sample sample;
        sample.decode(flipped.data(), static_cast<int>(flipped.size()));
        expectConsistent(sample);
        ASSERT_LE(sample.getChannelCount(), 2) << i;
    }
}

// --- the memory callbacks ---------------------------------------------------

TEST(VorbisMemory, ReadCopiesWhatIsLeft)
{
    const unsigned char data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    MDL_VorbisMemory memory = {data, 0, 10};
    unsigned char out[32];
    EXPECT_EQ(MDL_uiVorbisMemoryRead(out, 1, 4, &memory), 4u);
    EXPECT_EQ(out[3], 3);
    EXPECT_EQ(MDL_uiVorbisMemoryRead(out, 2, 2, &memory), 4u); // bytes, size x count
    EXPECT_EQ(out[0], 4);
    EXPECT_EQ(MDL_uiVorbisMemoryRead(out, 1, 100, &memory), 2u); // past the end: what is left
    EXPECT_EQ(out[1], 9);
    EXPECT_EQ(MDL_lVorbisMemoryTell(&memory), 10);
    EXPECT_EQ(MDL_uiVorbisMemoryRead(out, 1, 100, &memory), 0u);
    memory.m_iPosition = 7;
    EXPECT_EQ(MDL_uiVorbisMemoryRead(out, SIZE_MAX, 3, &memory), 3u); // size x count overflows
    EXPECT_EQ(MDL_iVorbisMemoryClose(&memory), 1);
}

TEST(VorbisMemory, SeekClampsToTheData)
{
    const unsigned char data[10] = {};
    struct SeekCase {
        long m_iFrom;
        ogg_int64_t m_iOffset;
        int m_iWhence;
        long m_iExpected;
    };
    const SeekCase cases[] = {
        {5, -10, SEEK_SET, 0},        {5, 3, SEEK_SET, 3},
        {5, 10, SEEK_END, 10},        {5, -4, SEEK_END, 6},
        {5, -2, SEEK_CUR, 3},         {5, 100, SEEK_CUR, 10},
        {5, -100, SEEK_CUR, 0},       {5, 2, 99, 5}, // unknown whence: left
        {5, INT64_MAX, SEEK_CUR, 10}, {5, INT64_MIN, SEEK_END, 0},
    };
    for (const SeekCase &c : cases) {
        MDL_VorbisMemory memory = {data, c.m_iFrom, 10};
        EXPECT_EQ(MDL_iVorbisMemorySeek(&memory, c.m_iOffset, c.m_iWhence), 0);
        EXPECT_EQ(MDL_lVorbisMemoryTell(&memory), c.m_iExpected)
            << "from " << c.m_iFrom << " offset " << c.m_iOffset << " whence " << c.m_iWhence;
    }
}
