// The player draws: headless into an off-screen framebuffer, or in a window
// (on an X server of the test's own), and writes what the last frame drew
// as a PNG file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "foundation/UTIL_Bitmap.h"
#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_ModelsSetWriter.h"
#include "tests/support/TEST_Process.h"
#include "tests/support/TEST_XServer.h"

namespace {

// A blue background, a red cube in the middle seen by a camera, and a line
// on standard error for every frame.
std::string drawingDocument(const TEST_TempDir &dir)
{
    TEST_ModelsSetWriter models = TEST_ModelsSetWriter::sample();
    models.addObject(TEST_placedObject("Camera", "camera", MTH_Vector3D(0, 0, 6)));
    // An opaque box (the sample's material shows a texture with alpha, which
    // makes its meshes transparent).
    models.addMaterial(TEST_MaterialRecord("plain").diffuse(1, 0.5, 0).child("shadeless", "1"));
    TEST_ObjectRecord box = TEST_placedObject("Mesh", "box", MTH_Vector3D(0, 0, 0));
    box.m_sMesh = "cube";
    box.m_sMaterial = "plain";
    models.addObject(box);
    TEST_DocumentBuilder document;
    document.add("scene.xml", models.text());
    document.add("init.lua",
                 "function startup()\n"
                 "  setBackgroundColor(color(0, 0.5, 1, 1))\n"
                 "  local scene = newScene('s')\n"
                 "  local models = newModelsSet('scene.xml')\n"
                 "  newViewport(0, 0, 1, getAspectRatio()):setCamera(newCamera(scene, models:get('camera')))\n"
                 "  newMesh(scene, models:get('box'))\n"
                 "  local n = 0\n"
                 "  setCallback(CB_UPDATE, function() n = n + 1 print('frame ' .. n) end)\n"
                 "end\n");
    return dir.write("drawing.vk", document.build());
}

int countOf(const std::string &text, const std::string &part)
{
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        n++;
    return n;
}

// EGL without any driver: the player finds no OpenGL.
const TEST_Environment NO_OPENGL = {"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent"};

TEST(PlayerDrawing, HeadlessScreenshotShowsTheLastFrame)
{
    TEST_TempDir dir;
    std::string document = drawingDocument(dir), shot = dir.path("shot.png");
    TEST_ProcessResult result = TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--frames", "4", "--dt", "0.02", "--size",
                                                            "160x120", "--screenshot", shot, document});
    ASSERT_EQ(result.m_iExitCode, 0) << result.m_sErr;
    EXPECT_EQ(countOf(result.m_sErr, "frame "), 4) << result.m_sErr;
    EXPECT_EQ(result.m_sErr.find("no OpenGL"), std::string::npos) << result.m_sErr;
    UTIL_Bitmap image;
    TEST_readPng(shot, image);
    ASSERT_EQ(image.m_iWidth, 160);
    ASSERT_EQ(image.m_iHeight, 120);
    ASSERT_EQ(image.m_iComponents, 3);
    // The background in the corners, the cube over it in the middle.
    for (const unsigned char *at : {TEST_pixelFromTop(image, 0, 0), TEST_pixelFromTop(image, 159, 119)}) {
        EXPECT_EQ(at[0], 0);
        EXPECT_NEAR(at[1], 128, 1);
        EXPECT_EQ(at[2], 255);
    }
    const unsigned char *middle = TEST_pixelFromTop(image, 80, 60);
    EXPECT_GT(abs(middle[0] - 0) + abs(middle[1] - 128) + abs(middle[2] - 255), 60);
}

TEST(PlayerDrawing, WithoutOpenGLNothingIsDrawnAndNoScreenshotMade)
{
    TEST_TempDir dir;
    std::string document = drawingDocument(dir), shot = dir.path("shot.png");
    TEST_ProcessResult plain =
        TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--frames", "3", "--dt", "0.02", document}, NO_OPENGL);
    EXPECT_EQ(plain.m_iExitCode, 0) << plain.m_sErr;
    // One line says so, and the frames still run.
    size_t said = plain.m_sErr.find("vekta: no OpenGL (");
    ASSERT_NE(said, std::string::npos) << plain.m_sErr;
    EXPECT_NE(plain.m_sErr.find("): drawing nothing\n", said), std::string::npos) << plain.m_sErr;
    EXPECT_EQ(countOf(plain.m_sErr, "frame "), 3) << plain.m_sErr;

    TEST_ProcessResult asked =
        TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--frames", "3", "--screenshot", shot, document}, NO_OPENGL);
    EXPECT_EQ(asked.m_iExitCode, 1);
    EXPECT_NE(asked.m_sErr.find("vekta: cannot make the screenshot " + shot + ": no OpenGL ("), std::string::npos)
        << asked.m_sErr;
    EXPECT_EQ(countOf(asked.m_sErr, "frame "), 0) << asked.m_sErr;
    EXPECT_EQ(TEST_readText(shot), "");
}

