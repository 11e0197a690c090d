#pragma once

#include <cstddef>

struct lua_State;

// The ground the standard Lua libraries stand on inside a document: every
// file name goes through the stream layer (a plain name is a member of the
// open document, "//name" a real file beside the document file), console
// output goes to the diagnostic log, the standard input is empty, and
// nothing reaches processes, native modules or the process locale.

// Opens the ten standard libraries with the player's versions of the file
// and console functions installed in them.
void LMP_openScriptLibraries(lua_State *L);

// The chunk loader used by loadfile, dofile, require and the engine: like
// luaL_loadfilex, but the name is opened through the stream layer (null
// name: the standard input, which is empty). Leaves the chunk or the error
// text on the stack and returns the load status.
// A "//" file beside the document loads as text only (see
// LMP_textOnlyMode).
int LMP_iLoadScriptFile(lua_State *L, const char *name, const char *mode);

// Compiles a document member's bytes as the chunk loader compiles the member
// of that name (its start skipped, source text or precompiled), and runs
// nothing: leaves the chunk, or the error text ("name:line: message"), on
// the stack and returns the load status (LMP_ScriptChunk.cpp).
int LMP_iLoadScriptBytes(lua_State *L, const char *name, const unsigned char *bytes, size_t size);

// The load mode that keeps only text of mode (null: the default "bt"):
// "t", or "" when mode allows no text. A binary chunk is then refused with
// the interpreter's own "attempt to load a binary chunk" error.
const char *LMP_textOnlyMode(const char *mode);

// print, debug.debug and the panic handler (LMP_ScriptConsole.cpp).
void LMP_installConsole(lua_State *L);
int LMP_iScriptPanic(lua_State *L);

// loadfile, dofile, load, loadstring and require's search
// (LMP_ScriptLoader.cpp).
void LMP_installLoader(lua_State *L);

// The io library over the stream layer, as a luaopen function (LMP_ScriptIo.cpp).
int LMP_iOpenIoLibrary(lua_State *L);
// After the interpreter whose main thread was state closed: closes the
// files its scripts left open whose handles were never collected (those
// that finalizers opened while it closed).
void LMP_closeFilesLeftOpen(lua_State *state);

// What a document may do of the os library (LMP_ScriptOs.cpp).
void LMP_installOs(lua_State *L);

// coroutine.resume and coroutine.wrap that tell the script engine which
// coroutine runs (LMP_ScriptCoroutines.cpp).
void LMP_installCoroutines(lua_State *L);
