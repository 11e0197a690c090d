#pragma once

#include <cstdarg>

#include "foundation/MTH_Vector.h"
#include "foundation/UTIL_ProxyHandle.h"

class MDL_Object;

// The callback ids that scripts register functions for (the scripts' CB_
// constants take their values from here), which are also the codes of the
// events that engine objects post to their script proxies through their
// UTIL_ProxyHandle. Beside each posted code stands the shape of the
// arguments it carries: a small struct whose post hands them to
// UTIL_ProxyHandle::postEvent in their order, and whose read takes them back
// in that order inside a proxy's handleCallback. Posters and handlers go
// through these shapes only, so the two sides cannot disagree.
//
// The list lives in the model, the lowest layer that posts events (a bone
// that turns, the scene step and its contacts) and the lowest that can name
// the objects they carry; the controller posts the input and mouse events
// with it, and the bindings read them all.
enum MDL_CallbackId {
    MDL_CB_UPDATE = 1,                // not posted: the script engine calls it once a frame
    MDL_CB_EVENT = 2,                 // the current viewport's input: MDL_InputEvent
    MDL_CB_MOUSE_DOWN = 3,            // to the picked object, then its parents: MDL_PickEvent
    MDL_CB_MOUSE_UP = 4,              // to the grabbed object, then its parents: MDL_PickEvent
    MDL_CB_MOUSE_CLICK = 5,           // the same, after a release without motion: MDL_PickEvent
    MDL_CB_MOVED = 6,                 // to a dragged object or a turned bone: MDL_MovedEvent
    MDL_CB_MECHA = 7,                 // to the scene at the end of a step: MDL_StepEvent
    MDL_CB_POST_INTEGRATION = 8,      // to the scene after its bodies moved: MDL_StepEvent
    MDL_CB_PRE_COLLISION = 9,         // to the scene before a contact's response: MDL_ContactEvent
    MDL_CB_POST_COLLISION = 10,       // to the scene after a normal impulse: MDL_ContactEvent
    MDL_CB_ASPECT_RATIO_CHANGED = 11, // not posted: the script engine calls it
    // The last id, and so the number of callback slots (id i at index i - 1).
    MDL_CB_MAX = MDL_CB_ASPECT_RATIO_CHANGED,
};

// MDL_CB_EVENT: the input record. Its type is the controller's
// (CTRL_ScriptEvent); the model leaves it open as Record.
template <class Record> struct MDL_InputEvent {
    const Record *m_poRecord;

    int post(UTIL_ProxyHandle &handle, UTIL_EventHost *host) const
    {
        return handle.postEvent(host, MDL_CB_EVENT, m_poRecord);
    }
    static MDL_InputEvent read(va_list args) { return MDL_InputEvent{va_arg(args, const Record *)}; }
};

// MDL_CB_MOUSE_DOWN, MDL_CB_MOUSE_UP, MDL_CB_MOUSE_CLICK: the object first
// picked (it stays the same while the event climbs the parents), then the
// point in that object's own coordinates.
struct MDL_PickEvent {
    MDL_Object *m_poPicked;
    MTH_Vector3D m_oPoint;

    int post(UTIL_ProxyHandle &handle, UTIL_EventHost *host, int code) const
    {
        return handle.postEvent(host, code, m_poPicked, &m_oPoint);
    }
    static MDL_PickEvent read(va_list args)
    {
        MDL_PickEvent event{va_arg(args, MDL_Object *), MTH_Vector3D()};
        if (const MTH_Vector3D *point = va_arg(args, const MTH_Vector3D *))
            event.m_oPoint = *point;
        return event;
    }
};

// MDL_CB_MOVED: nothing.
struct MDL_MovedEvent {
    int post(UTIL_ProxyHandle &handle, UTIL_EventHost *host) const { return handle.postEvent(host, MDL_CB_MOVED); }
};

// MDL_CB_MECHA, MDL_CB_POST_INTEGRATION: the length of the step that posts
// them (0 for the zero-length step).
struct MDL_StepEvent {
    double m_fStep;

    int post(UTIL_ProxyHandle &handle, UTIL_EventHost *host, int code) const
    {
        return handle.postEvent(host, code, m_fStep);
    }
    static MDL_StepEvent read(va_list args) { return MDL_StepEvent{va_arg(args, double)}; }
};

// MDL_CB_PRE_COLLISION, MDL_CB_POST_COLLISION: the contact point (on the
// first volume's surface), the unit normal from the first volume towards the
// second, a value (the depth before the response, the impulse magnitude,
// always positive, after it), then the first body, the first volume, the
// second body and the second volume, null for none. A contact with the
// scene's bounds passes the body and the object that reached the bound, and
// no second body or volume. An impulse that only one body took (the other
// volume has no body, or belongs to a still body that answers as a surface)
// is posted with that body and its volume first and the normal from the
// other volume into it.
struct MDL_ContactEvent {
    MTH_Vector3D m_oPoint;
    MTH_Vector3D m_oNormal;
    double m_fValue;
    MDL_Object *m_apoObjects[4];

    int post(UTIL_ProxyHandle &handle, UTIL_EventHost *host, int code) const
    {
        return handle.postEvent(host, code, &m_oPoint, &m_oNormal, m_fValue, m_apoObjects[0], m_apoObjects[1],
                                m_apoObjects[2], m_apoObjects[3]);
    }
    static MDL_ContactEvent read(va_list args)
    {
        MDL_ContactEvent event{MTH_Vector3D(), MTH_Vector3D(), 0, {nullptr, nullptr, nullptr, nullptr}};
        if (const MTH_Vector3D *point = va_arg(args, const MTH_Vector3D *))
            event.m_oPoint = *point;
        if (const MTH_Vector3D *normal = va_arg(args, const MTH_Vector3D *))
            event.m_oNormal = *normal;
        event.m_fValue = va_arg(args, double);
        for (MDL_Object *&object : event.m_apoObjects)
            object = va_arg(args, MDL_Object *);
        return event;
    }

    // What a handler returns for MDL_CB_PRE_COLLISION once it has put the
    // question to a script: handled, with REFUSED when the contact is to be
    // ignored.
    enum { REFUSED = 0x100 };
    static int answer(bool respond) { return respond ? 1 : 1 | REFUSED; }
    // Posts MDL_CB_PRE_COLLISION: true when the contact gets its response,
    // which it does unless a handler refused it. Where nobody is asked (no
    // host, a host that takes no events now, no proxy, no function for the
    // event) nobody refuses, and the contact is answered.
    bool ask(UTIL_ProxyHandle &handle, UTIL_EventHost *host) const
    {
        return (post(handle, host, MDL_CB_PRE_COLLISION) & REFUSED) == 0;
    }
};
