// Movie streams: opening the fixtures of tests/data/movies (made by
// make-movies.sh), their sizes, rates and colours, seeking and advancing,
// looping, pausing, the audio queue, reading through the stream layer, and
// what damaged or hostile files give.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <ogg/ogg.h>

#include "controller/CTRL_Generic.h"
#include "controller/CTRL_StreamReader.h"
#include "model/MDL_Sound.h"
#include "model/MDL_Stream.h"
#include "model/MDL_StreamVideo.h"
#include "model/MDL_Texture.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Log.h"

typedef std::vector<unsigned char> Bytes;

namespace {

const char RAMP[] = "ramp-420-25fps.ogv";
const char SPLIT_444[] = "split-444-2997fps-stereo.ogv";
const char SPLIT_422[] = "split-422-15fps-mono.ogv";
const char SPLIT_420[] = "split-420-12.5fps.ogv";
const char FLAT[] = "flat-640x480.ogv";

Bytes readData(const std::string &path)
{
    std::ifstream in(std::string(VEKTA_TEST_DATA_DIR) + "/" + path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes readMovie(const char *name)
{
    return readData(std::string("movies/") + name);
}

// A stream over an exact-size heap copy of the bytes (so that any read past
// them is caught), which lives as long as the stream.
class MemoryMovie {
public:
    explicit MemoryMovie(const Bytes &bytes, int maxPixels = MDL_Stream::MAX_FRAME_PIXELS)
        : m_pucData(static_cast<unsigned char *>(malloc(bytes.empty() ? 1 : bytes.size())))
    {
        if (!bytes.empty())
            memcpy(m_pucData, bytes.data(), bytes.size());
        m_poStream = new MDL_Stream("test.ogv", m_pucData, static_cast<int>(bytes.size()), maxPixels);
    }
    ~MemoryMovie()
    {
        delete m_poStream;
        free(m_pucData);
    }
    MemoryMovie(const MemoryMovie &) = delete;
    MemoryMovie &operator=(const MemoryMovie &) = delete;
    MDL_Stream *operator->() const { return m_poStream; }
    MDL_Stream &operator*() const { return *m_poStream; }

    unsigned char *m_pucData;
    MDL_Stream *m_poStream;
};

struct Rgb {
    int r, g, b;
};

Rgb expectedColour(int y, int cb, int cr)
{
    unsigned char out[3];
    MDL_convertYCbCrPixel(y, cb, cr, out);
    return {out[0], out[1], out[2]};
}

// The picture's pixel at (x, y) from its top-left corner; the texture holds
// the rows bottom-up.
Rgb pixelAt(const MDL_Stream &stream, int x, int y)
{
    const MDL_Texture *texture = stream.getTexture();
    const unsigned char *p =
        texture->m_pucData + (static_cast<size_t>(texture->m_iHeight - 1 - y) * texture->m_iWidth + x) * 3;
    return {p[0], p[1], p[2]};
}

::testing::AssertionResult near(const Rgb &got, const Rgb &expected, int tolerance)
{
    if (std::abs(got.r - expected.r) <= tolerance && std::abs(got.g - expected.g) <= tolerance &&
        std::abs(got.b - expected.b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << got.r << ", " << got.g << ", " << got.b << "), expected ("
                                         << expected.r << ", " << expected.g << ", " << expected.b << ")";
}

// The ramp movie's picture k is grey: luma 16 + 2k in its upper half (rows 0
// to 11), 128 in its lower half.
Rgb rampColour(int picture)
{
    return expectedColour(16 + 2 * picture, 128, 128);
}
const Rgb RAMP_LOWER = expectedColour(128, 128, 128);

// Checks both halves of a ramp picture, away from the edge between them.
::testing::AssertionResult showsRampPicture(const MDL_Stream &stream, int picture, int tolerance)
{
    ::testing::AssertionResult upper = near(pixelAt(stream, 5, 3), rampColour(picture), tolerance);
    if (!upper)
        return upper << " in the upper half";
    ::testing::AssertionResult lower = near(pixelAt(stream, 26, 20), RAMP_LOWER, tolerance);
    if (!lower)
        return lower << " in the lower half";
    return ::testing::AssertionSuccess();
}

const Rgb SPLIT_LEFT = expectedColour(81, 90, 240);
const Rgb SPLIT_RIGHT = expectedColour(145, 54, 34);
// Lossy coding moves flat colours a little (most where a channel is near
// its limit); left and right differ by far more.
const int TOLERANCE = 12;

// What any stream must show, whatever its data.
void expectSane(const MDL_Stream &stream, const char *what)
{
    double duration = stream.getDuration();
    EXPECT_TRUE(std::isfinite(duration) && duration >= 0.0) << what;
    EXPECT_TRUE(std::isfinite(stream.getTime())) << what;
    const MDL_Texture *texture = stream.getTexture();
    ASSERT_NE(texture, nullptr) << what;
    if (!stream.hasVideo()) {
        EXPECT_EQ(duration, 0.0) << what;
        EXPECT_EQ(stream.getFrameRate(), 0.0) << what;
        EXPECT_EQ(texture->m_iWidth * texture->m_iHeight, 0) << what;
        return;
    }
    EXPECT_EQ(texture->m_iWidth, stream.getWidth()) << what;
    EXPECT_EQ(texture->m_iHeight, stream.getHeight()) << what;
    EXPECT_GE(stream.getCurrentFrame(), -1) << what;
    const MDL_Sample *audio = stream.getSample();
    for (int c = 0; c < audio->getChannelCount(); c++) {
        EXPECT_EQ(audio->m_oChannels[c]->m_iCount, audio->getFrameCount()) << what;
        const float *values = audio->getChannelData(c);
        for (int i = 0; i < audio->m_oChannels[c]->m_iCount; i++)
            if (!std::isfinite(values[i])) {
                ADD_FAILURE() << what << ": audio value not finite";
                break;
            }
    }
}

// --- Ogg page surgery ---------------------------------------------------------

struct PageSpan {
    size_t m_uiOffset = 0;
    size_t m_uiHeader = 0;
    size_t m_uiBody = 0;
};

std::vector<PageSpan> listPages(const Bytes &bytes)
{
    std::vector<PageSpan> pages;
    size_t at = 0;
    while (at + 27 <= bytes.size() && memcmp(&bytes[at], "OggS", 4) == 0) {
        size_t segments = bytes[at + 26];
        size_t header = 27 + segments;
        if (at + header > bytes.size())
            break;
        size_t body = 0;
        for (size_t i = 0; i < segments; i++)
            body += bytes[at + 27 + i];
        if (at + header + body > bytes.size())
            break;
        pages.push_back({at, header, body});
        at += header + body;
    }
    return pages;
}

void fixChecksum(Bytes &bytes, const PageSpan &page)
{
    ogg_page p;
    p.header = &bytes[page.m_uiOffset];
    p.header_len = static_cast<long>(page.m_uiHeader);
    p.body = &bytes[page.m_uiOffset + page.m_uiHeader];
    p.body_len = static_cast<long>(page.m_uiBody);
    ogg_page_checksum_set(&p);
}

// The offset of the Theora identification header's first byte
// ("\x80theora"), which begins the body of the stream's first page.
size_t theoraHeaderAt(const Bytes &bytes, PageSpan *span)
{
    for (const PageSpan &page : listPages(bytes)) {
        size_t body = page.m_uiOffset + page.m_uiHeader;
        if (page.m_uiBody >= 42 && memcmp(&bytes[body], "\x80theora", 7) == 0) {
            *span = page;
            return body;
        }
    }
    ADD_FAILURE() << "no Theora header";
    return 0;
}

void putBigEndian(Bytes &bytes, size_t at, int count, uint32_t value)
{
    for (int i = count - 1; i >= 0; i--, value >>= 8)
        bytes[at + static_cast<size_t>(i)] = static_cast<unsigned char>(value & 0xFF);
}

} // namespace

TEST(Stream, FixturesOpenWithTheirSizesRatesAndAudio)
{
    struct Case {
        const char *file;
        int width, height;
        double rate;
        int frames;
        int channels, sampleRate;
    };
    const Case cases[] = {
        {RAMP, 32, 24, 25.0, 101, 0, 0},        {SPLIT_444, 33, 17, 30000.0 / 1001.0, 25, 2, 44100},
        {SPLIT_422, 35, 21, 15.0, 9, 1, 22050}, {SPLIT_420, 37, 19, 12.5, 9, 0, 0},
        {FLAT, 640, 480, 30.0, 301, 0, 0},
    };
    for (const Case &c : cases) {
        MemoryMovie movie(readMovie(c.file));
        ASSERT_TRUE(movie->hasVideo()) << c.file;
        EXPECT_EQ(movie->getWidth(), c.width) << c.file;
        EXPECT_EQ(movie->getHeight(), c.height) << c.file;
        EXPECT_DOUBLE_EQ(movie->getFrameRate(), c.rate) << c.file;
        EXPECT_EQ(movie->getFrameCount(), c.frames) << c.file;
        EXPECT_DOUBLE_EQ(movie->getDuration(), (c.frames - 1) / c.rate) << c.file;
        EXPECT_EQ(movie->hasAudio(), c.channels > 0) << c.file;
        EXPECT_EQ(movie->getSample()->getChannelCount(), c.channels) << c.file;
        EXPECT_EQ(movie->getSample()->getSampleRate(), c.sampleRate) << c.file;
        EXPECT_TRUE(movie->getSample()->m_bStreamed) << c.file;

        // Created playing, at its first picture, converted into the texture.
        EXPECT_FALSE(movie->isPaused()) << c.file;
        EXPECT_EQ(movie->getCurrentFrame(), 1) << c.file;
        EXPECT_EQ(movie->getTime(), 0.0) << c.file;
        const MDL_Texture *texture = movie->getTexture();
        EXPECT_TRUE(texture->m_bIsFrame) << c.file;
        EXPECT_TRUE(texture->m_bFrameChanged) << c.file;
        EXPECT_FALSE(texture->m_bHasAlpha) << c.file;
        EXPECT_EQ(texture->m_iWidth, c.width) << c.file;
        EXPECT_EQ(texture->m_iHeight, c.height) << c.file;
        EXPECT_EQ(texture->m_iSize, static_cast<uint32_t>(c.width * c.height * 3)) << c.file;
        expectSane(*movie, c.file);
    }
    // The 101-frame movie at 25 frames a second lasts 4 s.
    MemoryMovie ramp(readMovie(RAMP));
    EXPECT_DOUBLE_EQ(ramp->getDuration(), 4.0);
}

TEST(Stream, PixelColoursOfTheFirstPicture)
{
    // Two colours: either side of x = 16 or, for the ramp, of y = 12, with
    // the pixels next to the edge left out (block coding and chroma
    // subsampling soften it).
    struct Case {
        const char *file;
        bool upperAndLower;
        Rgb first;  // left (upper)
        Rgb second; // right (lower)
    };
    const Case cases[] = {
        {RAMP, true, rampColour(0), RAMP_LOWER},
        {SPLIT_444, false, SPLIT_LEFT, SPLIT_RIGHT},
        {SPLIT_422, false, SPLIT_LEFT, SPLIT_RIGHT},
        {SPLIT_420, false, SPLIT_LEFT, SPLIT_RIGHT},
        {FLAT, false, expectedColour(100, 100, 160), expectedColour(100, 100, 160)},
    };
    for (const Case &c : cases) {
        MemoryMovie movie(readMovie(c.file));
        ASSERT_TRUE(movie->hasVideo()) << c.file;
        int width = movie->getWidth();
        int height = movie->getHeight();
        // Every pixel up to the picture's odd right and bottom edges, where
        // subsampled chroma ends; the texture's rows are bottom-up.
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                int along = c.upperAndLower ? y : x;
                int edge = c.upperAndLower ? 12 : 16;
                if (along >= edge - 4 && along < edge + 4)
                    continue;
                const Rgb &expected = along < edge ? c.first : c.second;
                ASSERT_TRUE(near(pixelAt(*movie, x, y), expected, TOLERANCE)) << c.file << " at " << x << "," << y;
            }
        }
    }
}

TEST(Stream, SeekShowsTheRoundedPicture)
{
    // The ramp movie: 101 pictures at 25 a second, with keyframes at
    // pictures 0, 16, 32, 48, 55 to 58, 74 and 90. The cases run in turn on
    // one stream, forwards and backwards.
    struct Case {
        double seconds;
        int picture;
    };
    const Case cases[] = {
        {1.5, 38},    // 37.5 rounds up
        {0.0, 0},     //
        {2.0, 50},    //
        {0.52, 13},   // back, before the first keyframe after 0
        {0.6, 15},    // the picture before a keyframe
        {0.64, 16},   // a keyframe itself
        {0.66, 17},   //
        {3.99, 100},  //
        {4.0, 100},   // the duration: the last picture
        {100.0, 100}, // beyond the end: the last picture
        {-3.0, 0},    // before the start: the first
        {NAN, 0},     //
        {1e300, 100}, //
        {2.32, 58},   // among consecutive keyframes
        {0.3, 8},     //
        {1.5, 38},    //
    };
    MemoryMovie movie(readMovie(RAMP));
    ASSERT_TRUE(movie->hasVideo());
    for (const Case &c : cases) {
        movie->seek(c.seconds);
        EXPECT_EQ(movie->getCurrentFrame(), c.picture + 1) << c.seconds;
        EXPECT_DOUBLE_EQ(movie->getTime(), c.picture / 25.0) << c.seconds;
        EXPECT_TRUE(showsRampPicture(*movie, c.picture, TOLERANCE)) << c.seconds;
    }

    // A seek to the picture already shown changes nothing, not even the
    // texture's changed flag.
    movie->seek(1.0);
    movie->getTexture()->m_bFrameChanged = false;
    movie->seek(1.01);
    EXPECT_EQ(movie->getCurrentFrame(), 26);
    EXPECT_FALSE(movie->getTexture()->m_bFrameChanged);
}

TEST(Stream, AdvanceAfterSeekDecodesThePicturesThatFallDue)
{
    struct Step {
        double dt;
        int picture; // shown afterwards
    };
    struct Case {
        double seekTo;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        // Picture 25 shows from 1.00 s to 1.04 s.
        {1.0, {{0.03, 25}, {0.02, 26}, {0.1, 28}, {0.0, 28}, {0.5, 41}}},
        // Across a keyframe (picture 32) and several pictures in one step.
        {1.2, {{0.1, 32}, {0.1, 35}}},
        // From the start, frame by frame at the movie's rate plus a little.
        {0.0, {{0.041, 1}, {0.041, 2}, {0.041, 3}}},
        // Advancing past the last picture starts again from picture 0.
        {3.99, {{0.03, 100}, {0.03, 0}, {0.05, 1}}},
    };
    for (const Case &c : cases) {
        MemoryMovie movie(readMovie(RAMP));
        movie->seek(c.seekTo);
        double time = movie->getTime();
        for (const Step &s : c.steps) {
            movie->advance(s.dt);
            time += s.dt;
            EXPECT_EQ(movie->getCurrentFrame(), s.picture + 1) << "seek " << c.seekTo << " then " << s.dt;
            EXPECT_TRUE(showsRampPicture(*movie, s.picture, TOLERANCE)) << "seek " << c.seekTo << " then " << s.dt;
            if (s.picture == 0)
                time = movie->getTime(); // started again
        }
        EXPECT_NEAR(movie->getTime(), time, 1e-9) << c.seekTo;
    }
}

TEST(Stream, PlayingThroughLoopsAndEveryPictureIsShownInOrder)
{
    MemoryMovie movie(readMovie(RAMP));
    std::vector<int> shown;
    for (int i = 0; i < 101 + 5; i++) {
        shown.push_back(movie->getCurrentFrame());
        movie->advance(0.04 + 1e-9);
    }
    for (int i = 0; i < 101; i++)
        ASSERT_EQ(shown[static_cast<size_t>(i)], i + 1) << i;
    EXPECT_EQ(shown[101], 1); // started again
    EXPECT_EQ(shown[102], 2);
}

TEST(Stream, PausedMovieKeepsItsTimePictureAndSilence)
{
    MemoryMovie movie(readMovie(SPLIT_444));
    for (int i = 0; i < 5; i++)
        movie->advance(1.0 / 30);
    ASSERT_GT(movie->getSample()->getFrameCount(), 0);

    MDL_Sound sound;
    sound.setSample(movie->getSample());
    float playing = 0.0f;
    for (int i = 0; i < 2000; i++)
        playing = std::max(playing, std::fabs(sound.getValue(i)));
    EXPECT_GT(playing, 0.05f);

    movie->pause();
    EXPECT_TRUE(movie->isPaused());
    int frame = movie->getCurrentFrame();
    double time = movie->getTime();
    int queued = movie->getSample()->getFrameCount();
    for (int i = 0; i < 10; i++)
        movie->advance(0.1);
    EXPECT_EQ(movie->getCurrentFrame(), frame);
    EXPECT_EQ(movie->getTime(), time);
    for (int i = 0; i < 2000; i++)
        ASSERT_EQ(sound.getValue(i), 0.0f) << i;
    // Mixing while paused consumes nothing.
    movie->consumeMixedAudio(4096, 44100);
    EXPECT_EQ(movie->getSample()->getFrameCount(), queued);

    movie->play();
    movie->advance(0.1);
    EXPECT_GT(movie->getCurrentFrame(), frame);
}

TEST(Stream, AudioQueueFillsAndDrainsByWhatWasMixed)
{
    struct Case {
        const char *file;
        int channels, rate;
        int drop; // frames dropped for 4096 frames mixed at 44100 Hz
    };
    const Case cases[] = {{SPLIT_444, 2, 44100, 4096}, {SPLIT_422, 1, 22050, 2048}};
    for (const Case &c : cases) {
        MemoryMovie movie(readMovie(c.file));
        ASSERT_TRUE(movie->hasAudio()) << c.file;
        MDL_Sample *audio = movie->getSample();
        // Half a second of playing.
        double fps = movie->getFrameRate();
        for (int i = 0; i < static_cast<int>(fps / 2); i++)
            movie->advance(1.0 / fps);
        int queued = audio->getFrameCount();
        EXPECT_GT(queued, c.rate / 4) << c.file;
        EXPECT_LT(queued, c.rate * 2) << c.file;
        ASSERT_EQ(audio->getChannelCount(), c.channels) << c.file;

        // The test tone: a 440 Hz sine of amplitude 1/8 (RMS about 0.088),
        // the same on both channels.
        double sum = 0.0;
        const float *first = audio->getChannelData(0);
        for (int i = 0; i < queued; i++)
            sum += first[i] * first[i];
        double rms = std::sqrt(sum / queued);
        EXPECT_GT(rms, 0.06) << c.file;
        EXPECT_LT(rms, 0.12) << c.file;
        if (c.channels == 2) {
            const float *second = audio->getChannelData(1);
            for (int i = 0; i < queued; i += 101)
                ASSERT_NEAR(first[i], second[i], 0.02) << c.file << " " << i;
        }

        float after = first[c.drop];
        movie->consumeMixedAudio(4096, 44100);
        EXPECT_EQ(audio->getFrameCount(), queued - c.drop) << c.file;
        EXPECT_EQ(audio->getChannelData(0)[0], after) << c.file;
        movie->consumeAudio(audio->getFrameCount() + 10);
        EXPECT_EQ(audio->getFrameCount(), 0) << c.file;
        EXPECT_EQ(audio->getChannelData(0), nullptr) << c.file;
        expectSane(*movie, c.file);
    }
}

TEST(Stream, SeekRefillsTheAudioQueueFromTheNewTime)
{
    MemoryMovie movie(readMovie(SPLIT_444));
    for (int i = 0; i < 20; i++)
        movie->advance(1.0 / 30);
    int before = movie->getSample()->getFrameCount();
    ASSERT_GT(before, 0);

    movie->seek(0.5);
    // The queue was emptied; what it holds now was decoded after the seek,
    // from the audio of the pages around the new time.
    EXPECT_LT(movie->getSample()->getFrameCount(), before);
    for (int i = 0; i < 3; i++)
        movie->advance(1.0 / 30);
    EXPECT_GT(movie->getSample()->getFrameCount(), 0);
    expectSane(*movie, "after seek");
}

TEST(Stream, WithoutPicturesTheDurationIsZero)
{
    struct Case {
        const char *what;
        Bytes bytes;
        const char *diagnostic;
    };
    Bytes garbage(5000);
    for (size_t i = 0; i < garbage.size(); i++)
        garbage[i] = static_cast<unsigned char>((i * 2654435761u) >> 13);
    Bytes ramp = readMovie(RAMP);
    std::vector<PageSpan> pages = listPages(ramp);
    ASSERT_GE(pages.size(), 4u);
    // The header pages cut off before the setup header is complete.
    Bytes headersCut(ramp.begin(), ramp.begin() + static_cast<long>(pages[1].m_uiOffset + 20));
    // Every picture packet overwritten (marked as a header, which no
    // picture is), the headers intact.
    Bytes undecodable = ramp;
    for (size_t i = 2; i < pages.size(); i++) {
        memset(&undecodable[pages[i].m_uiOffset + pages[i].m_uiHeader], 0xFF, pages[i].m_uiBody);
        fixChecksum(undecodable, pages[i]);
    }
    const Case cases[] = {
        {"Vorbis only", readData("media/sine-44100-mono.ogg"), "no Theora video stream"},
        {"no picture decodes", undecodable, "no picture could be decoded"},
        {"not Ogg at all", garbage, "no Theora video stream"},
        {"one byte", Bytes(1, 'O'), "no Theora video stream"},
        {"no data", Bytes(), "no data"},
        {"headers cut", headersCut, "ends within the stream headers"},
    };
    for (const Case &c : cases) {
        TEST_LogCapture log;
        MemoryMovie movie(c.bytes);
        EXPECT_FALSE(movie->hasVideo()) << c.what;
        EXPECT_FALSE(movie->hasAudio()) << c.what;
        EXPECT_EQ(movie->getDuration(), 0.0) << c.what;
        EXPECT_EQ(movie->getCurrentFrame(), -1) << c.what;
        EXPECT_TRUE(log.contains(c.diagnostic)) << c.what << ": " << log.joined();
        // Never read: advancing and seeking do nothing.
        movie->advance(0.5);
        movie->seek(1.0);
        EXPECT_EQ(movie->getTime(), 0.0) << c.what;
        EXPECT_EQ(movie->getCurrentFrame(), -1) << c.what;
        expectSane(*movie, c.what);
    }
}

TEST(Stream, HeaderSizesAreCheckedBeforeAllocation)
{
    // Fields of the Theora identification header, by byte offset in it:
    // frame size in macroblocks (16 bits each) at 10 and 12, picture size
    // (24 bits each) at 14 and 17, picture offset at 20 and 21, frame rate
    // (32 bits each) at 22 and 26.
    struct Field {
        size_t offset;
        int bytes;
        uint32_t value;
    };
    struct Case {
        const char *what;
        std::vector<Field> fields;
    };
    const Case cases[] = {
        {"absurd frame", {{10, 2, 0xFFFF}, {12, 2, 0xFFFF}, {14, 3, 0xFFFF0}, {17, 3, 0xFFFF0}}},
        {"too wide", {{10, 2, 1025}, {14, 3, 16400}}},
        {"too many pixels", {{10, 2, 1024}, {12, 2, 1024}, {14, 3, 16384}, {17, 3, 16384}}},
        {"picture outside the frame", {{14, 3, 40}}},
        {"offset pushes the picture out", {{20, 1, 9}}},
        {"no picture", {{14, 3, 0}}},
        {"frame rate 0 / 1", {{22, 4, 0}}},
        {"frame rate 1 / 0", {{26, 4, 0}}},
    };
    Bytes ramp = readMovie(RAMP);
    for (const Case &c : cases) {
        Bytes bytes = ramp;
        PageSpan page;
        size_t header = theoraHeaderAt(bytes, &page);
        for (const Field &f : c.fields)
            putBigEndian(bytes, header + f.offset, f.bytes, f.value);
        fixChecksum(bytes, page);
        TEST_LogCapture log;
        MemoryMovie movie(bytes);
        EXPECT_FALSE(movie->hasVideo()) << c.what;
        EXPECT_EQ(movie->getTexture()->m_pucData, nullptr) << c.what;
        EXPECT_TRUE(log.contains("Movie \"test.ogv\"")) << c.what << ": " << log.joined();
        expectSane(*movie, c.what);
    }

    // The caller's bound on the frame size: the ramp movie's frame is
    // 32 x 32 (a 32 x 24 picture).
    {
        TEST_LogCapture log;
        MemoryMovie refused(ramp, 32 * 32 - 1);
        EXPECT_FALSE(refused->hasVideo());
        EXPECT_TRUE(log.contains("refused frame size 32 x 32")) << log.joined();
    }
    MemoryMovie accepted(ramp, 32 * 32);
    EXPECT_TRUE(accepted->hasVideo());
}

TEST(Stream, DamagedFilesEndCleanly)
{
    // Cuts at every length class and bytes overwritten all over: each ends
    // with pictures or without, a diagnostic when there are none, and never
    // reads outside the data or loops for ever.
    struct Source {
        const char *file;
        size_t step;
    };
    const Source sources[] = {{RAMP, 331}, {SPLIT_444, 457}, {SPLIT_422, 523}};
    for (const Source &s : sources) {
        Bytes whole = readMovie(s.file);
        std::vector<Bytes> variants;
        for (size_t cut = 0; cut < whole.size(); cut += s.step)
            variants.push_back(Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
        uint32_t seed = 12345;
        for (int v = 0; v < 24; v++) {
            Bytes damaged = whole;
            for (int k = 0; k < 1 + v % 4; k++) {
                seed = seed * 1103515245u + 12345u;
                damaged[(seed >> 8) % damaged.size()] ^= static_cast<unsigned char>(1u << (seed % 8));
            }
            variants.push_back(damaged);
        }
        for (size_t v = 0; v < variants.size(); v++) {
            TEST_LogCapture log;
            MemoryMovie movie(variants[v]);
            std::string what = std::string(s.file) + " variant " + std::to_string(v);
            if (!movie->hasVideo()) {
                EXPECT_FALSE(log.m_asLines.empty()) << what;
            }
            for (int i = 0; i < 30; i++)
                movie->advance(0.07);
            movie->seek(0.5);
            movie->advance(0.2);
            movie->seek(100.0);
            movie->advance(0.2);
            expectSane(*movie, what.c_str());
        }
    }
}

TEST(Stream, OpensThroughTheStreamLayer)
{
    TEST_TempDir dir;
    Bytes ramp = readMovie(RAMP);
    TEST_DocumentBuilder builder;
    builder.add("movies/ramp.ogv", ramp);
    dir.write("docs/beside.ogv", ramp);
    CTRL_Generic controller(nullptr, CTRL_PLATFORM_LINUX);
    ASSERT_TRUE(controller.openDocument(dir.write("docs/doc.vk", builder.build()).c_str()));

    struct Case {
        const char *name;
        bool opens;
    };
    const Case cases[] = {
        {"movies/ramp.ogv", true},     {"./movies/ramp.ogv", true}, {"//beside.ogv", true},
        {"movies/missing.ogv", false}, {"//missing.ogv", false},
    };
    for (const Case &c : cases) {
        TEST_LogCapture log;
        MDL_Stream movie(c.name, CTRL_StreamReader::open(&controller, c.name));
        EXPECT_EQ(movie.hasVideo(), c.opens) << c.name;
        EXPECT_STREQ(movie.getName(), c.name);
        if (!c.opens) {
            EXPECT_EQ(movie.m_poFile, nullptr) << c.name;
            EXPECT_TRUE(log.contains("cannot be opened")) << c.name << ": " << log.joined();
            continue;
        }
        EXPECT_EQ(movie.m_iFileSize, static_cast<int>(ramp.size())) << c.name;
        EXPECT_EQ(movie.getFrameCount(), 101) << c.name;
        movie.seek(2.0);
        EXPECT_EQ(movie.getCurrentFrame(), 51) << c.name;
        EXPECT_TRUE(showsRampPicture(movie, 50, TOLERANCE)) << c.name;
        movie.advance(0.05);
        EXPECT_EQ(movie.getCurrentFrame(), 52) << c.name;
    }
    // Without a controller nothing opens.
    TEST_LogCapture log;
    MDL_Stream orphan("movies/ramp.ogv", CTRL_StreamReader::open(nullptr, "movies/ramp.ogv"));
    EXPECT_FALSE(orphan.hasVideo());
}

TEST(Stream, RemovedStreamLeavesNoDanglingPointer)
{
    Bytes bytes = readMovie(SPLIT_444);
    MDL_Sound sound;
    MDL_Texture *texture = nullptr;
    {
        MemoryMovie movie(bytes);
        movie->advance(0.1);
        sound.setSample(movie->getSample());
        EXPECT_EQ(MDL_Sound::countUsers(movie->getSample()), 1);
        // The controller keeps the texture for materials that still show it.
        texture = movie->releaseTexture();
        EXPECT_EQ(texture, movie->getTexture());
        movie->advance(0.1);
        EXPECT_TRUE(texture->m_bFrameChanged);
    }
    // The sound no longer plays the queue that went with the stream.
    EXPECT_EQ(sound.getSample(), nullptr);
    EXPECT_EQ(sound.getValue(0), 0.0f);
    // The texture outlives the stream as an empty frame.
    EXPECT_TRUE(texture->m_bIsFrame);
    EXPECT_EQ(texture->m_pucData, nullptr);
    EXPECT_EQ(texture->m_iWidth, 0);
    EXPECT_EQ(texture->m_iHeight, 0);
    EXPECT_EQ(texture->m_iSize, 0u);
    delete texture;

    // A closed stream has nothing left to show or play.
    MemoryMovie movie(bytes);
    movie->close();
    EXPECT_FALSE(movie->hasVideo());
    EXPECT_FALSE(movie->hasAudio());
    EXPECT_EQ(movie->getTexture()->m_pucData, nullptr);
    movie->advance(0.1);
    movie->seek(0.5);
    expectSane(*movie, "closed");
}
