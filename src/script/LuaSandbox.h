#pragma once

#include <QString>

struct lua_State;

namespace zorvane::script {

// A new Lua state with the libraries a script may use: the base library, coroutines,
// strings, tables, maths, UTF-8, files through io, and os without os.execute and os.exit;
// io.popen and the loading of C modules are gone, and chunks load from text only (a
// precompiled chunk can crash the interpreter). require finds Lua modules beside the script.
// Null when there is no memory.
lua_State *newSandbox(const QString &scriptFolder);

} // namespace zorvane::script
