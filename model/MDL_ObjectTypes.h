#pragma once

// Object type codes (the values of the scripts' OBJECT_ constants).
enum {
    OBJECT_NONE = 0,
    OBJECT_LAMP = 1,
    OBJECT_CAMERA = 2,
    OBJECT_MESH = 3,
    OBJECT_RIGID_BODY = 4,
    OBJECT_SOUND = 5,
    OBJECT_BONE = 6,
    OBJECT_ANIMATED_MESH = 7,
    OBJECT_TEXT = 8,
    OBJECT_IMAGE = 10,
    OBJECT_MIKE = 11,
    OBJECT_POLYLINE = 12,
    OBJECT_COLLISION_VOLUME = 13,
    OBJECT_LOCATOR = 14,
};

// Code 9 is named "RtfText" in models-set files and counted among the
// overlay kinds, but has no class and no script constant: the models-set
// reader skips such objects.
enum { MDL_TYPE_RTF_TEXT = 9 };

// Whether objects of the type are drawn over the 3D view (the scene's
// overlay list): texts, "RtfText", images and polylines.
inline bool MDL_isOverlayType(int type)
{
    return type == OBJECT_TEXT || type == MDL_TYPE_RTF_TEXT || type == OBJECT_IMAGE || type == OBJECT_POLYLINE;
}

// One past the highest type code.
enum { MDL_TYPE_COUNT = 15 };

// State bits of an object (the values of the scripts' STATE_ constants).
enum {
    STATE_ACTIVE = 1,
    STATE_MOVABLE = 2,
    STATE_VISIBLE = 4,
    STATE_CONSTRAIN_MOUSE = 8,
    STATE_BACKGROUND = 16,
    STATE_ALL = 31,
};

// Scope of a state operation: the object alone, or the object and all its
// descendants. Any value other than SCOPE_RECURSE means the object alone.
enum {
    SCOPE_OBJECT = 1,
    SCOPE_RECURSE = 2,
};
