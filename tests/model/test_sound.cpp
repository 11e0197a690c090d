// Sound objects: the values the mixer reads, how the play position moves on,
// loops and ends, and how a sound lets go of a sample that is destroyed.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "model/MDL_Sample.h"
#include "model/MDL_Sound.h"

namespace {

// A mono sample of the given length whose frame k holds k + 1 (so a value
// tells which frame was read, and 0 is never a frame's value).
std::unique_ptr<MDL_Sample> countingSample(int frames, int rate = 44100)
{
    std::unique_ptr<MDL_Sample> sample(new MDL_Sample());
    EXPECT_TRUE(sample->setFormat(rate, 1));
    std::vector<float> values(static_cast<size_t>(frames > 0 ? frames : 1));
    for (int k = 0; k < frames; k++)
        values[static_cast<size_t>(k)] = static_cast<float>(k + 1);
    const float *channels[1] = {values.data()};
    sample->appendFrames(channels, frames);
    return sample;
}

} // namespace

TEST(Sound, NewAndCopiedSounds)
{
    std::unique_ptr<MDL_Sample> sample = countingSample(10);
    MDL_Sound sound;
    EXPECT_EQ(sound.getType(), OBJECT_SOUND);
    EXPECT_EQ(sound.getName(), nullptr);
    EXPECT_EQ(sound.m_poSample, nullptr);
    EXPECT_EQ(sound.m_fVolume, 1.0);
    EXPECT_EQ(sound.m_iPlayOffset, 0);
    EXPECT_FALSE(sound.m_bLooping);
    EXPECT_TRUE(sound.m_bAutoDelete);
    EXPECT_EQ(sound.m_iChannel, 0);

    sound.setName("bell");
    sound.setSample(sample.get());
    sound.setVolume(0.25);
    sound.m_iPlayOffset = 7;
    sound.setLooping(true);
    sound.setAutoDelete(false);
    sound.m_iChannel = 3;
    MDL_Sound copy(sound);
    EXPECT_EQ(copy.getType(), OBJECT_SOUND);
    EXPECT_STREQ(copy.getName(), "bell");
    EXPECT_EQ(copy.getSample(), sample.get());
    EXPECT_EQ(copy.getVolume(), 0.25);
    EXPECT_EQ(copy.m_iPlayOffset, 7);
    EXPECT_TRUE(copy.getLooping());
    EXPECT_FALSE(copy.getAutoDelete());
    EXPECT_EQ(copy.m_iChannel, 0);
    EXPECT_EQ(MDL_Sound::countUsers(sample.get()), 2);
}

TEST(Sound, ValuesReadAtThePlayPosition)
{
    const int length = 10;
    std::unique_ptr<MDL_Sample> sample = countingSample(length);
    std::unique_ptr<MDL_Sample> empty = countingSample(0);
    struct Case {
        const char *what;
        MDL_Sample *sample;
        int offset;
        bool looping;
        bool streamed;
        bool paused;
        int i;
        float expected;
    };
    const Case cases[] = {
        {"no sample", nullptr, 0, false, false, false, 0, 0.0f},
        {"first frame", sample.get(), 0, false, false, false, 0, 1.0f},
        {"offset plus index", sample.get(), 3, false, false, false, 4, 8.0f},
        {"last frame", sample.get(), 9, false, false, false, 0, 10.0f},
        {"past the end", sample.get(), 9, false, false, false, 1, 0.0f},
        {"far past the end", sample.get(), 2000000000, false, false, false, 2000000000, 0.0f},
        {"before the start", sample.get(), -3, false, false, false, 1, 0.0f},
        {"looping wraps to the first value", sample.get(), length - 1, true, false, false, 1, 1.0f},
        {"looping far past the end", sample.get(), 4, true, false, false, 10 * length + 3, 8.0f},
        {"looping, extreme position", sample.get(), 2147483647, true, false, false, 2147483647, 5.0f},
        {"looping before the start", sample.get(), -3, true, false, false, 1, 9.0f},
        {"looping over an empty sample", empty.get(), 5, true, false, false, 7, 0.0f},
        {"empty sample", empty.get(), 0, false, false, false, 0, 0.0f},
        {"paused", sample.get(), 0, true, false, true, 2, 0.0f},
        {"queue read from index 0", sample.get(), 5, true, true, false, 2, 3.0f},
        {"queue past its end", sample.get(), 0, true, true, false, length, 0.0f},
        {"queue before its start", sample.get(), 0, false, true, false, -1, 0.0f},
        {"paused queue", sample.get(), 0, false, true, true, 2, 0.0f},
    };
    for (const Case &c : cases) {
        MDL_Sound sound;
        sound.setSample(c.sample);
        sound.m_iPlayOffset = c.offset;
        sound.setLooping(c.looping);
        if (c.sample != nullptr) {
            c.sample->m_bStreamed = c.streamed;
            c.sample->m_bPaused = c.paused;
        }
        EXPECT_EQ(sound.getValue(c.i), c.expected) << c.what;
        if (c.sample != nullptr) {
            c.sample->m_bStreamed = false;
            c.sample->m_bPaused = false;
        }
    }

    // A channel that the sample lacks reads as silence.
    MDL_Sound sound;
    sound.setSample(sample.get());
    sound.m_iChannel = 1;
    EXPECT_EQ(sound.getValue(0), 0.0f);
    sound.m_iChannel = -1;
    EXPECT_EQ(sound.getValue(0), 0.0f);
}

