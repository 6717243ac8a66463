#pragma once

struct lua_State;

namespace zorvane::script {

// Puts the table zv (send, expect, sleep, modem lines, module commands, BGAPI, the port, test
// steps, log and exit) and print into a state whose extra space names its ScriptEngine.
void openZvLibrary(lua_State *L);

} // namespace zorvane::script
