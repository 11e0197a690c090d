#include <cmath>
#include <cstdio>
#include <cstring>

#include "controller/CTRL_Generic.h"
#include "controller/CTRL_SceneHooks.h"
#include "foundation/UTIL_Log.h"
#include "model/MDL_Camera.h"
#include "model/MDL_Object.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_Viewport.h"
#include "controller/CTRL_ScriptEngine.h"
#include "view/VIEW_Generic.h"

// The longest time step one frame simulates (the single-precision 0.1).
static const double MAX_DELTA_TIME = static_cast<double>(0.1f);
// Integration steps below this are treated as missing: a frame would need
// more than ten thousand sub-steps.
static const double MIN_INTEGRATION_STEP = 1e-5;
// The friction of a rigid body while the mouse drags it (the
// single-precision 0.7).
static const double DRAG_FRICTION = static_cast<double>(0.7f);
// The text size of the timed message (the single-precision 0.01725).
static const double MESSAGE_TEXT_SIZE = static_cast<double>(0.01725f);

CTRL_Generic::DocumentFrame CTRL_Generic::documentFrame() const
{
    DocumentFrame f;
    double w = m_oViewSize.m_fX, h = m_oViewSize.m_fY;
    double d = std::floor(m_fAspectRatio * w + 0.5);
    if (d > h && d > 0) {
        f.m_fWidth = w * (h / d);
        f.m_fHeight = d * (h / d);
    } else {
        f.m_fWidth = w;
        f.m_fHeight = d;
    }
    f.m_oOffset = MTH_Vector2D((w - f.m_fWidth) / 2, (h - f.m_fHeight) / 2);
    return f;
}

void CTRL_Generic::splashCaption(char *out, int size) const
{
    int n = snprintf(out, static_cast<size_t>(size), "Loading ");
    for (int i = 0; i < m_iSplashState && n + 2 < size; i++)
        n += snprintf(out + n, static_cast<size_t>(size - n), " .");
}

void CTRL_Generic::frame(void *context, VIEW_Generic *renderer, double deltaTime)
{
    if (!m_bStarted && m_poDocument != nullptr) {
        if (m_poScriptEngine != nullptr)
            m_poScriptEngine->loadScripts();
        m_bStarted = true;
    }
    update(deltaTime);
    if (m_poGrabbedObject != nullptr) {
        trackGrabPoint();
        if (m_poGrabbedObject != nullptr && m_poGrabbedObject->hasState(STATE_CONSTRAIN_MOUSE))
            onDrag(m_oMouse);
    }
    updateSound();
    if (!m_bHalted) {
        CTRL_advanceStreams(this, m_fDeltaTime);
        // Roll the key history: the current table becomes the previous one,
        // and the new current one starts as a copy of it.
        bool *previous = m_pbPreviousKeys;
        m_pbPreviousKeys = m_pbKeys;
        m_pbKeys = previous;
        memcpy(m_pbKeys, m_pbPreviousKeys, 256 * sizeof(bool));
    }
    if (m_oViewSize.m_fX > 0 && m_oViewSize.m_fY > 0)
        draw(context, renderer);
}

