#pragma once

#include <cstdint>
#include <new>

struct lua_State;
class LMP_Proxy;
class UTIL_Proxy;
class MDL_Object;

// What the shared helpers know of one bound class, whatever its proxy type:
// made by LMP_Luna<T> (scripting/LMP_Luna.h) from the class's binding data.
struct LMP_ClassInfo {
    const char *m_sClassName; // the class table's global name and its metatable's registry key
    int m_iTypeCode;          // OBJECT_ code that LMP_iPushProxy maps to the class, LMP_NO_TYPE_CODE for none
    bool m_bObjectArgument;   // accepted by LMP_iGetObject
    // A new proxy of the class bound around an engine object (object classes
    // with a wrapping constructor), null otherwise.
    LMP_Proxy *(*m_pfnWrap)(MDL_Object *object);
    // The proxy when it is an instance of the class (or of a class derived
    // from it), else null: the C++ side of the class check, which no script
    // can fake.
    LMP_Proxy *(*m_pfnCast)(UTIL_Proxy *proxy);
};

enum { LMP_NO_TYPE_CODE = -1 };

// --- argument checking and error reporting ---

// Checks the arguments on the stack against a signature of type letters and
// stores each matched value through the next pointer (one per letter, none
// for the bar):
//   B bool*            a boolean
//   C MTH_Vector4D**   a "color"                  (a mismatch raises)
//   F int*             a function (its registry reference) or nil (0)
//   I int32_t*         a number or numeric string, truncated; NaN gives 0,
//                      out-of-range values the nearest 32-bit integer
//   M MTH_Matrix3x3**  an "m33"                    (a mismatch raises)
//   N double*          a number or numeric string
//   R MDL_RigidBody**  nil (null) or a live "newRigidBody" proxy's engine
//                      object                      (a mismatch raises)
//   S const char**     a string, or a number converted in place
//   V MTH_Vector3D**   a "v3"                      (a mismatch raises)
//   W MTH_Vector2D**   a "v2"                      (a mismatch raises)
//   |                  the letters after it are optional
// Unmatched outputs keep what the caller put there (the defaults). Returns the
// number of arguments, or 0 after a reported error; note that a call with no
// arguments also yields 0. Function references are taken only when the whole
// check succeeds, so a failed check leaves no reference behind.
// Raises only from its own frame: call it before anything with a destructor
// lives in the caller's frame.
int LMP_iCheckArgs(lua_State *L, const char *signature, ...);

// Reports a binding error: the calling script's "source:line: " in front of
// the formatted message (at most 1023 characters), then the controller's
// error report, which halts the document. Nothing is raised; the caller
// returns no values and the script runs on. Dropped without a controller.
void LMP_iReportError(lua_State *L, const char *format, ...) __attribute__((format(printf, 2, 3)));

// What a host function does when an engine allocation inside it failed:
// gives back the player's memory reserve (UTIL_MemoryReserve), reports "not
// enough memory" (the engine may be left without part of what the call was
// making, so the document stops), then raises that text as a
// Lua error, the one a script meets at the interpreter's memory cap. Call it
// from a frame that holds plain data only. Never returns.
int LMP_iRaiseOutOfMemory(lua_State *L);

// Runs call(), the work of a host function (it returns the number of
// results), behind the guard of every bound call: when an engine allocation
// fails inside it (std::bad_alloc), its C++ frames unwind first, and then
// LMP_iRaiseOutOfMemory. A Lua error raised inside call() passes through.
template <class Call> int LMP_iGuardedCall(lua_State *L, const Call &call)
{
    bool exhausted = false;
    int results = 0;
    try {
        results = call();
    } catch (const std::bad_alloc &) {
        exhausted = true;
    }
    return exhausted ? LMP_iRaiseOutOfMemory(L) : results;
}

// The host function F behind that guard, for registering it.
template <int (*F)(lua_State *)> int LMP_iGuarded(lua_State *L)
{
    return LMP_iGuardedCall(L, [L] { return F(L); });
}

// A registry reference to a copy of the value at index (luaL_ref's scheme);
// -1 for nil. The value stays where it is.
int LMP_iRefFunction(lua_State *L, int index);