TEST(PlayerDrawing, ScreenshotOptions)
{
    // One file cannot take the pictures of two documents; a file that cannot
    // be written is an error.
    EXPECT_EQ(TEST_run(VEKTA_PLAYER_EXE, {"--screenshot"}).m_iExitCode, 2);
    EXPECT_EQ(TEST_run(VEKTA_PLAYER_EXE, {"--screenshot", "a.png", "a.vk", "b.vk"}).m_iExitCode, 2);
    TEST_TempDir dir;
    TEST_ProcessResult unwritable = TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--frames", "1", "--screenshot",
                                                                dir.path("none/shot.png"), drawingDocument(dir)});
    EXPECT_EQ(unwritable.m_iExitCode, 1) << unwritable.m_sErr;
}

TEST(PlayerDrawing, AFailedScreenshotLeavesWhatItsNameHeld)
{
    // A link to a device that fails every write, a regular file and a link
    // to one that may not grow past 16 KiB (the built-in document's picture
    // is larger): the run fails, the writer says why, and the folder holds
    // what it held, the links and the earlier file as they were.
    const struct {
        const char *name;
        const char *link; // empty: the screenshot names the file itself
        long limit;
    } cases[] = {
        {"a link to a full device", "/dev/full", -1},
        {"a regular file", "", 16384},
        {"a link to a regular file", "earlier.png", 16384},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TEST_TempDir dir;
        std::string earlier = dir.write("earlier.png", "an earlier picture");
        std::string shot = earlier;
        if (c.link[0] != '\0') {
            shot = dir.path("shot.png");
            ASSERT_EQ(symlink(c.link, shot.c_str()), 0);
        }
        std::vector<std::string> before = TEST_listFolder(dir.m_sPath);
        TEST_ProcessResult run =
            TEST_runWithFileLimit(VEKTA_PLAYER_EXE, {"--headless", "--frames", "2", "--screenshot", shot}, c.limit);
        EXPECT_EQ(run.m_iExitCode, 1) << run.m_sErr;
        EXPECT_NE(run.m_sErr.find("Pnglib error: Write Error (" + shot + ")"), std::string::npos) << run.m_sErr;
        EXPECT_EQ(TEST_listFolder(dir.m_sPath), before);
        EXPECT_EQ(TEST_readText(earlier), "an earlier picture");
        std::error_code noLink;
        if (c.link[0] != '\0')
            EXPECT_EQ(std::filesystem::read_symlink(shot, noLink).string(), c.link);
    }
}

TEST(PlayerDrawing, TheSoundAndThePictureCannotShareAFile)
{
    // By the same name, or by two names of one file: a usage error that
    // names both options, and the file stays as it was.
    TEST_TempDir dir;
    std::string existing = dir.write("taken", "taken");
    ASSERT_EQ(symlink("taken", dir.path("link").c_str()), 0);
    const std::vector<std::string> pairs[] = {
        {dir.path("new.out"), dir.path("new.out")},
        {dir.path("new.out"), dir.m_sPath + "/./new.out"},
        {existing, dir.path("link")},
    };
    for (const std::vector<std::string> &p : pairs) {
        TEST_ProcessResult run = TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--frames", "1", "--audio-out", p[0],
                                                             "--screenshot", p[1], drawingDocument(dir)});
        EXPECT_EQ(run.m_iExitCode, 2) << p[0] << " " << p[1];
        EXPECT_EQ(run.m_sErr, "vekta: --audio-out and --screenshot name the same file\n"
                              "Try 'vekta --help' for more information.\n");
    }
    EXPECT_EQ(TEST_readText(existing), "taken");
    EXPECT_EQ(TEST_listFolder(dir.m_sPath), (std::vector<std::string>{"drawing.vk", "link", "taken"}));
}