TEST(Sound, AdvancingLoopsOrEnds)
{
    struct Case {
        const char *what;
        int length;
        int rate;
        int offset;
        bool looping;
        bool autoDelete;
        int frames;
        int outputRate;
        int expectedOffset;
        bool expectedRemove;
    };
    const Case cases[] = {
        {"plays on", 44100, 44100, 0, false, true, 4096, 44100, 4096, false},
        {"half rate moves half as far", 44100, 22050, 100, false, true, 4096, 44100, 2148, false},
        {"rate beyond the output's", 100000, 48000, 0, false, true, 12288, 44100, 13374, false},
        {"reaches the end exactly: removed", 4096, 44100, 0, false, true, 4096, 44100, 4096, true},
        {"ends without auto-delete: kept silent at the end", 1000, 44100, 900, false, false, 4096, 44100, 1000, false},
        {"looping wraps by the length", 5000, 44100, 4000, true, true, 4096, 44100, 3096, false},
        {"looping sample shorter than the mix", 100, 44100, 0, true, true, 12288, 44100, 88, false},
        {"looping one-frame sample", 1, 44100, 0, true, true, 4096, 44100, 0, false},
        {"looping empty sample", 0, 44100, 0, true, true, 4096, 44100, 0, false},
        {"empty sample ends at once", 0, 44100, 0, false, true, 4096, 44100, 0, true},
        {"no frames mixed", 10, 44100, 3, false, true, 0, 44100, 3, false},
        {"no output rate", 10, 44100, 3, false, true, 4096, 0, 3, false},
        {"extreme offset does not overflow", 1000, 44100, 2147483637, true, true, 4096, 44100, 733, false},
    };
    for (const Case &c : cases) {
        std::unique_ptr<MDL_Sample> sample = countingSample(c.length, c.rate);
        MDL_Sound sound;
        sound.setSample(sample.get());
        sound.m_iPlayOffset = c.offset;
        sound.setLooping(c.looping);
        sound.setAutoDelete(c.autoDelete);
        EXPECT_EQ(sound.advance(c.frames, c.outputRate), c.expectedRemove) << c.what;
        EXPECT_EQ(sound.m_iPlayOffset, c.expectedOffset) << c.what;
        // Whatever the position, every value read stays inside the sample.
        for (int i = 0; i < 3 * c.frames && i < 20000; i += 97)
            EXPECT_TRUE(std::isfinite(sound.getValue(i))) << c.what;
    }

    // Without a sample a sound never moves and never ends; a movie's queue is
    // drained by its stream, not by its sounds.
    MDL_Sound silent;
    EXPECT_FALSE(silent.advance(4096, 44100));
    EXPECT_EQ(silent.m_iPlayOffset, 0);
    std::unique_ptr<MDL_Sample> queue = countingSample(10);
    queue->m_bStreamed = true;
    MDL_Sound queued;
    queued.setSample(queue.get());
    EXPECT_FALSE(queued.advance(4096, 44100));
    EXPECT_EQ(queued.m_iPlayOffset, 0);
}

