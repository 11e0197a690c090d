#include <gtest/gtest.h>

#include <cfloat>
#include <algorithm>
#include <cmath>
#include <vector>

#include "model/MDL_AnimatedMesh.h"
#include "model/MDL_Bone.h"
#include "model/MDL_Event.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_VertexGroup.h"
#include "tests/controller/input_test_support.h"
#include "tests/support/TEST_Support.h"

namespace {

// An overlay of the given kind covering [0, 0.5] x [0, 0.5] of its own
// plane.
struct SquareOverlay : MDL_Object {
    explicit SquareOverlay(int type) { m_iType = type; }
    bool hitTest(const MTH_Vector2D &p) override
    {
        return p.m_fX >= 0 && p.m_fX <= 0.5 && p.m_fY >= 0 && p.m_fY <= 0.5;
    }
};

const int ACTIVE = STATE_ACTIVE | STATE_VISIBLE;
const int MOVABLE = STATE_ACTIVE | STATE_VISIBLE | STATE_MOVABLE;

typedef InputFixture Input;

} // namespace

TEST_F(Input, AMoveOfSquaredDistanceOverTenOrAWheelTurnCancelsTheClick)
{
    MDL_Mesh *cube = addCube(MTH_Vector3D(), ACTIVE, false);
    struct Case {
        double dx, dy;
        bool wheel;
        bool clicked;
    };
    const Case cases[] = {
        {0, 0, false, true},  {3, 0, false, true},  {3, 1, false, true}, {-3, -1, false, true},
        {2, 3, false, false}, {4, 0, false, false}, {0, 0, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << ", " << c.dy << (c.wheel ? ", wheel" : ""));
        m_oLog.m_aoRecords.clear();
        m_oController.mouseDown(false, 100, 100);
        if (c.wheel)
            m_oController.mouseWheel(false, 100, 100, 0);
        m_oController.mouseMove(false, false, 100 + c.dx, 100 + c.dy);
        m_oController.mouseUp(100 + c.dx, 100 + c.dy);
        std::vector<int> expected = {MDL_CB_MOUSE_DOWN, MDL_CB_MOUSE_UP};
        if (c.clicked)
            expected.push_back(MDL_CB_MOUSE_CLICK);
        EXPECT_EQ(m_oLog.codesOf(cube), expected);
    }
}

TEST_F(Input, PressGrabsAndReleaseSendsWhereTheMouseLeftTheObject)
{
    MDL_Mesh *cube = addCube(MTH_Vector3D(), ACTIVE, false);
    m_oController.mouseMove(false, false, 100, 100);
    EXPECT_EQ(m_oController.m_poHoverObject, cube);
    EXPECT_EQ(m_oController.cursor(), CTRL_CURSOR_OPEN_HAND);

    m_oController.mouseDown(false, 100, 100);
    EXPECT_EQ(m_oController.m_poGrabbedObject, cube);
    EXPECT_EQ(m_oController.cursor(), CTRL_CURSOR_CLOSED_HAND);
    // The press point on the top face, in the cube's coordinates, at the
    // depth of the hit: 5 from the camera, 4 beyond the near plane.
    expectNear(MTH_Vector3D(0, 0, 1), m_oController.m_oGrabPoint, 1e-9);
    EXPECT_NEAR(m_oController.m_oViewportMouse.m_fZ, 4.0 / 99, 1e-12);
    ASSERT_EQ(m_oLog.m_aoRecords.size(), 1u);
    EXPECT_EQ(m_oLog.m_aoRecords[0].m_poPicked, cube);
    expectNear(MTH_Vector3D(0, 0, 1), m_oLog.m_aoRecords[0].m_oPoint, 1e-9);

    // The release, away from the press: the point under the mouse at the
    // grab depth; no click; the hover object is picked again (nothing).
    m_oController.mouseMove(false, false, 200, 100);
    m_oController.mouseUp(200, 100);
    EXPECT_EQ(m_oLog.codesOf(cube), (std::vector<int>{MDL_CB_MOUSE_DOWN, MDL_CB_MOUSE_UP}));
    EXPECT_NEAR(m_oLog.m_aoRecords[1].m_oPoint.m_fZ, 1, 1e-9);
    EXPECT_GT(std::fabs(m_oLog.m_aoRecords[1].m_oPoint.m_fX), 1.5);
    EXPECT_EQ(m_oController.m_poGrabbedObject, nullptr);
    EXPECT_EQ(m_oController.m_poHoverObject, nullptr);
    EXPECT_FALSE(m_oController.m_bLeftButtonDown);
    EXPECT_EQ(m_oController.cursor(), CTRL_CURSOR_ARROW);
}