void CTRL_Generic::update(double deltaTime)
{
    if (m_bHalted)
        return;
    if (m_bRunning) {
        if (deltaTime == 0)
            deltaTime = m_oFrameTimer.getElapsed();
        if (!(deltaTime >= 0)) // negative or NaN: nothing to simulate
            deltaTime = 0;
        m_fDeltaTime = deltaTime > MAX_DELTA_TIME ? MAX_DELTA_TIME : deltaTime;
    } else {
        m_fDeltaTime = 0;
    }
    m_oFrameTimer.start();

    if (m_fDeltaTime > 0) {
        // The grabbed object follows the mouse in each sub-step of its scene;
        // a body dragged along slides more easily while it is held.
        MTH_Vector3D drag;
        bool dragging = dragVelocity(m_fDeltaTime, drag);
        MDL_RigidBody *body = MDL_RigidBody::cast(dragging ? draggedBody() : nullptr);
        double friction = body != nullptr ? body->getFriction() : 0;
        if (body != nullptr)
            body->setFriction(DRAG_FRICTION);
        for (int i = 0; i < m_oScenes.m_iCount && !m_bHalted; i++) {
            MDL_Scene *scene = m_oScenes.m_pData[i];
            if (!CTRL_sceneSimulates(scene))
                continue;
            double step = CTRL_sceneIntegrationStep(scene);
            long n;
            if (!(step >= MIN_INTEGRATION_STEP)) {
                // Zero, negative, NaN or tiny: one step of the frame's length.
                UTIL_warn("Integration step %g of a scene is not usable; stepping once per frame", step);
                n = 1;
            } else {
                n = static_cast<long>(std::ceil(m_fDeltaTime / step));
            }
            if (n == 0)
                continue;
            double subStep = m_fDeltaTime / static_cast<double>(n);
            for (long k = 0; k < n && !m_bHalted; k++) {
                // Scripts called by the step may end the grab.
                if (dragging && m_poGrabbedObject != nullptr && m_poGrabbedObject->getScene() == scene)
                    applyDrag(m_poGrabbedObject, drag, subStep);
                CTRL_stepScene(this, scene, subStep);
            }
        }
        // A body deleted meanwhile is still there: the purge comes below.
        if (body != nullptr)
            body->setFriction(friction);
        if (!m_bHalted && m_poScriptEngine != nullptr)
            m_poScriptEngine->update(m_fDeltaTime);
    }

    for (int i = 0; i < m_oScenes.m_iCount; i++) {
        MDL_Scene *scene = m_oScenes.m_pData[i];
        CTRL_updateSkinning(scene);
        CTRL_advanceAnimations(scene, m_fDeltaTime);
        CTRL_stepScene(this, scene, 0);
        CTRL_purgeScene(this, scene);
    }
}

void CTRL_Generic::trackGrabPoint()
{
    MDL_Object *object = m_poGrabbedObject;
    if (object == nullptr || m_poCurrentViewport == nullptr || m_poCurrentViewport->m_poCamera == nullptr)
        return;
    bool constrained = object->hasState(STATE_CONSTRAIN_MOUSE);
    int type = object->getType();
    MTH_Vector3D scenePoint;
    object->getGlobalFrame().globalPoint(m_oGrabPoint, scenePoint);
    if (MDL_isOverlayType(type)) {
        if (!constrained)
            return;
        m_oViewportMouse = scenePoint;
    } else {
        MTH_Vector3D projected;
        if (!m_poCurrentViewport->fromScene(scenePoint, projected))
            return;
        if (constrained)
            m_oViewportMouse = projected;
        else
            m_oViewportMouse.m_fZ = projected.m_fZ;
    }
    if (constrained) {
        DocumentFrame f = documentFrame();
        const MDL_Viewport *v = m_poCurrentViewport;
        m_oMouse.m_fX = f.m_oOffset.m_fX +
                        f.m_fWidth * (v->m_oViewportPosition.m_fX + m_oViewportMouse.m_fX * v->m_oViewportSize.m_fX);
        m_oMouse.m_fY = f.m_oOffset.m_fY +
                        f.m_fWidth * (v->m_oViewportPosition.m_fY + m_oViewportMouse.m_fY * v->m_oViewportSize.m_fX);
    }
}

void CTRL_Generic::updateSound()
{
    if (m_poSound == nullptr)
        return;
    CTRL_serviceSound(this);
}

