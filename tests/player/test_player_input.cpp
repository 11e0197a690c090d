// Input events from a file (--input) reach a document's scripts in a
// headless run: clicks on an object, keys for the viewport and the
// document, a drag.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/TEST_Document.h"
#include "tests/support/TEST_ModelsSetWriter.h"
#include "tests/support/TEST_Process.h"

namespace {

// A cube in the middle of a square view, seen from 6 above; every event and
// the cube's place go to standard error.
std::string inputDocument(const TEST_TempDir &dir)
{
    TEST_ModelsSetWriter models = TEST_ModelsSetWriter::sample();
    models.addObject(TEST_placedObject("Camera", "camera", MTH_Vector3D(0, 0, 6)));
    TEST_DocumentBuilder document;
    document.add("scene.xml", models.text());
    document.add("init.lua",
                 "local frame = 0\n"
                 "function startup()\n"
                 "  local scene = newScene('s')\n"
                 "  local models = newModelsSet('scene.xml')\n"
                 "  local viewport = newViewport(0, 0, 1, 1)\n"
                 "  viewport:setCamera(newCamera(scene, models:get('camera')))\n"
                 "  local cube = newMesh(scene, models:get('cube'))\n"
                 "  cube:enableState(STATE_ACTIVE + STATE_MOVABLE)\n"
                 "  local function say(what)\n"
                 "    return function(object, picked) print(frame .. ': ' .. what .. ' ' .. picked:getName()) end\n"
                 "  end\n"
                 "  cube:setCallback(CB_MOUSE_DOWN, say('down'))\n"
                 "  cube:setCallback(CB_MOUSE_UP, say('up'))\n"
                 "  cube:setCallback(CB_MOUSE_CLICK, say('click'))\n"
                 "  cube:setCallback(CB_MOVED, function() moved = true end)\n"
                 "  viewport:setCallback(CB_EVENT, function(v, type, a, b)\n"
                 "    print(frame .. ': viewport ' .. type .. ' ' .. tostring(a))\n"
                 "    return a == KEY_B\n"
                 "  end)\n"
                 "  setCallback(CB_EVENT, function(type, a, b)\n"
                 "    print(frame .. ': document ' .. type .. ' ' .. tostring(a))\n"
                 "    return true\n"
                 "  end)\n"
                 "  setCallback(CB_UPDATE, function()\n"
                 "    frame = frame + 1\n"
                 "    if isKeyJustPressed(KEY_A) then print(frame .. ': A just pressed') end\n"
                 "    if moved then print(frame .. ': at ' .. string.format('%.2f', cube:getPosition():x())) moved = "
                 "false end\n"
                 "  end)\n"
                 "end\n");
    return dir.write("input.vk", document.build());
}

} // namespace

TEST(PlayerInput, EventsFromAFileReachTheScriptsBeforeTheirFrames)
{
    TEST_TempDir dir;
    std::string document = inputDocument(dir);
    // Frame 1 runs the scripts: its events come before there are any.
    std::string input = dir.write("events.txt", "# clicks, keys and a drag\n"
                                                "1 keyDown 67\n"
                                                "2 mouseDown 100 100\n"
                                                "2 mouseUp 100 100\n"
                                                "3 keyDown 65\n"
                                                "4 keyUp 65\n"
                                                "4 keyDown 66\n"
                                                "5 mouseDown 100 100\n"
                                                "5 mouseMove 130 100\n"
                                                "7 mouseUp 130 100\n");
    TEST_ProcessResult run = TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--size", "200x200", "--frames", "8", "--dt",
                                                         "0.02", "--input", input, document});
    ASSERT_EQ(run.m_iExitCode, 0) << run.m_sErr;
    // The update callback counts the frames after it: events before frame
    // k are seen with the count k - 1.
    const char *expected[] = {
        "1: down cube\n",
        "1: up cube\n",
        "1: click cube\n",
        "2: viewport 1 65\n",
        "2: document 1 65\n",
        "3: A just pressed\n",
        "3: viewport 2 65\n",
        "3: document 2 65\n",
        "3: viewport 1 66\n",
        "4: down cube\n",
        "5: at ",
        "6: up cube\n",
    };
    size_t at = 0;
    for (const char *line : expected) {
        size_t found = run.m_sErr.find(line, at);
        ASSERT_NE(found, std::string::npos) << line << " after " << at << " in\n" << run.m_sErr;
        at = found;
    }
    // Consumed by the viewport: the document never saw key 66; the drag is
    // no click.
    EXPECT_EQ(run.m_sErr.find("document 1 66"), std::string::npos) << run.m_sErr;
    EXPECT_EQ(run.m_sErr.find("6: click"), std::string::npos) << run.m_sErr;
}

TEST(PlayerInput, AnInputFileThatCannotBeReadIsAUsageError)
{
    TEST_TempDir dir;
    std::string document = inputDocument(dir);
    std::string bad = dir.write("bad.txt", "2 mouseDown 100 100\n\n3 mouseDown 100\n");
    TEST_ProcessResult run = TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--frames", "3", "--input", bad, document});
    EXPECT_EQ(run.m_iExitCode, 2);
    EXPECT_NE(run.m_sErr.find("bad.txt:3: mouseDown takes X Y"), std::string::npos) << run.m_sErr;
    TEST_ProcessResult missing = TEST_run(VEKTA_PLAYER_EXE, {"--headless", "--input", dir.path("none.txt"), document});
    EXPECT_EQ(missing.m_iExitCode, 2);
    EXPECT_NE(missing.m_sErr.find("none.txt: cannot be read"), std::string::npos) << missing.m_sErr;
    TEST_ProcessResult noName = TEST_run(VEKTA_PLAYER_EXE, {"--input"});
    EXPECT_EQ(noName.m_iExitCode, 2);
}
