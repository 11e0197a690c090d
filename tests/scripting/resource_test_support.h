#pragma once

// A document with one member of each resource kind, opened by a controller
// with a script engine, and chunks run in it under the name "t" (so report
// positions read "t:N: "). The global "scene" is a scene made by the script.
//   tex.png    a 2x2 PNG image
//   sine.ogg   one second of a 44100 Hz mono sine
//   movie.ogv  a short Ogg Theora movie with audio
//   font.ttf   some bytes (a font that FreeType does not take is still a font)
//   set.xml    a models set: meshes "Box", "Lid" (child of "Box") and
//              "Floor", a plain object "Marker", a sound "Beep", animations
//              "Walk" (key times 1, 1, 2) and "Hop" (0.5)

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <lua.hpp>

#include "tests/scripting/script_test_support.h"
#include "tests/support/TEST_ModelsSetWriter.h"
#include "tests/support/TEST_Support.h"

inline std::vector<unsigned char> TEST_readDataFile(const std::string &path)
{
    std::ifstream in(std::string(VEKTA_TEST_DATA_DIR) + "/" + path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string TEST_resourceModelsSet()
{
    TEST_ModelsSetWriter writer;
    writer.addMesh(TEST_cubeShape("BoxData"));
    TEST_ObjectRecord box;
    box.m_sType = "Mesh";
    box.m_sName = "Box";
    box.m_sMesh = "BoxData";
    TEST_ObjectRecord lid = box;
    lid.m_sName = "Lid";
    lid.m_sParent = "Box";
    TEST_ObjectRecord floor = box;
    floor.m_sName = "Floor";
    TEST_ObjectRecord marker;
    marker.m_sType = "None";
    marker.m_sName = "Marker";
    TEST_ObjectRecord beep;
    beep.m_sType = "Sound";
    beep.m_sName = "Beep";
    writer.addObject(box).addObject(lid).addObject(floor).addObject(marker).addObject(beep);
    MTH_Vector3D zero(0, 0, 0), one(1, 1, 1);
    writer.addAnimation(
        "Walk", {{1, zero, zero, one}, {1, MTH_Vector3D(1, 0, 0), zero, one}, {2, MTH_Vector3D(2, 0, 0), zero, one}});
    writer.addAnimation("Hop", {{0.5, zero, zero, one}});
    return writer.text();
}

inline TEST_DocumentBuilder TEST_resourceDocument()
{
    TEST_DocumentBuilder document;
    document.add("init.lua", std::string("-- resources\n"));
    const unsigned char red[4] = {255, 0, 0, 255};
    document.add("tex.png", TEST_pngImage(2, 2, true, red));
    document.add("sine.ogg", TEST_readDataFile("media/sine-44100-mono.ogg"));
    document.add("movie.ogv", TEST_readDataFile("movies/split-422-15fps-mono.ogv"));
    document.add("font.ttf", std::string("not really a font"));
    document.add("set.xml", TEST_resourceModelsSet());
    return document;
}

struct ResourceFixture : ScriptDocument {
    ResourceFixture() : ScriptDocument(TEST_resourceDocument()) { run("scene = newScene('main')"); }
};