void CTRL_Generic::draw(void *context, VIEW_Generic *renderer)
{
    if (renderer == nullptr)
        return;
    DocumentFrame f = documentFrame();
    MTH_Vector2D frameSize(f.m_fWidth, f.m_fHeight);
    const MTH_Vector4D white(1, 1, 1, 1);
    if (m_bHalted) {
        renderer->beginFrame(context, false);
        renderer->clear(white);
    } else if (m_poDocument != nullptr && m_iLoadStage == CTRL_STAGE_RUNNING) {
        destroyLogoImage();
        CTRL_buildShadowVolumes(this);
        renderer->beginFrame(context, false);
        for (int i = 0; i < m_oTextures.m_iCount;) {
            MDL_Texture *texture = m_oTextures.m_pData[i];
            if (CTRL_textureReleased(texture)) {
                // The renderer lets go of its copy; then the texture goes,
                // its users cleared first (a dropped texture would leak).
                renderer->releaseTexture(texture);
                removeTexture(texture);
            } else {
                i++;
            }
        }
        // A window or a screenshot has nothing behind the document: a
        // transparent background is cleared as opaque black (else every
        // earlier frame would show through), letterboxed or not.
        renderer->clear(m_oBackgroundColor.m_fW > 0 ? m_oBackgroundColor : MTH_Vector4D(0, 0, 0, 1));
        for (int i = 0; i < m_oViewports.m_iCount; i++) {
            MDL_Viewport *v = m_oViewports.m_pData[i];
            // An inactive viewport is neither drawn nor found under the mouse.
            if (v->m_poCamera == nullptr || !v->m_bActive)
                continue;
            double fw = f.m_fWidth;
            MTH_Vector2D origin(f.m_oOffset.m_fX + v->m_oViewportPosition.m_fX * fw,
                                f.m_oOffset.m_fY + f.m_fHeight - v->m_oViewportPosition.m_fY * fw -
                                    v->m_oViewportSize.m_fY * fw);
            renderer->renderViewport(v, origin,
                                     MTH_Vector2D(v->m_oViewportSize.m_fX * fw, v->m_oViewportSize.m_fY * fw));
        }
        if (m_sMessage != nullptr && m_fMessageTime > 0) {
            m_fMessageTime -= m_fDeltaTime;
            double t = m_fMessageTime;
            double alpha = t >= 2 ? 1 : (t * 0.5 > 0 ? t * 0.5 : 0);
            renderer->drawShadowedText(f.m_oOffset, frameSize, m_sMessage, m_poDefaultFont, MESSAGE_TEXT_SIZE, alpha);
        }
    } else {
        if (m_poLogoImage == nullptr)
            createLogoImage();
        if (m_oStartTimer.getElapsed() > 0.5) {
            m_oStartTimer.start();
            m_iSplashState = m_iSplashState >= 10 ? 1 : m_iSplashState + 1;
        }
        char caption[32];
        splashCaption(caption, sizeof(caption));
        renderer->beginFrame(context, false);
        renderer->clear(white);
        renderer->drawSplash(f.m_oOffset, frameSize, caption, m_poDefaultFont, m_poLogoImage);
    }
    if (m_bHalted)
        renderer->drawMessage(f.m_oOffset, frameSize, m_sErrorText, m_poDefaultFont);
    renderer->present(context);
}

void CTRL_Generic::resize(int width, int height)
{
    m_oViewSize = MTH_Vector2D(width, height);
    if (m_oViewSize.m_fX == m_oLastViewSize.m_fX && m_oViewSize.m_fY == m_oLastViewSize.m_fY)
        return;
    m_oLastViewSize = m_oViewSize;
    if (m_poRenderer != nullptr)
        m_poRenderer->invalidateGlyphTextures();
    if (width == 0)
        return;
    double ratio = static_cast<double>(height) / width;
    if (!m_bStarted)
        m_fAspectRatio = ratio;
    else if (ratio != m_fAspectRatio && !m_bHalted && m_poScriptEngine != nullptr)
        m_poScriptEngine->aspectRatioChanged(ratio);
}

MTH_Vector3D CTRL_Generic::getSceneMouse(const MTH_Vector3D &defaultPoint)
{
    MTH_Vector3D point;
    if (m_poCurrentViewport == nullptr || !m_poCurrentViewport->toScene(m_oViewportMouse, point))
        return defaultPoint;
    return point;
}
