#pragma once

#include <cstddef>
#include <cstdint>

#include "controller/CTRL_Config.h"
#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_DynArray.h"
#include "foundation/UTIL_Timer.h"

class VIEW_Generic;
class VIEW_Sound;
class CTRL_ScriptEngine;
struct CTRL_ScriptEvent;
class CTRL_MemberIndex;
class MDL_Object;
class MDL_Font;
class MDL_Scene;
class MDL_Viewport;
class MDL_Stream;
class MDL_Sample;
class MDL_ModelsSet;
class MDL_Texture;
class MDL_Image;

// ---- Resource lists: letting go of resources (CTRL_Resources.cpp) ----
class MDL_Material;

// What a remove operation of the controller is about to destroy, shown to
// everything that may hold pointers into it, so that nothing is left
// pointing at it: the objects, materials, textures, mesh data, vertex groups
// and animation data of a models set, a texture, a movie's frame texture, or
// a font. Holders let go of what it contains: a font user takes
// m_poReplacementFont instead (the controller's default font), every other
// pointer becomes null.
class CTRL_ResourceRemoval {
public:
    CTRL_ResourceRemoval() : m_poFont(nullptr), m_poReplacementFont(nullptr), m_bSorted(true) {}
    CTRL_ResourceRemoval(const CTRL_ResourceRemoval &) = delete;
    CTRL_ResourceRemoval &operator=(const CTRL_ResourceRemoval &) = delete;

    // Adds something that goes; null is ignored.
    void add(const void *pointer);
    // Whether pointer goes (false for null).
    bool contains(const void *pointer) const;
    bool isEmpty() const { return m_oPointers.m_iCount == 0; }
    // Empties the layers of material whose texture goes (the layers stay,
    // without a texture); the number emptied. Nothing for null.
    int forgetTextures(MDL_Material *material) const;

    UTIL_DynArray<uintptr_t> m_oPointers; // sorted before the first lookup
    MDL_Font *m_poFont;                   // the font that goes, or null
    MDL_Font *m_poReplacementFont;        // what its users take instead

private:
    void sort() const;
    mutable bool m_bSorted;
};

// Lets an object of a kind other than meshes (texts, images, polylines,
// rigid bodies: one per type code) let go of what a removal takes away; true
// when it held any of it.
typedef bool (*CTRL_ForgetFunction)(MDL_Object *object, const CTRL_ResourceRemoval &removal);
// ---- end of resource lists ----

// Cursor kinds handed to setCursor.
enum {
    CTRL_CURSOR_ARROW = 0,
    CTRL_CURSOR_CROSSHAIR = 1,
    CTRL_CURSOR_CLOSED_HAND = 2,
    CTRL_CURSOR_OPEN_HAND = 3,
};

// Load stages: which message the error report shows.
enum {
    CTRL_STAGE_OPENING = 0,
    CTRL_STAGE_CONFIGURATION = 1,
    CTRL_STAGE_LOADING = 2,
    CTRL_STAGE_RUNNING = 3,
};

// Platform codes given to the controller.
enum {
    CTRL_PLATFORM_MACOS = 2,
    CTRL_PLATFORM_LINUX = 3,
};

// The platform-independent controller: owns the document, the script engine,
// the default font and every resource list, runs the frame loop and turns
// input into events. Platform controllers derive from it.
class CTRL_Generic {
public:
    CTRL_Generic(CTRL_ScriptEngine *engine, int platform);
    virtual ~CTRL_Generic();

    CTRL_Generic(const CTRL_Generic &) = delete;
    CTRL_Generic &operator=(const CTRL_Generic &) = delete;

    // Platform operations; the generic controller does nothing.
    virtual int registerDevice(int a, int b, int c);
    virtual int sendToDevice(int device, const char *data, int length);
    virtual void setCursor(int kind);
    virtual void onDrag(MTH_Vector2D mouse);
    virtual void openExternal(const char *address);
    virtual void getLanguage(char *output);
    // The error report: works once per document, halts the player and keeps
    // the message of the current load stage. The caller's text goes to the
    // diagnostic log only.
    virtual void reportError(const char *format, ...) __attribute__((format(printf, 2, 3)));
    // Stops and deletes the sound output, if any (a capture is then
    // complete); the error report does this too.
    void closeSound();
    // Closes the script engine's interpreter (CTRL_ScriptEngine::close): the
    // scripts' finalizers run with the document and every resource still
    // there, and may report an error. The destructor does it first of all.
    void closeScripts();