TEST_F(Input, TheNearestActiveMeshIsPicked)
{
    addCube(MTH_Vector3D(0, 0, -3), ACTIVE);
    MDL_Mesh *nearer = addCube(MTH_Vector3D(), ACTIVE);
    MDL_Mesh *inactive = addCube(MTH_Vector3D(0, 0, 3), STATE_VISIBLE);
    MDL_Mesh *deleted = addCube(MTH_Vector3D(0, 0, 2), ACTIVE);
    m_oController.removeObject(deleted);
    m_oController.mouseMove(false, false, 100, 100);
    EXPECT_EQ(m_oController.m_poHoverObject, nearer);
    (void)inactive;
    // Beside every cube: nothing, and the depth is the far plane.
    m_oController.mouseMove(false, false, 5, 5);
    EXPECT_EQ(m_oController.m_poHoverObject, nullptr);
    EXPECT_EQ(m_oController.m_oViewportMouse.m_fZ, 1);
}

TEST_F(Input, AnOverlayWithALargerZWinsOverANearerMesh)
{
    addCube(MTH_Vector3D(), ACTIVE);
    SquareOverlay *low = new SquareOverlay(OBJECT_IMAGE), *high = new SquareOverlay(OBJECT_TEXT);
    SquareOverlay *highest = new SquareOverlay(OBJECT_POLYLINE), *turned = new SquareOverlay(OBJECT_IMAGE);
    for (SquareOverlay *o : {low, high, highest, turned})
        ASSERT_TRUE(m_poScene->addObject(o));
    low->editGlobalPosition() = MTH_Vector3D(0.25, 0.25, 1);
    low->setState(ACTIVE, SCOPE_OBJECT);
    high->editGlobalPosition() = MTH_Vector3D(0.25, 0.25, 2);
    high->setState(ACTIVE, SCOPE_OBJECT);
    // Not active: passed over.
    highest->editGlobalPosition() = MTH_Vector3D(0.25, 0.25, 5);
    // Turned half a turn about z: the mouse lies on the negative side of its
    // axes, outside its square.
    turned->editGlobalPosition() = MTH_Vector3D(0.25, 0.25, 3);
    turned->editGlobalBasis().rotate(MTH_Vector3D(0, 0, 1), M_PI);
    turned->setState(ACTIVE, SCOPE_OBJECT);

    m_oController.mouseMove(false, false, 100, 100);
    EXPECT_EQ(m_oController.m_poHoverObject, high);
    EXPECT_EQ(m_oController.m_oViewportMouse.m_fZ, 2);
    expectNear(MTH_Vector3D(0.25, 0.25, -2), m_oController.m_oGrabPoint);
    // Under the turned one's square.
    m_oController.mouseMove(false, false, 20, 20);
    EXPECT_EQ(m_oController.m_poHoverObject, turned);
    expectNear(MTH_Vector3D(0.15, 0.15, -3), m_oController.m_oGrabPoint);
}

TEST_F(Input, ABackgroundObjectGetsNoMouseDownAndShowsTheCrosshair)
{
    MDL_Mesh *ground = addCube(MTH_Vector3D(), ACTIVE | STATE_BACKGROUND);
    m_oController.mouseMove(false, false, 100, 100);
    EXPECT_EQ(m_oController.m_poHoverObject, ground);
    EXPECT_EQ(m_oController.cursor(), CTRL_CURSOR_ARROW);
    m_oController.mouseDown(false, 100, 100);
    EXPECT_EQ(m_oController.m_poGrabbedObject, nullptr);
    EXPECT_EQ(m_oController.m_poHoverObject, nullptr);
    EXPECT_EQ(m_oController.cursor(), CTRL_CURSOR_CROSSHAIR);
    m_oController.mouseUp(100, 100);
    EXPECT_TRUE(m_oLog.codesOf(ground).empty());
}

