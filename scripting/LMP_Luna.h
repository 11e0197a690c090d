#pragma once

#include <type_traits>
#include <typeinfo>

#include <lua.hpp>

#include "scripting/LMP_Binding.h"
#include "scripting/LMP_Proxy.h"

class MDL_Object;

// One method row of a bound class: the Lua name and the member function,
// which sees its own arguments from stack slot 1 (the receiver is removed)
// and returns the number of results it pushed. A null name ends a list.
template <class T> struct LMP_Method {
    const char *name;
    int (T::*mfunc)(lua_State *L);
};

// The binding data of one class T, defined once at the bottom of its binding
// file as the static member T::binding. Inherited is the proxy class whose
// rows come first (LMP_Object for the object classes), or void.
template <class T, class Inherited = void> struct LMP_Class {
    typedef Inherited Base;
    const char *m_sClassName; // "newMesh": global class table and metatable key
    int m_iTypeCode;          // OBJECT_ code for LMP_iPushProxy, or LMP_NO_TYPE_CODE
    bool m_bObjectArgument;   // accepted by LMP_iGetObject
    const LMP_Method<T> *m_poMethods;
};

// Whether C is T's own binding data (not a base class's, found through
// inheritance when T forgot to define its own).
template <class T, class C> struct LMP_IsClassOf : std::false_type {
};
template <class T, class B> struct LMP_IsClassOf<T, const LMP_Class<T, B>> : std::true_type {
};