    // Accessors for the script globals.
    bool isKeyPressed(int code) const;
    bool isKeyJustPressed(int code) const;
    bool isKeyJustReleased(int code) const;
    const MTH_Vector3D *getAcceleration() const { return &m_oAcceleration; }
    double getAspectRatio() const { return m_fAspectRatio; }
    void setAspectRatio(double ratio) { m_fAspectRatio = ratio; }
    double getViewAspectRatio() const;
    MTH_Vector2D getResolution() const { return m_oViewSize; }
    bool getHiDPI() const { return m_bHiDPI; }
    MTH_Vector3D getViewportMouse() const { return m_oViewportMouse; }
    void setBackgroundColor(const MTH_Vector4D &color) { m_oBackgroundColor = color; }
    void setLanguage(const char *code);

    // Document container.
    bool openDocument(const char *path);
    bool verifyDocument();
    // Reads config.xml; a refusal writes its reason to the log (missing,
    // not parsed with the parser's line, no root or version element, a
    // version newer than the player's, both named).
    bool checkConfig();
    bool hasMember(const char *name);
    // Delivers a member's bytes. Returns true when the data was allocated by
    // the call (the caller frees it with free), false when it points into the
    // document buffer or when there is no data (then data is null, size 0).
    // As text the data are the whole member followed by a NUL at data[size],
    // always in a buffer of the call's own (the document is never changed).
    bool extractMember(const char *name, unsigned char **data, int *size, bool asText);

    // The member's local header, or null (no document, no such member).
    const struct CTRL_MemberEntry *findMember(const char *name);

    // ---- Resource lists (CTRL_Resources.cpp) ----
    // Every add returns the new element, or null; the lists own their
    // elements. A remove finds the element from the front (nothing when it
    // is not listed), lets go of every pointer into it that the controller
    // can reach (forgetResources), destroys it and closes the gap; true when
    // it was listed.
    //
    // Who lets go when a resource goes:
    // - a models set: every scene object, and every object and material of
    //   the other sets, drops the set's mesh data, materials, vertex groups,
    //   textures (from material layers), objects (as parent, bone, shadow
    //   lamp) and animation data; animation players drop the set's data and
    //   templates (and pause); viewports drop its cameras and microphones;
    //   the grabbed and hover objects are cleared when they are its own;
    // - a texture or a movie's frame texture: every material layer that
    //   shows it is left without a texture;
    // - a sample: every sound that plays it falls silent (no sample);
    // - a font: every text that uses it takes the default font;
    // - a material: every polyline and image that shows it is left without
    //   one.
    // Objects other than meshes let go through the forget function of their
    // type code: the controller registers those of texts, images and
    // polylines (CTRL_OverlayForget.h), other kinds register their own.
    // When users had to let go, the diagnostic log says so: the script
    // deleted something that was still in use.
    MDL_Scene *addScene(const char *name);
    // Appends a viewport at that position and size (frame units) and makes
    // it the current viewport.
    MDL_Viewport *addViewport(const MTH_Vector2D &position, const MTH_Vector2D &size);
    // A movie over the member, appended also when the member does not open.
    MDL_Stream *addStream(const char *name);
    // Null when the member is missing.
    MDL_Texture *addTexture(const char *name);
    // Flags the texture for release; nothing else (nothing for null). The
    // next drawn frame hands a flagged texture of the list to the renderer's
    // release, then destroys it with removeTexture.
    void releaseTexture(MDL_Texture *texture);
    // Null when the member is missing or empty.
    MDL_Font *addFont(const char *name);
    // Null when the member is missing.
    MDL_Sample *addSample(const char *name);
    // Null when the member is missing or its text does not load (that set
    // is not kept).
    MDL_ModelsSet *addModelsSet(const char *name);
    bool removeViewport(MDL_Viewport *viewport);
    bool removeStream(MDL_Stream *stream);
    bool removeTexture(MDL_Texture *texture);
    bool removeFont(MDL_Font *font);
    bool removeSample(MDL_Sample *sample);
    bool removeModelsSet(MDL_ModelsSet *set);
    // Makes everything the controller reaches let go of what removal holds:
    // the objects and animation players of every scene, the objects and
    // materials of every listed models set, the viewports' cameras and
    // microphones, the grabbed and hover objects. Returns how many holders
    // let go of something.
    int forgetResources(const CTRL_ResourceRemoval &removal);
    // Registers (null: unregisters) how objects of a type code let go;
    // false for a code that is no object type and for meshes and animated
    // meshes, which the controller handles itself.
    static bool setForgetFunction(int type, CTRL_ForgetFunction forget);
    // ---- end of resource lists ----