TEST(PlayerDrawing, AFailedDocumentsScreenshotShowsItsMessage)
{
    // Refused before its first frame, the document still draws the frame of
    // its message for the screenshot: white, with dark text in the upper
    // left corner.
    TEST_TempDir dir;
    const struct {
        const char *name;
        std::string bytes;
    } cases[] = {{"junk.vk", "not a document at all"}, {"empty.vk", ""}};
    for (const auto &c : cases) {
        std::string shot = dir.path(std::string(c.name) + ".png");
        TEST_ProcessResult result = TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--frames", "3", "--size", "480x120",
                                                                "--screenshot", shot, dir.write(c.name, c.bytes)});
        EXPECT_EQ(result.m_iExitCode, 1) << c.name;
        EXPECT_NE(result.m_sErr.find("Error opening the file"), std::string::npos) << c.name << ": " << result.m_sErr;
        UTIL_Bitmap image;
        TEST_readPng(shot, image);
        ASSERT_EQ(image.m_iWidth, 480) << c.name;
        ASSERT_EQ(image.m_iHeight, 120) << c.name;
        const unsigned char *corner = TEST_pixelFromTop(image, 470, 110);
        EXPECT_EQ(corner[0] + corner[1] + corner[2], 3 * 255) << c.name;
        int ink = 0;
        for (int y = 0; y < 18; y++)
            for (int x = 0; x < 120; x++)
                ink += TEST_pixelFromTop(image, x, y)[0] < 128;
        EXPECT_GT(ink, 20) << c.name;
    }
}

// The window tests need an X server; they start one of their own.
struct PlayerWindow : TEST_WindowTest {};

TEST_F(PlayerWindow, DrawsWhatHeadlessDrawsAndClosesAfterItsFrames)
{
    std::string document = drawingDocument(m_oDir);
    std::string windowShot = m_oDir.path("window.png"), headlessShot = m_oDir.path("headless.png");
    const std::vector<std::string> common = {"--frames", "3", "--dt", "0.02", "--size", "160x120", "--screenshot"};
    std::vector<std::string> window = common, headless = common;
    window.insert(window.end(), {windowShot, document});
    headless.insert(headless.begin(), "--headless");
    headless.insert(headless.end(), {headlessShot, document});
    TEST_ProcessResult shown = TEST_run(VEKTA_PLAYER_EXE, window, m_aEnvironment);
    ASSERT_EQ(shown.m_iExitCode, 0) << shown.m_sErr;
    EXPECT_EQ(countOf(shown.m_sErr, "frame "), 3) << shown.m_sErr;
    ASSERT_EQ(TEST_run(VEKTA_PLAYER_EXE, headless).m_iExitCode, 0);

    UTIL_Bitmap a, b;
    TEST_readPng(windowShot, a);
    TEST_readPng(headlessShot, b);
    ASSERT_EQ(a.m_iWidth, 160);
    ASSERT_EQ(a.m_iHeight, 120);
    ASSERT_EQ(b.m_iWidth, 160);
    ASSERT_EQ(b.m_iHeight, 120);
    // The window may smooth edges with multisampling: edge pixels may
    // differ, all others match within 8 per channel.
    int differing = 0, count = 160 * 120 * 3;
    for (int i = 0; i < count; i++)
        if (abs(a.m_pucData[i] - b.m_pucData[i]) > 8)
            differing++;
    EXPECT_LT(differing, count / 50) << differing << " of " << count << " channels differ";
}

TEST_F(PlayerWindow, ResizesAndEndsWhenItsWindowIsClosed)
{
    std::string shot = m_oDir.path("closed.png");
    TEST_RunningProcess player(VEKTA_PLAYER_EXE, {"--size", "160x120", "--screenshot", shot, drawingDocument(m_oDir)},
                               m_aEnvironment);
    unsigned long window = m_oServer.findWindow("drawing.vk", 60);
    ASSERT_NE(window, 0u) << player.finish(1).m_sErr;
    ASSERT_TRUE(m_oServer.resizeWindow(window, 200, 150));
    // A few frames at the new size before the close request: the player
    // takes it at its next frame.
    int before = countOf(player.errorSoFar(), "frame ");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (countOf(player.errorSoFar(), "frame ") < before + 5 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(m_oServer.requestClose(window));
    TEST_ProcessResult closed = player.finish(60);
    EXPECT_EQ(closed.m_iExitCode, 0) << closed.m_sErr;
    UTIL_Bitmap image;
    TEST_readPng(shot, image);
    EXPECT_EQ(image.m_iWidth, 200);
    EXPECT_EQ(image.m_iHeight, 150);
}

TEST(PlayerWindowless, NoDisplaySaysSoAndNamesHeadless)
{
    TEST_TempDir dir;
    TEST_ProcessResult result = TEST_run(VEKTA_PLAYER_EXE, {"--frames", "3", drawingDocument(dir)},
                                         {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"});
    EXPECT_EQ(result.m_iExitCode, 1);
    EXPECT_EQ(countOf(result.m_sErr, "\n"), 1) << result.m_sErr;
    EXPECT_NE(result.m_sErr.find("--headless"), std::string::npos) << result.m_sErr;
    EXPECT_EQ(countOf(result.m_sErr, "frame "), 0) << result.m_sErr;
}

} // namespace