// The script side of one proxy class T: its global class table (callable, and
// with "new"), its metatable (registry entry of the class name), method
// dispatch, text form, collection and one userdata per proxy.
//
// T provides:
//   static const LMP_Class<T, Base> binding;       its binding data
//   static T *create(lua_State *L);                the script constructor: checks its
//                                                  arguments first, allocates after, never null
//   explicit T(MDL_Object *object);                object classes: the wrapping
//                                                  constructor, binding itself into the
//                                                  object's proxy handle
// Methods and create may raise (argument letters C, M, V, W, R), so they keep
// nothing with a destructor in their frames and allocate only after their
// checks. A method on a proxy whose engine object is gone returns 0. An
// engine allocation that fails in either (std::bad_alloc) becomes Lua's
// memory error (LMP_iGuardedCall).
template <class T> class LMP_Luna {
public:
    typedef LMP_Method<T> RegType;

    // Creates the class table, the metatable and the method closures.
    static void registerClass(lua_State *L)
    {
        static_assert(std::is_base_of<LMP_Proxy, T>::value, "a bound class derives from LMP_Proxy");
        if (!LMP_bBeginClass(L, info(), new_el, tostring_el, gc_el))
            return;
        typedef typename std::remove_const<decltype(T::binding)>::type::Base Base;
        addRows<Base>(L);
        addMethods<T>(L, T::binding.m_poMethods);
        lua_pop(L, 2);
    }

    // __call of the class table and its "new": the first slot (the class
    // table, or whatever "new" was given first) is dropped, the rest are the
    // constructor's arguments; "new" called with nothing at all has no slot
    // to drop. A new proxy that nothing owns yet (one bound to no engine
    // object) is pushed so that a failing push deletes it.
    static int new_el(lua_State *L)
    {
        if (lua_gettop(L) > 0)
            lua_remove(L, 1);
        T *proxy = nullptr;
        LMP_iGuardedCall(L, [L, &proxy] {
            proxy = T::create(L);
            return 0;
        });
        if (proxy != nullptr && proxy->m_iRefCount == 0)
            return LMP_iPushNewProxy(L, info(), proxy);
        return push(L, proxy);
    }

    // The closure behind every method: the receiver must be this class's
    // userdata with a live proxy, else the standard argument error is raised.
    template <class B> static int thunk(lua_State *L)
    {
        T *self = checkSelf(L);
        if (self == nullptr)
            return luaL_argerror(L, 1, T::binding.m_sClassName);
        const LMP_Method<B> *row = static_cast<const LMP_Method<B> *>(lua_touserdata(L, lua_upvalueindex(1)));
        // Once removed from the stack, a receiver that the script does not
        // hold could be collected during the call; a proxy that nothing else
        // owns would go with it, so such a receiver is anchored meanwhile.
        bool anchored = self->m_iRefCount < 2 && LMP_bAnchorReceiver(L, self);
        lua_remove(L, 1);
        B *receiver = self;
        // A failed engine allocation leaves the receiver anchored, as any raise.
        int results = LMP_iGuardedCall(L, [L, receiver, row] { return (receiver->*(row->mfunc))(L); });
        if (anchored)
            LMP_releaseReceiver(L, self);
        return results;
    }

    static int tostring_el(lua_State *L) { return LMP_iProxyText(L, T::binding.m_sClassName); }
    static int gc_el(lua_State *L) { return LMP_iCollectProxy(L); }

    // Pushes the one userdata of the proxy (nil for null). Returns 1.
    static int push(lua_State *L, T *proxy) { return LMP_iPushUserdata(L, info(), proxy); }

    // Pushes the proxy of an engine object of this class's kind: the one
    // bound to its handle, or a new T(object), which binds itself. Needs
    // O::m_oProxyHandle and a constructor T(O *). Nil for null.
    template <class O> static int pushObject(lua_State *L, O *object)
    {
        if (object == nullptr) {
            lua_pushnil(L);
            return 1;
        }
        T *proxy = cast(object->m_oProxyHandle.getProxy());
        if (proxy == nullptr)
            proxy = new T(object);
        return push(L, proxy);
    }

    // The live proxy of this class at index, or null (nothing raised): for
    // bindings whose arguments are instances of another class.
    static T *toProxy(lua_State *L, int index) { return cast(LMP_poProxyOfClass(L, index, info())); }

    // The proxy when it is a T (or derives from it), else null.
    static T *cast(UTIL_Proxy *proxy)
    {
        if (proxy == nullptr)
            return nullptr;
        if (typeid(*proxy) == typeid(T))
            return static_cast<T *>(proxy);
        return dynamic_cast<T *>(proxy);
    }

    static const LMP_ClassInfo *info()
    {
        static_assert(LMP_IsClassOf<T, decltype(T::binding)>::value,
                      "T::binding must be T's own LMP_Class<T, ...>: every bound class defines one");
        // Filled at run time, not by an initializer: a translation unit that
        // sees T::binding's definition could constant-initialize the record
        // while another, which does not, initializes it under a guard, and
        // the linker may pair one unit's data with the other's code.
        static LMP_ClassInfo s_oInfo;
        if (s_oInfo.m_sClassName == nullptr)
            s_oInfo = LMP_ClassInfo{T::binding.m_sClassName, T::binding.m_iTypeCode, T::binding.m_bObjectArgument,
                                    wrapFunction(), castProxy};
        return &s_oInfo;
    }

private:
    static LMP_Proxy *castProxy(UTIL_Proxy *proxy) { return cast(proxy); }

    static LMP_Proxy *wrap(MDL_Object *object) { return new T(object); }
    static LMP_Proxy *(*wrapFunction())(MDL_Object *)
    {
        if constexpr (std::is_constructible<T, MDL_Object *>::value)
            return wrap;
        else
            return nullptr;
    }

    // The receiver of a method call: argument 1 when it is a proxy userdata
    // whose metatable is exactly this class's (upvalue 2) and whose proxy is
    // a T.
    static T *checkSelf(lua_State *L) { return cast(LMP_poProxyAt(L, 1, lua_upvalueindex(2))); }

    template <class B> static void addRows(lua_State *L)
    {
        if constexpr (!std::is_void<B>::value) {
            static_assert(std::is_base_of<B, T>::value, "the inherited rows belong to a base class");
            addMethods<B>(L, B::binding.m_poMethods);
        }
    }

    // Sets class table[name] = a thunk closure for each row, on the class
    // table at -1 with the metatable at -2. A later row with the same name
    // replaces an earlier one.
    template <class B> static void addMethods(lua_State *L, const LMP_Method<B> *rows)
    {
        for (const LMP_Method<B> *row = rows; row != nullptr && row->name != nullptr; row++) {
            lua_pushlightuserdata(L, const_cast<LMP_Method<B> *>(row));
            lua_pushvalue(L, -3);
            LMP_pushSelfMark(L);
            lua_pushcclosure(L, thunk<B>, 3);
            lua_setfield(L, -2, row->name);
        }
    }
};
