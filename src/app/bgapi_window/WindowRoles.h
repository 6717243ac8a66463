#pragma once

namespace zorvane::app {

// Tells the accessibility bus what the BGAPI tool window is: a window, whose two panels are
// groups of controls. Without it a plain top-level widget reads as a filler and a framed
// panel as a window of its own.
void installBgapiWindowRoles();

} // namespace zorvane::app