// The mixer reads whole runs of frames: each run gives exactly the single
// values, wherever it starts (before the sample, across its end, far out)
// and however the sound reads its sample.
TEST(Sound, RunsOfValuesAreTheSingleValues)
{
    const int length = 10;
    std::unique_ptr<MDL_Sample> sample = countingSample(length);
    std::unique_ptr<MDL_Sample> empty = countingSample(0);
    const int64_t firsts[] = {-25, -1, 0, 3, 8, 25, 2147483000};
    const int offsets[] = {-3, 0, 4, 9, 2147483637};
    for (MDL_Sample *source : {sample.get(), empty.get(), static_cast<MDL_Sample *>(nullptr)})
        for (int mode = 0; mode < 4; mode++) // looping, then streamed, each off and on
            for (int offset : offsets)
                for (int64_t first : firsts) {
                    MDL_Sound sound;
                    sound.setSample(source);
                    sound.m_iPlayOffset = offset;
                    sound.setLooping((mode & 1) != 0);
                    if (source != nullptr)
                        source->m_bStreamed = (mode & 2) != 0;
                    const int count = 37;
                    float run[count], gathered[count];
                    int64_t frames[count];
                    for (int k = 0; k < count; k++)
                        frames[k] = first + k;
                    sound.getValues(first, count, run);
                    sound.gatherValues(frames, count, gathered);
                    for (int k = 0; k < count; k++) {
                        EXPECT_EQ(run[k], sound.getValue(static_cast<int>(first + k)))
                            << mode << " " << offset << " " << first << " " << k;
                        EXPECT_EQ(gathered[k], run[k]);
                    }
                    if (source != nullptr)
                        source->m_bStreamed = false;
                }
}

// A sample without a rate cannot be timed: a sound of it ends at once
// instead of never.
TEST(Sound, ASampleWithoutARateEndsAtOnce)
{
    std::unique_ptr<MDL_Sample> sample = countingSample(10);
    sample->m_iSampleRate = 0;
    MDL_Sound ending;
    ending.setSample(sample.get());
    EXPECT_TRUE(ending.advance(4096, 44100));
    EXPECT_EQ(ending.m_iPlayOffset, 10);
    MDL_Sound looping;
    looping.setSample(sample.get());
    looping.setLooping(true);
    looping.m_iPlayOffset = 3;
    EXPECT_FALSE(looping.advance(4096, 44100));
    EXPECT_EQ(looping.m_iPlayOffset, 0);
    looping.seek(2.0);
    EXPECT_EQ(looping.m_iPlayOffset, 0);
    EXPECT_EQ(looping.getTime(), 0.0);
}

TEST(Sound, SeekAndTimeInSeconds)
{
    std::unique_ptr<MDL_Sample> sample = countingSample(10, 44100);
    MDL_Sound sound;
    sound.seek(2.0); // no sample: nothing
    EXPECT_EQ(sound.m_iPlayOffset, 0);
    EXPECT_EQ(sound.getTime(), 0.0);

    sound.setSample(sample.get());
    struct Case {
        double seconds;
        int offset;
    };
    const Case cases[] = {{0.5, 22050}, {0.0, 0}, {1.00001, 44100}, {-1.0, 0}, {NAN, 0}, {1e12, 2147483647}};
    for (const Case &c : cases) {
        sound.seek(c.seconds);
        EXPECT_EQ(sound.m_iPlayOffset, c.offset) << c.seconds;
    }
    sound.seek(0.5);
    EXPECT_DOUBLE_EQ(sound.getTime(), 0.5);
}

TEST(Sound, DestroyedSampleIsLetGoByEverySound)
{
    std::unique_ptr<MDL_Sample> kept = countingSample(10);
    std::unique_ptr<MDL_Sample> doomed = countingSample(10);
    std::unique_ptr<MDL_Sound> a(new MDL_Sound());
    std::unique_ptr<MDL_Sound> b(new MDL_Sound());
    std::unique_ptr<MDL_Sound> c(new MDL_Sound());
    a->setSample(doomed.get());
    b->setSample(kept.get());
    c->setSample(doomed.get());
    std::unique_ptr<MDL_Sound> d(new MDL_Sound(*c));
    EXPECT_EQ(MDL_Sound::countUsers(doomed.get()), 3);

    // Sounds leave the register in any order.
    c.reset();
    EXPECT_EQ(MDL_Sound::countUsers(doomed.get()), 2);

    doomed.reset();
    EXPECT_EQ(a->getSample(), nullptr);
    EXPECT_EQ(d->getSample(), nullptr);
    EXPECT_EQ(b->getSample(), kept.get());
    // A sound that lost its sample is silent and never ends.
    EXPECT_EQ(a->getValue(0), 0.0f);
    EXPECT_FALSE(a->advance(4096, 44100));

    MDL_Sound::forgetSample(nullptr);
    EXPECT_EQ(b->getSample(), kept.get());
    MDL_Sound::forgetSample(kept.get());
    EXPECT_EQ(b->getSample(), nullptr);
}
