#pragma once
// The X client libraries of the window, loaded only when the window is
// wanted: without them the module still starts and works in the console.

#include <string>

// Loads them and resolves every function the window calls. Returns an
// empty string when the window can start, otherwise the reason (the
// loader's own words) with nothing left loaded.
std::string LoadX11Libraries();
