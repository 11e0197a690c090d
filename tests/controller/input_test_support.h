#pragma once

// A controller with one scene seen through one viewport that fills a view of
// 200 x 200 pixels, a script engine that records the input events it is
// handed, and proxies that record the object and viewport events posted to
// them: input is driven by direct calls and read back from the records.

#include <cstdarg>
#include <vector>

#include <gtest/gtest.h>

#include "controller/CTRL_Generic.h"
#include "controller/CTRL_ScriptEngine.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Event.h"
#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "model/MDL_Scene.h"
#include "model/MDL_Viewport.h"
#include "tests/support/TEST_ModelsSetWriter.h"

// What a recording proxy or engine was handed.
struct InputRecord {
    const void *m_poTarget; // the engine object posted to; null for the engine
    int m_iCode;            // event code (CB_), or the event type for the engine
    const void *m_poPicked; // mouse events: the object first picked
    MTH_Vector3D m_oPoint;  // mouse events: the point
    int m_iKey;             // key events
    double m_fZoom;         // wheel events
    MTH_Vector2D m_oAt;     // wheel events: the mouse in units of the view's width
};

struct InputLog {
    std::vector<InputRecord> m_aoRecords;
    // The codes posted to target, in order.
    std::vector<int> codesOf(const void *target) const
    {
        std::vector<int> codes;
        for (const InputRecord &r : m_aoRecords)
            if (r.m_poTarget == target)
                codes.push_back(r.m_iCode);
        return codes;
    }
};

class RecordingEngine : public CTRL_ScriptEngine {
public:
    explicit RecordingEngine(InputLog *log) : m_poLog(log) {}
    bool sendEvent(const CTRL_ScriptEvent &event) override
    {
        InputRecord r{nullptr, event.m_iType, nullptr, MTH_Vector3D(), event.m_iKey, event.m_fZoom, MTH_Vector2D()};
        if (event.m_poZoomVector != nullptr)
            r.m_oAt = *event.m_poZoomVector;
        m_poLog->m_aoRecords.push_back(r);
        return m_bConsume;
    }
    void update(double) override {}
    void aspectRatioChanged(double) override {}
    bool loadScripts() override { return false; }

    InputLog *m_poLog;
    bool m_bConsume = false;
};

// Stands for the script proxy of an object or viewport; consumes events
// when told to, and may run an action in its handler.
class RecordingProxy : public UTIL_Proxy {
public:
    RecordingProxy(InputLog *log, const void *target, bool consume)
        : m_poLog(log), m_poTarget(target), m_bConsume(consume)
    {
    }
    int handleCallback(UTIL_EventHost *, int code, va_list args) override
    {
        InputRecord r{m_poTarget, code, nullptr, MTH_Vector3D(), 0, 0, MTH_Vector2D()};
        if (code >= MDL_CB_MOUSE_DOWN && code <= MDL_CB_MOUSE_CLICK) {
            const MDL_PickEvent event = MDL_PickEvent::read(args);
            r.m_poPicked = event.m_poPicked;
            r.m_oPoint = event.m_oPoint;
        } else if (code == MDL_CB_EVENT) {
            const CTRL_ScriptEvent *event = MDL_InputEvent<CTRL_ScriptEvent>::read(args).m_poRecord;
            r.m_iKey = event->m_iType; // the viewport is told the event type
        }
        m_poLog->m_aoRecords.push_back(r);
        if (m_pfnAction != nullptr)
            m_pfnAction(m_poContext);
        return m_bConsume ? 1 : 0;
    }

    InputLog *m_poLog;
    const void *m_poTarget;
    bool m_bConsume;
    void (*m_pfnAction)(void *) = nullptr;
    void *m_poContext = nullptr;
};

// The platform part: the cursor kinds asked for.
class CursorController : public CTRL_Generic {
public:
    explicit CursorController(CTRL_ScriptEngine *engine) : CTRL_Generic(engine, CTRL_PLATFORM_LINUX) {}
    void setCursor(int kind) override { m_aiCursors.push_back(kind); }
    int cursor() const { return m_aiCursors.empty() ? -1 : m_aiCursors.back(); }
    std::vector<int> m_aiCursors;
};

struct InputFixture : ::testing::Test {
    MDL_MeshData m_oCube; // outlives the controller's scenes
    InputLog m_oLog;
    RecordingEngine *m_poEngine = new RecordingEngine(&m_oLog); // owned by the controller
    CursorController m_oController{m_poEngine};
    MDL_Scene *m_poScene = nullptr;
    MDL_Camera *m_poCamera = nullptr;
    MDL_Viewport *m_poViewport = nullptr;

    // The camera 6 above the origin looking down; the viewport fills the
    // square view, so pixel (x, y) is the viewport point (x / 200, y / 200).
    void SetUp() override
    {
        ASSERT_TRUE(TEST_readMeshData(TEST_cubeShape("cube"), m_oCube));
        m_oController.resize(200, 200);
        m_poScene = m_oController.addScene("s");
        m_poCamera = new MDL_Camera();
        ASSERT_TRUE(m_poScene->addObject(m_poCamera));
        m_poCamera->editLocalPosition() = MTH_Vector3D(0, 0, 6);
        m_poViewport = m_oController.addViewport(MTH_Vector2D(0, 0), MTH_Vector2D(1, 1));
        m_poViewport->m_poCamera = m_poCamera;
        m_oController.m_bRunning = true;
    }

    // A cube of half edge 1 (scaled by scale) at position, with the state
    // bits given, and a recording proxy.
    MDL_Mesh *addCube(const MTH_Vector3D &position, int state, bool consume = true, MDL_Object *parent = nullptr,
                      double scale = 1)
    {
        MDL_Mesh *mesh = new MDL_Mesh();
        mesh->setMeshData(&m_oCube);
        m_poScene->addObject(mesh);
        mesh->editGlobalPosition() = position;
        if (scale != 1)
            mesh->editGlobalBasis().scaleRows(MTH_Vector3D(scale, scale, scale));
        if (parent != nullptr)
            parent->addChild(mesh);
        mesh->setState(state, SCOPE_OBJECT);
        record(mesh, consume);
        return mesh;
    }

    RecordingProxy *record(MDL_Object *object, bool consume)
    {
        RecordingProxy *proxy = new RecordingProxy(&m_oLog, object, consume);
        object->m_oProxyHandle.bind(proxy);
        return proxy;
    }

    RecordingProxy *record(MDL_Viewport *viewport, bool consume)
    {
        RecordingProxy *proxy = new RecordingProxy(&m_oLog, viewport, consume);
        viewport->m_oProxyHandle.bind(proxy);
        return proxy;
    }

    void click(double x, double y, double dx = 0, double dy = 0)
    {
        m_oController.mouseDown(false, x, y);
        if (dx != 0 || dy != 0)
            m_oController.mouseMove(false, false, x + dx, y + dy);
        m_oController.mouseUp(x + dx, y + dy);
    }
};
