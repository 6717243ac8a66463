#include "script/LuaSandbox.h"

#include <lua.hpp>

namespace zorvane::script {

namespace {

// Runs once in the new state, before the script: takes away what a script must not reach,
// with the original loaders kept as upvalues only these wrappers can see.
constexpr char kRestrictions[] = R"lua(
local rawload, rawloadfile = load, loadfile
load = function(chunk, name, mode, env) return rawload(chunk, name, "t", env) end
loadfile = function(name, mode, env) return rawloadfile(name, "t", env) end
dofile = function(name)
  local f = assert(loadfile(name))
  return f()
end
os.execute, os.exit = nil, nil
io.popen = nil
package.loadlib = nil
package.cpath = ""
package.searchers[4], package.searchers[3] = nil, nil
package.searchers[2] = function(name)
  local path, err = package.searchpath(name, package.path)
  if not path then return err end
  local f, loadErr = rawloadfile(path, "t")
  if not f then error(loadErr, 2) end
  return f, path
end
)lua";

} // namespace

lua_State *newSandbox(const QString &scriptFolder)
{
    lua_State *L = luaL_newstate();
    if (!L)
        return nullptr;
    const luaL_Reg libraries[] = {
        {LUA_GNAME, luaopen_base},          {LUA_LOADLIBNAME, luaopen_package},
        {LUA_COLIBNAME, luaopen_coroutine}, {LUA_TABLIBNAME, luaopen_table},
        {LUA_IOLIBNAME, luaopen_io},        {LUA_OSLIBNAME, luaopen_os},
        {LUA_STRLIBNAME, luaopen_string},   {LUA_MATHLIBNAME, luaopen_math},
        {LUA_UTF8LIBNAME, luaopen_utf8},
    };
    for (const luaL_Reg &library : libraries) {
        luaL_requiref(L, library.name, library.func, 1);
        lua_pop(L, 1);
    }
    if (luaL_dostring(L, kRestrictions) != LUA_OK) {
        lua_close(L);
        return nullptr;
    }
    lua_getglobal(L, LUA_LOADLIBNAME);
    const QByteArray folder = scriptFolder.toUtf8();
    lua_pushfstring(L, "%s/?.lua;%s/?/init.lua", folder.constData(), folder.constData());
    lua_setfield(L, -2, "path");
    lua_pop(L, 1);
    return L;
}

} // namespace zorvane::script