TEST_F(Input, EventsClimbTheParentsUntilConsumed)
{
    MDL_Object *root = new MDL_Object();
    MDL_Object *middle = new MDL_Object();
    m_poScene->addObject(root);
    m_poScene->addObject(middle);
    root->addChild(middle);
    record(root, true);
    RecordingProxy *middleProxy = record(middle, true);
    MDL_Mesh *leaf = addCube(MTH_Vector3D(), ACTIVE, false, middle);

    click(100, 100);
    // The leaf does not consume, its parent does: the root hears nothing;
    // every post names the leaf as the picked object.
    EXPECT_EQ(m_oLog.codesOf(leaf), (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(m_oLog.codesOf(middle), (std::vector<int>{3, 4, 5}));
    EXPECT_TRUE(m_oLog.codesOf(root).empty());
    for (const InputRecord &r : m_oLog.m_aoRecords)
        EXPECT_EQ(r.m_poPicked, leaf);

    // Nobody consumes: up to the root, and nothing for the scripts' global
    // callback.
    m_oLog.m_aoRecords.clear();
    middleProxy->m_bConsume = false;
    click(100, 100);
    EXPECT_EQ(m_oLog.codesOf(root), (std::vector<int>{3, 4, 5}));
    EXPECT_TRUE(m_oLog.codesOf(nullptr).empty());

    // Halted: no event reaches any proxy.
    m_oLog.m_aoRecords.clear();
    m_oController.m_bHalted = true;
    click(100, 100);
    EXPECT_TRUE(m_oLog.m_aoRecords.empty());
}

TEST_F(Input, KeyTablesAndKeyEvents)
{
    // Not consumed by the viewport: on to the scripts' event callback.
    RecordingProxy *viewportProxy = record(m_poViewport, false);
    m_oController.keyDown(65);
    EXPECT_TRUE(m_oController.isKeyPressed(65));
    EXPECT_TRUE(m_oController.isKeyJustPressed(65));
    ASSERT_EQ(m_oLog.m_aoRecords.size(), 2u);
    EXPECT_EQ(m_oLog.m_aoRecords[0].m_poTarget, m_poViewport);
    EXPECT_EQ(m_oLog.m_aoRecords[0].m_iKey, CTRL_ScriptEvent::KEY_DOWN);
    EXPECT_EQ(m_oLog.m_aoRecords[1].m_poTarget, nullptr);
    EXPECT_EQ(m_oLog.m_aoRecords[1].m_iCode, CTRL_ScriptEvent::KEY_DOWN);
    EXPECT_EQ(m_oLog.m_aoRecords[1].m_iKey, 65);

    // A frame later the key is held but no longer just pressed.
    m_oController.frame(nullptr, nullptr, 0.02);
    EXPECT_TRUE(m_oController.isKeyPressed(65));
    EXPECT_FALSE(m_oController.isKeyJustPressed(65));
    m_oController.keyUp(65);
    EXPECT_FALSE(m_oController.isKeyPressed(65));
    EXPECT_TRUE(m_oController.isKeyJustReleased(65));
    m_oController.frame(nullptr, nullptr, 0.02);
    EXPECT_FALSE(m_oController.isKeyJustReleased(65));

    // Pressed and released between two frames: just pressed and released
    // are both false, the table says up.
    m_oController.keyDown(66);
    m_oController.keyUp(66);
    EXPECT_FALSE(m_oController.isKeyPressed(66));

    // A code above 255 has no entry of its own and presses no other key,
    // but reaches the scripts whole.
    m_oLog.m_aoRecords.clear();
    m_oController.keyDown(300);
    EXPECT_FALSE(m_oController.isKeyPressed(300 & 255));
    EXPECT_EQ(m_oLog.m_aoRecords.back().m_iKey, 300);

    // Consumed by the viewport: the scripts' callback hears nothing.
    m_oLog.m_aoRecords.clear();
    viewportProxy->m_bConsume = true;
    m_oController.keyUp(300);
    EXPECT_TRUE(m_oLog.codesOf(nullptr).empty());
    EXPECT_EQ(m_oLog.codesOf(m_poViewport), (std::vector<int>{MDL_CB_EVENT}));

    // Halted: the table follows, no script hears.
    m_oLog.m_aoRecords.clear();
    m_oController.m_bHalted = true;
    m_oController.keyDown(70);
    EXPECT_TRUE(m_oController.isKeyPressed(70));
    EXPECT_TRUE(m_oLog.m_aoRecords.empty());
}

TEST_F(Input, TheWheelTellsTheScriptsAndTurnsOrZooms)
{
    // With a grabbed object: the grab depth, or (shift) the object turns
    // about the pick ray (straight down here).
    MDL_Mesh *cube = addCube(MTH_Vector3D(), MOVABLE);
    m_oController.mouseDown(false, 100, 100);
    ASSERT_EQ(m_oController.m_poGrabbedObject, cube);
    double depth = m_oController.m_oViewportMouse.m_fZ;
    m_oController.mouseWheel(false, 100, 100, 100);
    EXPECT_DOUBLE_EQ(m_oController.m_oViewportMouse.m_fZ, depth + 100 * static_cast<double>(0.00002f));
    m_oController.mouseWheel(true, 100, 100, 1000);
    const MTH_Vector3D &x = cube->getGlobalBasis().getRow(0);
    EXPECT_NEAR(std::fabs(std::atan2(x.m_fY, x.m_fX)), 1000 * static_cast<double>(0.0008f), 1e-9);
    EXPECT_NEAR(x.m_fZ, 0, 1e-12);
    m_oController.mouseUp(100, 100);

    // Without: the event for the scripts (the mouse in units of the view's
    // width), then the radius shrinks by the amount times the
    // single-precision 0.002.
    record(m_poViewport, false);
    m_poViewport->m_iNavigationMode = NAVIGATION_GLASSBALL;
    m_poViewport->m_fNavigationRadius = 6;
    m_poViewport->navigate(0);
    m_oLog.m_aoRecords.clear();
    m_oController.mouseWheel(false, 50, 100, 120);
    ASSERT_EQ(m_oLog.m_aoRecords.size(), 2u);
    EXPECT_EQ(m_oLog.m_aoRecords[0].m_poTarget, m_poViewport);
    const InputRecord &sent = m_oLog.m_aoRecords[1];
    EXPECT_EQ(sent.m_iCode, CTRL_ScriptEvent::ZOOM);
    EXPECT_EQ(sent.m_fZoom, 120);
    expectNear(MTH_Vector2D(0.25, 0.5), sent.m_oAt);
    EXPECT_DOUBLE_EQ(m_poViewport->m_fNavigationRadius, 6 - 120 * static_cast<double>(0.002f));
    // Fixed: nothing moves.
    m_poViewport->m_iNavigationMode = NAVIGATION_FIXED;
    m_oController.mouseWheel(false, 50, 100, 120);
    EXPECT_DOUBLE_EQ(m_poViewport->m_fNavigationRadius, 6 - 120 * static_cast<double>(0.002f));
}

TEST_F(Input, NavigationByMode)
{
    // A right-button drag across a quarter of the viewport.
    auto drag = [this](bool shift, bool control) {
        m_oController.rightMouseDown(100, 100);
        m_oController.mouseMove(shift, control, 150, 100);
        m_oController.rightMouseUp(150, 100);
    };
    m_poViewport->m_iNavigationMode = NAVIGATION_FIXED;
    drag(false, false);
    expectNear(MTH_Vector3D(0, 0, 6), m_poCamera->getGlobalPosition());
    EXPECT_EQ(m_oController.cursor(), CTRL_CURSOR_ARROW);

    // Free: the camera turns about its own y axis by twice the field of
    // view times the motion; with shift it moves 15 times the motion.
    m_poViewport->m_iNavigationMode = NAVIGATION_FREE;
    drag(false, false);
    const MTH_Vector3D &z = m_poCamera->getGlobalBasis().getRow(2);
    EXPECT_NEAR(std::fabs(std::atan2(z.m_fX, z.m_fZ)), 2 * m_poCamera->m_fAngle * 0.25, 1e-9);
    EXPECT_NEAR(z.m_fY, 0, 1e-12);
    m_poCamera->editGlobalFrame().setIdentity();
    m_poCamera->editGlobalPosition() = MTH_Vector3D(0, 0, 6);
    drag(true, false);
    expectNear(MTH_Vector3D(-15 * 0.25, 0, 6), m_poCamera->getGlobalPosition(), 1e-9);

    // Glass ball: the azimuth falls by twice the field of view times the
    // motion; with shift the target moves 10 times the motion.
    m_poViewport->m_iNavigationMode = NAVIGATION_GLASSBALL;
    m_poViewport->m_fNavigationRadius = 6;
    drag(false, false);
    EXPECT_NEAR(m_poViewport->m_fNavigationAzimuth, -2 * m_poCamera->m_fAngle * 0.25, 1e-12);
    expectNear(MTH_Vector3D(), m_poViewport->m_oNavigationTarget);
    drag(true, false);
    EXPECT_NEAR((m_poViewport->m_oNavigationTarget).length(), 10 * 0.25, 1e-9);

    // Mixed with control: the camera turns in place.
    m_poViewport->m_iNavigationMode = NAVIGATION_MIXED;
    MTH_Vector3D before = m_poCamera->getGlobalPosition();
    double azimuth = m_poViewport->m_fNavigationAzimuth;
    drag(false, true);
    expectNear(before, m_poCamera->getGlobalPosition(), 1e-9);
    EXPECT_NEAR(m_poViewport->m_fNavigationAzimuth, azimuth + 2 * m_poCamera->m_fAngle * 0.25, 1e-12);

    // A drag that starts on an object that can be grabbed moves the object,
    // not the camera.
    m_poViewport->m_iNavigationMode = NAVIGATION_FREE;
    m_poCamera->editGlobalFrame().setIdentity();
    m_poCamera->editGlobalPosition() = MTH_Vector3D(0, 0, 6);
    addCube(MTH_Vector3D(), MOVABLE);
    m_oController.mouseDown(false, 100, 100);
    m_oController.mouseMove(false, false, 150, 100);
    expectNear(MTH_Vector3D(0, 0, 6), m_poCamera->getGlobalPosition());
    m_oController.mouseUp(150, 100);
}

TEST_F(Input, TheLaterOfOverlappingViewportsReceivesThePress)
{
    MDL_Viewport *later = m_oController.addViewport(MTH_Vector2D(0.5, 0.5), MTH_Vector2D(0.5, 0.5));
    m_oController.mouseDown(false, 150, 150);
    EXPECT_EQ(m_oController.m_poCurrentViewport, later);
    expectNear(MTH_Vector3D(0.5, 0.5, -DBL_MAX), m_oController.m_oViewportMouse);
    m_oController.mouseUp(150, 150);
    m_oController.mouseDown(false, 50, 150);
    EXPECT_EQ(m_oController.m_poCurrentViewport, m_poViewport);
    m_oController.mouseUp(50, 150);
    later->m_bActive = false;
    m_oController.mouseMove(false, false, 150, 150);
    EXPECT_EQ(m_oController.m_poCurrentViewport, m_poViewport);
    // Outside every viewport (the letterbox of a wider view, once the
    // document's shape is set).
    m_oController.m_bStarted = true;
    m_oController.resize(400, 200);
    m_oController.mouseMove(false, false, 20, 100);
    EXPECT_EQ(m_oController.m_poCurrentViewport, nullptr);
}

TEST_F(Input, DraggingMovesTheObjectOrWhatCarriesIt)
{
    // A movable cube follows the mouse over the frame's sub-steps; a child
    // that cannot move hands the drag to its movable parent.
    MDL_Mesh *parent = addCube(MTH_Vector3D(), MOVABLE);
    MDL_Mesh *child = addCube(MTH_Vector3D(1.8, 0, 0), ACTIVE, true, parent, 0.5);
    for (MDL_Mesh *pressed : {parent, child}) {
        SCOPED_TRACE(pressed == parent ? "the parent" : "the child");
        MTH_Vector3D top = pressed->getGlobalPosition() + MTH_Vector3D(0, 0, pressed == parent ? 1 : 0.5), at;
        m_poViewport->fromScene(top, at);
        double x = 200 * at.m_fX, y = 200 * at.m_fY;
        MTH_Vector3D start = parent->getGlobalPosition();
        m_oController.mouseDown(false, x, y);
        ASSERT_EQ(m_oController.m_poGrabbedObject, pressed);
        m_oController.mouseMove(false, false, x + 20, y);
        m_oController.frame(nullptr, nullptr, 0.02);
        MTH_Vector3D grab, target;
        pressed->getGlobalFrame().globalPoint(m_oController.m_oGrabPoint, grab);
        m_poViewport->toScene(m_oController.m_oViewportMouse, target);
        expectNear(target, grab, 1e-9);
        EXPECT_GT(std::fabs(parent->getGlobalPosition().m_fX - start.m_fX), 0.3);
        EXPECT_NEAR(parent->getGlobalPosition().m_fZ, start.m_fZ, 1e-12);
        m_oController.mouseUp(x + 20, y);
    }
    // The moved object is told, once per sub-step; the child never.
    std::vector<int> parentCodes = m_oLog.codesOf(parent), childCodes = m_oLog.codesOf(child);
    EXPECT_EQ(std::count(parentCodes.begin(), parentCodes.end(), MDL_CB_MOVED), 20);
    EXPECT_EQ(std::count(childCodes.begin(), childCodes.end(), MDL_CB_MOVED), 0);
}

namespace {

// Makes the controller remove the current viewport (from inside an event
// handler).
void removeCurrentViewport(void *controller)
{
    CTRL_Generic *c = static_cast<CTRL_Generic *>(controller);
    c->removeViewport(c->m_poCurrentViewport);
}

} // namespace

TEST_F(Input, WhatTheHandlersAndScriptsTakeAwayIsLetGo)
{
    // The current viewport removed by the mouse-down handler: the release
    // still reaches the object, with the point where it was taken.
    MDL_Mesh *cube = addCube(MTH_Vector3D(), MOVABLE, true);
    RecordingProxy *proxy = static_cast<RecordingProxy *>(cube->m_oProxyHandle.getProxy());
    proxy->m_pfnAction = removeCurrentViewport;
    proxy->m_poContext = &m_oController;
    m_oController.mouseDown(false, 100, 100);
    proxy->m_pfnAction = nullptr;
    EXPECT_EQ(m_oController.m_poCurrentViewport, nullptr);
    m_oController.mouseMove(false, false, 120, 100);
    m_oController.frame(nullptr, nullptr, 0.02); // no viewport: no drag
    expectNear(MTH_Vector3D(), cube->getGlobalPosition());
    m_oController.mouseWheel(true, 120, 100, 100);
    m_oController.mouseUp(120, 100);
    EXPECT_EQ(m_oLog.codesOf(cube), (std::vector<int>{MDL_CB_MOUSE_DOWN, MDL_CB_MOUSE_UP}));
    expectNear(MTH_Vector3D(0, 0, 1), m_oLog.m_aoRecords.back().m_oPoint, 1e-9);
    // And the scene point of the mouse asked for then: the default.
    EXPECT_EQ(m_oController.getSceneMouse(MTH_Vector3D(7, 8, 9)).m_fX, 7);

    // A viewport without a camera: no pick, no scene point, no navigation.
    MDL_Viewport *blind = m_oController.addViewport(MTH_Vector2D(0, 0), MTH_Vector2D(1, 1));
    m_oController.mouseMove(false, false, 100, 100);
    EXPECT_EQ(m_oController.m_poCurrentViewport, blind);
    EXPECT_EQ(m_oController.m_poHoverObject, nullptr);
    EXPECT_EQ(m_oController.getSceneMouse(MTH_Vector3D(7, 8, 9)).m_fY, 8);
    m_oController.rightMouseDown(100, 100);
    m_oController.mouseMove(false, false, 150, 100);
    m_oController.mouseWheel(false, 150, 100, 100);
    m_oController.rightMouseUp(150, 100);
    m_oController.removeViewport(blind);

    // The hover object removed while no button is held: what is under the
    // mouse now is picked.
    m_oController.m_poCurrentViewport = m_oController.addViewport(MTH_Vector2D(0, 0), MTH_Vector2D(1, 1));
    m_oController.m_poCurrentViewport->m_poCamera = m_poCamera;
    MDL_Mesh *below = addCube(MTH_Vector3D(0, 0, -3), ACTIVE);
    m_oController.mouseMove(false, false, 100, 100);
    ASSERT_EQ(m_oController.m_poHoverObject, cube);
    m_oController.removeObject(cube);
    EXPECT_EQ(m_oController.m_poHoverObject, below);
    // The grabbed object removed during the drag: the grab ends, the
    // release goes to nothing pressed.
    m_oController.mouseDown(false, 100, 100);
    ASSERT_EQ(m_oController.m_poGrabbedObject, below);
    m_oController.removeObject(below);
    EXPECT_EQ(m_oController.m_poGrabbedObject, nullptr);
    EXPECT_EQ(m_oController.m_poHoverObject, nullptr);
    EXPECT_EQ(m_oController.cursor(), CTRL_CURSOR_OPEN_HAND);
    m_oController.frame(nullptr, nullptr, 0.02); // the purge frees them
    m_oController.mouseUp(100, 100);
    EXPECT_EQ(m_oController.m_poHoverObject, nullptr);
}

TEST_F(Input, DragsThatMoveNothing)
{
    MDL_Mesh *cube = addCube(MTH_Vector3D(), MOVABLE);
    MTH_Vector3D v;
    // No grab, or a time step of 0: no velocity and no move.
    EXPECT_FALSE(m_oController.dragVelocity(0.02, v));
    m_oController.mouseDown(false, 100, 100);
    EXPECT_FALSE(m_oController.dragVelocity(0, v));
    EXPECT_TRUE(m_oController.dragVelocity(0.02, v));
    m_oController.applyDrag(cube, MTH_Vector3D(1, 0, 0), 0);
    expectNear(MTH_Vector3D(), cube->getGlobalPosition());
    // A limit on the move per integration step.
    m_oController.mouseMove(false, false, 200, 100);
    cube->setMaxMouseMove(0.001, SCOPE_OBJECT);
    ASSERT_TRUE(m_oController.dragVelocity(0.02, v));
    EXPECT_NEAR(v.length(), 0.001 / m_poScene->getIntegrationStep(), 1e-9);
    cube->setMaxMouseMove(-1, SCOPE_OBJECT);
    ASSERT_TRUE(m_oController.dragVelocity(0.02, v));
    EXPECT_EQ(v.length(), 0);
    m_oController.mouseUp(200, 100);

    // Nothing movable up the tree: nothing moves.
    MDL_Mesh *fixed = addCube(MTH_Vector3D(0, 0, -3), ACTIVE);
    m_oController.applyDrag(fixed, MTH_Vector3D(1, 0, 0), 0.01);
    expectNear(MTH_Vector3D(0, 0, -3), fixed->getGlobalPosition());

    // A bone without a parent bends towards the target and hands nothing
    // on; the same with a time step of 0 does nothing.
    MDL_Bone *bone = new MDL_Bone();
    ASSERT_TRUE(m_poScene->addObject(bone));
    m_oController.m_poGrabbedObject = bone;
    m_oController.m_oGrabPoint = MTH_Vector3D(1, 0, 0);
    m_oController.applyDrag(bone, MTH_Vector3D(0, 10, 0), 0);
    expectNear(MTH_Vector3D(1, 0, 0), bone->getGlobalBasis().getRow(0));
    m_oController.applyDrag(bone, MTH_Vector3D(0, 10, 0), 0.1);
    const MTH_Vector3D &x = bone->getGlobalBasis().getRow(0);
    EXPECT_NEAR(std::atan2(x.m_fY, x.m_fX), M_PI / 4, 1e-9);
    expectNear(MTH_Vector3D(), bone->getGlobalPosition());
    m_oController.m_poGrabbedObject = nullptr;
}

TEST_F(Input, ASkinnedMeshIsHeldByTheBoneOfTheLargestWeight)
{
    // A strip of 20 quads along x: its left half follows one bone, its
    // right half the other, and the middle column both equally.
    MDL_MeshData strip;
    TEST_MeshShape shape;
    shape.m_sName = "strip";
    for (int i = 0; i <= 20; i++) {
        shape.m_aoPositions.push_back(MTH_Vector3D(i * 0.1 - 1, -0.5, 0));
        shape.m_aoPositions.push_back(MTH_Vector3D(i * 0.1 - 1, 0.5, 0));
    }
    for (int i = 0; i < 20; i++) {
        const int64_t quad[6] = {2 * i, 2 * i + 2, 2 * i + 3, 2 * i, 2 * i + 3, 2 * i + 1};
        shape.m_aiTriangles.insert(shape.m_aiTriangles.end(), quad, quad + 6);
    }
    ASSERT_TRUE(TEST_readMeshData(shape, strip));
    MDL_VertexGroup left, right;
    std::vector<int32_t> leftIndices, rightIndices;
    std::vector<double> leftWeights, rightWeights;
    for (int v = 0; v < strip.m_iNumVertices; v++) {
        int column = v / 2;
        if (column <= 10) {
            leftIndices.push_back(v);
            leftWeights.push_back(column == 10 ? 0.5 : 1);
        }
        if (column >= 10) {
            rightIndices.push_back(v);
            rightWeights.push_back(column == 10 ? 0.5 : 1);
        }
    }
    left.setEntries(static_cast<int>(leftIndices.size()), leftIndices.data(), leftWeights.data());
    right.setEntries(static_cast<int>(rightIndices.size()), rightIndices.data(), rightWeights.data());
    MDL_Bone *leftBone = new MDL_Bone(), *rightBone = new MDL_Bone();
    ASSERT_TRUE(m_poScene->addObject(leftBone));
    ASSERT_TRUE(m_poScene->addObject(rightBone));
    rightBone->editGlobalPosition() = MTH_Vector3D(1, 0, 0);
    MDL_AnimatedMesh source;
    source.setMeshData(&strip);
    MDL_AnimatedMesh *skin = new MDL_AnimatedMesh(source);
    ASSERT_TRUE(m_poScene->addObject(skin));
    skin->setState(ACTIVE, SCOPE_OBJECT);
    ASSERT_TRUE(skin->setBindingCount(2));
    skin->setBinding(0, &left, leftBone);
    skin->setBinding(1, &right, rightBone);
    skin->bindSkin();

    MTH_Vector3D at;
    auto hoverAt = [&](double x) {
        m_poViewport->fromScene(MTH_Vector3D(x, 0.1, 0), at);
        m_oController.mouseMove(false, false, 200 * at.m_fX, 200 * at.m_fY);
        return m_oController.m_poHoverObject;
    };
    EXPECT_EQ(hoverAt(-0.55), leftBone);
    EXPECT_EQ(hoverAt(0.55), rightBone);
    // Nearer the middle column, inside the right quad next to it: the right
    // bone weighs more.
    EXPECT_EQ(hoverAt(0.02), rightBone);
    // The grab point is in the bone's coordinates.
    m_oController.mouseMove(false, false, 200 * at.m_fX, 200 * at.m_fY);
    MTH_Vector3D grab;
    rightBone->getGlobalFrame().globalPoint(m_oController.m_oGrabPoint, grab);
    expectNear(MTH_Vector3D(0.02, 0.1, 0), grab, 1e-9);

    // Dragging a bone bends it towards the mouse.
    hoverAt(0.55);
    m_oController.mouseDown(false, 200 * at.m_fX, 200 * at.m_fY);
    ASSERT_EQ(m_oController.m_poGrabbedObject, rightBone);
    m_oController.mouseMove(false, false, 200 * at.m_fX, 200 * at.m_fY - 30);
    m_oController.frame(nullptr, nullptr, 0.02);
    EXPECT_GT(std::fabs(rightBone->getGlobalBasis().getRow(0).m_fY), 0.1);
    expectNear(MTH_Vector3D(1, 0, 0), rightBone->getGlobalPosition());
    m_oController.mouseUp(200 * at.m_fX, 200 * at.m_fY - 30);
    // The skin goes before its groups and mesh data.
    m_oController.removeObject(skin);
    m_oController.frame(nullptr, nullptr, 0.02);
}

TEST_F(Input, ADraggedRigidBodyIsGivenTheSpeedAtThePointHeld)
{
    m_poScene->setGravity(MTH_Vector3D());
    m_poScene->setBounds(-DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX, -DBL_MAX, DBL_MAX);
    MDL_RigidBody *body = new MDL_RigidBody();
    ASSERT_TRUE(m_poScene->addObject(body));
    body->setState(STATE_VISIBLE | STATE_MOVABLE, SCOPE_OBJECT);
    body->setStill(true);
    record(body, false);
    double friction = body->getFriction();
    // The mesh under the mouse belongs to the body: the drag climbs to it.
    MDL_Mesh *crate = addCube(MTH_Vector3D(), ACTIVE, false, body);
    m_oController.mouseDown(false, 100, 100);
    ASSERT_EQ(m_oController.m_poGrabbedObject, crate);
    EXPECT_EQ(m_oController.draggedBody(), body);
    m_oController.mouseMove(false, false, 120, 100);
    MTH_Vector3D target;
    m_poViewport->toScene(m_oController.m_oViewportMouse, target);
    m_oController.frame(nullptr, nullptr, 0.02);
    // Woken, moving towards the mouse, its friction back as it was; told of
    // every sub-step.
    EXPECT_FALSE(body->getStill());
    EXPECT_GT(body->getSpeed().dot(target), 0);
    EXPECT_GT(body->getGlobalPosition().dot(target), 0);
    EXPECT_EQ(body->getFriction(), friction);
    std::vector<int> codes = m_oLog.codesOf(body);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), MDL_CB_MOVED), 10);
    m_oController.mouseUp(120, 100);

    // Without STATE_MOVABLE the body stays where it is.
    body->setState(STATE_VISIBLE, SCOPE_OBJECT);
    body->setSpeed(MTH_Vector3D());
    body->setAngularSpeed(MTH_Vector3D());
    MTH_Vector3D place = body->getGlobalPosition();
    m_oController.mouseDown(false, 100, 100);
    EXPECT_EQ(m_oController.draggedBody(), nullptr);
    m_oController.mouseMove(false, false, 80, 100);
    m_oController.frame(nullptr, nullptr, 0.02);
    expectNear(place, body->getGlobalPosition(), 1e-12);
    m_oController.mouseUp(80, 100);
}
