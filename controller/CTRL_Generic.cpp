#include "controller/CTRL_Generic.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "controller/CTRL_MemberIndex.h"
#include "controller/CTRL_OverlayForget.h"
#include "foundation/UTIL_Log.h"
#include "controller/CTRL_ScriptEngine.h"
#include "view/VIEW_Sound.h"

CTRL_Generic::CTRL_Generic(CTRL_ScriptEngine *engine, int platform)
    : m_iPlatform(platform), m_poRenderer(nullptr), m_poSound(nullptr), m_poScriptEngine(nullptr),
      m_poGrabbedObject(nullptr), m_poHoverObject(nullptr), m_poDefaultFont(nullptr), m_poDocument(nullptr),
      m_iLoadStage(CTRL_STAGE_OPENING), m_sDocumentPath(nullptr), m_bRunning(false), m_bStarted(false),
      m_bRightButtonDown(false), m_bLeftButtonDown(false), m_bHalted(false), m_fDeltaTime(0),
      m_poCurrentViewport(nullptr), m_bHiDPI(false), m_sErrorText(nullptr), m_fAspectRatio(0.75), m_iVersionMajor(0),
      m_iVersionMinor(0), m_iVersionPatch(0), m_iVersionExtra(0), m_bMovedSincePress(false), m_oAcceleration(0, 0, -1),
      m_pbKeys(m_abKeys), m_pbPreviousKeys(m_abPreviousKeys), m_sMessage(nullptr), m_fMessageTime(0), m_iSplashState(0),
      m_poLogoImage(nullptr), m_poLogoTexture(nullptr), m_poMemberIndex(nullptr)
{
    m_acLanguage[0] = '\0';
    m_oFrameTimer.start();
    m_oStartTimer.start();
    m_poScriptEngine = engine;
    if (m_poScriptEngine != nullptr)
        m_poScriptEngine->setController(this);
    createDefaultFont();
    CTRL_registerOverlayForgetting();
    memset(m_abKeys, 0, sizeof(m_abKeys));
    memset(m_abPreviousKeys, 0, sizeof(m_abPreviousKeys));
}

CTRL_Generic::~CTRL_Generic()
{
    // The finalizers that closing runs may reach anything below.
    closeScripts();
    removeAllResources();
    free(m_sDocumentPath);
    free(m_sErrorText);
    free(m_sMessage);
    delete m_poMemberIndex;
    delete m_poDocument;
    destroyDefaultFont();
    delete m_poScriptEngine;
    destroyLogoImage();
}

int CTRL_Generic::registerDevice(int, int, int)
{
    return 0;
}

int CTRL_Generic::sendToDevice(int, const char *, int)
{
    return 0;
}

void CTRL_Generic::setCursor(int) {}

void CTRL_Generic::onDrag(MTH_Vector2D) {}

void CTRL_Generic::openExternal(const char *) {}

void CTRL_Generic::getLanguage(char *output)
{
    output[0] = '\0';
}

const char *CTRL_Generic::stageMessage(int stage)
{
    switch (stage) {
    case CTRL_STAGE_OPENING:
        return "Error opening the file, the file is corrupted.\nPlease check with your content provider.";
    case CTRL_STAGE_CONFIGURATION:
        return "You are trying to open a file not compatible with your player.\n"
               "Please update your player at www.vekta-player.org.";
    case CTRL_STAGE_LOADING:
        return "Error loading the file.\nPlease check with your content provider.";
    default:
        return "Error running the file.\nPlease check with your content provider.";
    }
}

void CTRL_Generic::reportError(const char *format, ...)
{
    if (m_bHalted)
        return;
    m_bHalted = true;

    // The user sees only the stage message; the caller's text is the
    // diagnostic that lets an author find the fault.
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    UTIL_warnText(text);

    closeSound();
    free(m_sErrorText);
    m_sErrorText = strdup(stageMessage(m_iLoadStage));
}

void CTRL_Generic::closeScripts()
{
    if (m_poScriptEngine != nullptr)
        m_poScriptEngine->close();
}

void CTRL_Generic::closeSound()
{
    if (m_poSound == nullptr)
        return;
    m_poSound->stop();
    delete m_poSound;
    m_poSound = nullptr;
}

bool CTRL_Generic::isKeyPressed(int code) const
{
    return code >= 0 && code < 256 && m_pbKeys[code];
}

bool CTRL_Generic::isKeyJustPressed(int code) const
{
    return code >= 0 && code < 256 && m_pbKeys[code] && !m_pbPreviousKeys[code];
}

bool CTRL_Generic::isKeyJustReleased(int code) const
{
    return code >= 0 && code < 256 && !m_pbKeys[code] && m_pbPreviousKeys[code];
}

double CTRL_Generic::getViewAspectRatio() const
{
    return m_oViewSize.m_fY / m_oViewSize.m_fX;
}

void CTRL_Generic::setLanguage(const char *code)
{
    if (code == nullptr || strlen(code) > 5)
        return;
    strcpy(m_acLanguage, code);
}

void CTRL_Generic::setRunning()
{
    m_fDeltaTime = 0;
    destroyLogoImage();
    m_iLoadStage = CTRL_STAGE_RUNNING;
}