    // Frame loop.
    void setRunning();
    // One frame; a time step of 0 means: measure it.
    void frame(void *context, VIEW_Generic *renderer, double deltaTime);
    void update(double deltaTime);
    void trackGrabPoint();
    void updateSound();
    void draw(void *context, VIEW_Generic *renderer);
    void resize(int width, int height);
    // Removes an object and its children from their scene tree; the scene
    // frees them at its next purge.
    void removeObject(MDL_Object *object);
    MTH_Vector3D getSceneMouse(const MTH_Vector3D &defaultPoint);

    // ---- Input (CTRL_Input.cpp, CTRL_Pick.cpp, CTRL_Navigate.cpp,
    // CTRL_Drag.cpp) ----
    // What the platform shell hands over: key codes (the scripts' KEY_
    // values; the modifiers shift, control and alt as keys 16, 17 and 18)
    // and mouse positions in view pixels from the view's top-left corner.
    //
    // Keys 0 to 255 set or clear their entry of the key table (a code beyond
    // them, a character typed on another layout, has none), and every key goes,
    // unless halted, as an event to the current viewport's script function
    // and, when that does not consume it, to the scripts' event callback.
    void keyDown(int code);
    void keyUp(int code);
    // The left button: the viewport under the mouse becomes the current
    // one; the object under the mouse (pick) is grabbed unless it is a
    // background object, and receives the mouse-down event, which climbs its
    // parents until a script function consumes it. control is not used.
    void mouseDown(bool control, double x, double y);
    // The picked object receives the mouse-up event and, unless the mouse
    // moved (a squared distance above 10 pixels from the press) or the wheel
    // turned since the press, the click; the grab ends.
    void mouseUp(double x, double y);
    void rightMouseDown(double x, double y);
    void rightMouseUp(double x, double y);
    // Any motion: without a button the hover object follows the mouse; with
    // the left button on a grabbed object, shift moves the grab depth;
    // otherwise the current viewport's camera navigates.
    void mouseMove(bool shift, bool control, double x, double y);
    // amount: the platform's vertical scroll delta times 60. An event for
    // the scripts; then the grabbed object turns (shift) or its grab depth
    // changes, or else the camera rolls (shift) or zooms.
    void mouseWheel(bool shift, double x, double y, double amount);
    // Recomputes m_poHoverObject and m_oGrabPoint from m_oViewportMouse in
    // the current viewport: overlays first (the largest z of those hit wins),
    // then the nearest active mesh along the pick ray (of a skinned mesh,
    // the bone of the largest weight at the hit point).
    void pick();
    // Moves the current viewport's camera by the last mouse motion, as its
    // navigation mode says.
    void navigate(bool shift, bool control);
    // A pixel point in viewport coordinates: u from 0 to 1 across the
    // viewport, v from 0 to height / width down it. (0, 0) for a view,
    // document frame or viewport without width.
    MTH_Vector2D mouseToViewport(const MDL_Viewport *viewport, const MTH_Vector2D &pixel) const;
    // The last active viewport in the list that holds the pixel point, or
    // null.
    MDL_Viewport *viewportUnder(const MTH_Vector2D &pixel) const;
    // The velocity that takes the grab point to the mouse in the time step
    // dt (m_fDeltaTime in a frame), kept below the object's m_fMaxMouseMove
    // per integration step; false (velocity untouched) when nothing is
    // grabbed, there is no current viewport with a camera, or dt is not
    // above 0.
    bool dragVelocity(double dt, MTH_Vector3D &velocity);
    // Moves the grabbed object (or what carries it) by the velocity for a
    // physics sub-step of length dt: a movable rigid body gets that speed at
    // the grab point, a bone bends its chain towards the target and hands
    // on what the chain does not follow, any other movable object moves, an
    // object that is not movable hands the drag to its parent. Nothing when
    // dt is not above 0.
    void applyDrag(MDL_Object *object, const MTH_Vector3D &velocity, double dt);
    // The movable rigid body that the drag of the grabbed object reaches, or
    // null. While it is dragged its friction is 0.7.
    MDL_Object *draggedBody() const;
    // ---- end of input ----

    // The largest centred rectangle of the document's aspect ratio that fits
    // the view: offset and size in view pixels.
    struct DocumentFrame {
        MTH_Vector2D m_oOffset;
        double m_fWidth;
        double m_fHeight;
    };
    DocumentFrame documentFrame() const;
    // The caption drawn while the document loads.
    void splashCaption(char *out, int size) const;

