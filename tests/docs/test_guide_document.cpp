// The guide's whole document is the committed folder docs/examples/crate:
// the guide shows its script and objects as they are, and the folder packs
// and plays headless as the guide says, with the picture, the sound and the
// standard error that the guide tells the author to look for.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/UTIL_Bitmap.h"
#include "tests/docs/guide_text.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_Process.h"
#include "tests/support/TEST_Wav.h"

namespace {

const std::string FOLDER = std::string(VEKTA_SOURCE_DIR) + "/docs/examples/crate";

// The block of that language on the guide's page of the whole document.
std::string pageBlock(const std::string &language)
{
    std::vector<const GuideSection *> sections = TEST_authorsGuide().sectionsStartingWith("A whole document");
    return sections.size() == 1 ? sections[0]->codeBlock(language) : "";
}

// Pixels of a rectangle (inclusive, from the top left) that pass a test.
template <typename Test> int countPixels(const UTIL_Bitmap &image, int x0, int y0, int x1, int y1, Test test)
{
    int n = 0;
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++)
            n += test(TEST_pixelFromTop(image, x, y)) ? 1 : 0;
    return n;
}

bool near(const unsigned char *p, int r, int g, int b, int tolerance)
{
    return std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance && std::abs(p[2] - b) <= tolerance;
}

int peak(const TEST_Wav &wav, int64_t from, int64_t to, bool right)
{
    int most = 0;
    for (int64_t f = from; f < to && f < wav.frames(); f++)
        most = std::max(most, std::abs(static_cast<int>(right ? wav.right(f) : wav.left(f))));
    return most;
}

} // namespace

TEST(GuideDocument, ThePageShowsTheFolderAsItIs)
{
    std::string lua = pageBlock("lua");
    ASSERT_FALSE(lua.empty()) << "no lua block on the page \"A whole document\"";
    EXPECT_EQ(lua, TEST_readText(FOLDER + "/init.lua"));
    std::string xml = pageBlock("xml");
    ASSERT_FALSE(xml.empty()) << "no xml block on the page \"A whole document\"";
    EXPECT_NE(TEST_readText(FOLDER + "/models.xml").find(xml), std::string::npos)
        << "the page's objects are not those of models.xml";
}

// The guide's commands, with and without its click: the crate has fallen
// onto the floor, its face away from the lamp shows the ambient grey, the
// click (and only the click) turns it red and the caption yellow, and the
// capture is silent until the knock of the landing, then silent again.
// Everything is read with tolerances: where exactly the crate comes to rest
// is the physics' business.
TEST(GuideDocument, PacksAndPlaysAsThePageSays)
{
    std::string input = pageBlock("text");
    ASSERT_FALSE(input.empty()) << "no text block (the input file) on the page \"A whole document\"";
    TEST_TempDir dir;
    std::string document = dir.path("crate.vk");
    TEST_ProcessResult packed = TEST_run(VEKTA_PACK_EXE, {"-o", document, FOLDER});
    ASSERT_EQ(packed.m_iExitCode, 0) << packed.m_sErr;
    std::string clicks = dir.write("click.txt", input);

    const int wood[3] = {185, 143, 102}, red[3] = {200, 78, 70};
    const int white[3] = {255, 255, 255}, yellow[3] = {255, 217, 51};
    const struct {
        bool click;
        const int *face, *caption;
    } cases[] = {{false, wood, white}, {true, red, yellow}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.click ? "with the click" : "without the click");
        std::string shot = dir.path("crate.png"), sound = dir.path("crate.wav");
        std::vector<std::string> arguments = {"--headless",   "--frames", "150",         "--dt", "0.02",
                                              "--screenshot", shot,       "--audio-out", sound};
        if (c.click) {
            arguments.push_back("--input");
            arguments.push_back(clicks);
        }
        arguments.push_back(document);
        TEST_ProcessResult run = TEST_run(VEKTA_PLAYER_EXE, arguments);
        ASSERT_EQ(run.m_iExitCode, 0) << run.m_sErr;
        EXPECT_NE(run.m_sErr.find("crate.vk loaded in "), std::string::npos) << run.m_sErr;
        EXPECT_NE(run.m_sErr.find("the crate landed\n"), std::string::npos) << run.m_sErr;
        EXPECT_EQ(run.m_sErr.find("the crate was clicked\n") != std::string::npos, c.click) << run.m_sErr;

        UTIL_Bitmap image;
        TEST_readPng(shot, image);
        ASSERT_EQ(image.m_iWidth, 800);
        ASSERT_EQ(image.m_iHeight, 600);
        auto sky = [](const unsigned char *p) { return near(p, 140, 178, 217, 3); };
        auto face = [&](const unsigned char *p) { return near(p, c.face[0], c.face[1], c.face[2], 30); };
        auto ambient = [](const unsigned char *p) { return near(p, 51, 51, 51, 6); };
        auto caption = [&](const unsigned char *p) { return near(p, c.caption[0], c.caption[1], c.caption[2], 40); };
        // Where the crate started, high above the floor: sky only.
        EXPECT_EQ(countPixels(image, 340, 80, 460, 200, sky), 121 * 121);
        // Where it rests: its front face, lit, fills most of a box well
        // inside that face, and its right face has only the ambient light.
        EXPECT_GT(countPixels(image, 330, 400, 410, 500, face), 81 * 101 * 9 / 10);
        EXPECT_GT(countPixels(image, 450, 410, 480, 490, ambient), 31 * 81 * 9 / 10);
        EXPECT_GT(countPixels(image, 20, 25, 450, 62, caption), 1000);

        TEST_Wav wav = TEST_readWav(sound);
        ASSERT_TRUE(wav.m_bValid) << wav.m_sError;
        ASSERT_EQ(wav.frames(), 12288 + 32 * 4096);
        // Silence until the crate can have touched the floor: a fall of 2.5
        // takes more than 0.71 s, so the knock starts in frame 36 or later,
        // at the capture's frame 40960 or later (a buffer after 36864).
        // Then the knock within a second, and silence to the end.
        EXPECT_EQ(peak(wav, 0, 36864, false) + peak(wav, 0, 36864, true), 0);
        EXPECT_GT(peak(wav, 36864, 36864 + 44100, false), 1000);
        EXPECT_GT(peak(wav, 36864, 36864 + 44100, true), 1000);
        EXPECT_EQ(peak(wav, 36864 + 44100, wav.frames(), false) + peak(wav, 36864 + 44100, wav.frames(), true), 0);
    }
}