// The value at index (a number or numeric string, else 0) as a 32-bit
// integer: truncated toward zero, NaN gives 0, out-of-range values the
// nearest representable integer.
int32_t LMP_iToInteger(lua_State *L, int index);
// Keeps a function reference (from the "F" letter) as the callback of id in
// slots (ids 1 to MDL_CB_MAX, slot id - 1). An id outside that range, or an owner
// that is gone (alive false), keeps nothing and gives the reference back;
// a replaced callback's reference is given back too.
void LMP_iStoreCallback(lua_State *L, int *slots, int id, int reference, bool alive);

// A number rounded to single precision, as the engine's times take it;
// finite values beyond its range become its largest value.
double LMP_fToSingle(double value);

// The standard argument error for the argument at index of the running host
// function ("bad argument #%d to '%s' (%s)", or "calling '%s' on bad self
// (%s)" for the receiver of a method call). Counts the argument as the
// script wrote it, also in functions that removed their receiver first
// (marked with LMP_pushSelfMark). Never returns.
int LMP_iArgError(lua_State *L, int index, const char *message);

// Pushes the mark that a host function carries as an upvalue when it removes
// its receiver before checking its arguments, so that argument errors still
// count the script's positions.
void LMP_pushSelfMark(lua_State *L);

// --- proxies ---

// Pushes the proxy of an engine object of any object kind, picked by its
// type code among the registered classes: the proxy bound to the object when
// it is one of that class, else a new proxy of the class around it. Returns
// the number of values pushed: 1 (nil for a null object), or 0 after
// reporting "LMP_iPushProxy -> Unknown object type".
int LMP_iPushProxy(lua_State *L, MDL_Object *object);

// The proxy of the object-class argument at index (a class registered as an
// object argument, holding a live proxy), or null. All of these classes
// derive from LMP_Object.
LMP_Proxy *LMP_iGetObject(lua_State *L, int index);

// --- the class mechanism's shared steps (used by LMP_Luna<T>) ---

// The proxy pointer held by the userdata at index when it is a proxy
// userdata whose metatable is the value at metatableIndex (identity), else
// null. The pointer is not yet checked against the class.
LMP_Proxy *LMP_poProxyAt(lua_State *L, int index, int metatableIndex);
// The same with the class's registered metatable, and the class check.
LMP_Proxy *LMP_poProxyOfClass(lua_State *L, int index, const LMP_ClassInfo *info);
// Pushes the class's one userdata for proxy (creating it with a reference of
// its own when the script holds none); nil for null. Returns 1.
int LMP_iPushUserdata(lua_State *L, const LMP_ClassInfo *info, LMP_Proxy *proxy);
// The same for a new proxy that nothing owns (its count is 0): when the push
// fails (out of memory, an interrupt), or leaves the proxy without its
// userdata, the proxy is deleted; a failure is raised again.
int LMP_iPushNewProxy(lua_State *L, const LMP_ClassInfo *info, LMP_Proxy *proxy);
// Registration steps 1 to 5 and the class's records: leaves the metatable and
// the class table on the stack (class table on top) and returns true; false
// (nothing left on the stack, a diagnostic written) when the class name or
// type code is taken already.
bool LMP_bBeginClass(lua_State *L, const LMP_ClassInfo *info, int (*construct)(lua_State *), int (*text)(lua_State *),
                     int (*collect)(lua_State *));
// Keeps the receiver at stack slot 1 (the userdata of proxy) alive until
// LMP_releaseReceiver, for a method call on a proxy that nothing else owns;
// false when it is anchored already (by an outer call). A raise leaves it
// anchored until the interpreter closes.
bool LMP_bAnchorReceiver(lua_State *L, LMP_Proxy *proxy);
void LMP_releaseReceiver(lua_State *L, LMP_Proxy *proxy);
// __tostring: "<class name> (<proxy address>)".
int LMP_iProxyText(lua_State *L, const char *className);
// __gc: drops the userdata's reference; the proxy deletes itself at 0. The
// engine object is never deleted.
int LMP_iCollectProxy(lua_State *L);