    // The stage message stored by the error report for a load stage.
    static const char *stageMessage(int stage);

    // --- fields, in declaration order ---
    char m_acLanguage[6];
    int m_iPlatform;
    VIEW_Generic *m_poRenderer;
    VIEW_Sound *m_poSound;
    CTRL_ScriptEngine *m_poScriptEngine;
    MDL_Object *m_poGrabbedObject;
    MDL_Object *m_poHoverObject;
    MTH_Vector3D m_oGrabPoint;
    MDL_Font *m_poDefaultFont;
    UTIL_DynArray<char, 128> *m_poDocument;
    int m_iLoadStage;
    char *m_sDocumentPath;
    bool m_bRunning;
    bool m_bStarted;
    bool m_bRightButtonDown;
    bool m_bLeftButtonDown;
    bool m_bHalted;
    double m_fDeltaTime;
    UTIL_DynArray<MDL_Scene *, 128> m_oScenes;
    UTIL_DynArray<MDL_Viewport *, 128> m_oViewports;
    UTIL_DynArray<MDL_Stream *, 128> m_oStreams;
    UTIL_DynArray<MDL_Sample *, 128> m_oSamples;
    UTIL_DynArray<MDL_ModelsSet *, 128> m_oModelsSets;
    UTIL_DynArray<MDL_Font *, 128> m_oFonts;
    UTIL_DynArray<MDL_Texture *, 128> m_oTextures;
    MDL_Viewport *m_poCurrentViewport;
    MTH_Vector2D m_oViewSize;
    bool m_bHiDPI;
    char *m_sErrorText;
    double m_fAspectRatio;
    int m_iVersionMajor;
    int m_iVersionMinor;
    int m_iVersionPatch;
    int m_iVersionExtra;
    MTH_Vector2D m_oMouse;
    MTH_Vector3D m_oViewportMouse;
    MTH_Vector2D m_oPreviousMouse;
    bool m_bMovedSincePress;
    MTH_Vector2D m_oPressPosition;
    MTH_Vector3D m_oAcceleration;
    MTH_Vector2D m_oLastViewSize;
    MTH_Vector4D m_oBackgroundColor;
    UTIL_Timer m_oFrameTimer;
    UTIL_Timer m_oStartTimer;
    bool m_abKeys[256];
    bool m_abPreviousKeys[256];
    bool *m_pbKeys;
    bool *m_pbPreviousKeys;
    char *m_sMessage;
    double m_fMessageTime;
    int m_iSplashState;
    MDL_Image *m_poLogoImage;
    MDL_Texture *m_poLogoTexture;

    // Index of the document's members by name, built from the member walk
    // the first time a member is looked up; owned.
    CTRL_MemberIndex *m_poMemberIndex;

protected:
    // Input helpers (CTRL_Input.cpp): the previous mouse position kept, the
    // new one stored and mapped into the current viewport; an input event
    // for the current viewport and then the scripts; an object event that
    // climbs the parents from object until consumed.
    void storeMouse(double x, double y);
    void keyEvent(int code, bool down);
    void sendInputEvent(const CTRL_ScriptEvent &event);
    void postToParents(int code, MDL_Object *object, const MTH_Vector3D &point);
    // Steps 3 to 5 of the wheel (CTRL_Navigate.cpp): the grabbed object
    // turns or its grab depth changes, or else the camera rolls or zooms.
    void wheelNavigate(bool shift, double amount);
    // The drag of a movable rigid body: the body is woken and the point of
    // holder under the mouse given the velocity (CTRL_Drag.cpp).
    void dragRigidBody(MDL_Object *body, MDL_Object *holder, const MTH_Vector3D &velocity);
    // Empties the seven resource lists, destroying their elements.
    void removeAllResources();
    // The font named "default" over the built-in font data.
    void createDefaultFont();
    void destroyDefaultFont();
    // The splash logo: a texture over the built-in picture and an image of
    // it a quarter of the frame wide, centred at (0.5, 0.2), z 1.
    void createLogoImage();
    void destroyLogoImage();
    // Takes the document buffer and checks it; the scrambled bytes come from
    // scrambled, or are already in the buffer when it is null.
    bool loadDocument(UTIL_DynArray<char, 128> *bytes, const unsigned char *scrambled);
    bool verifyDocumentFrom(const unsigned char *scrambled);

public:
    // Opens a document held in memory as if read from path (the bytes are
    // copied): the same checks as openDocument, for tools and tests.
    bool openDocumentBytes(const char *path, const unsigned char *bytes, size_t size);
};
