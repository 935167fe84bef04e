#pragma once

#include <functional>
#include <gio/gio.h>

namespace tunora {

// Whether the running Plasma shell is one before 6.4, asked of plasmashell on
// the session bus (its application version is the Plasma release, "6.3.6").
// The answer is false when no Plasma shell answers or its version is unknown.
using PlasmaAnswer = std::function<void(bool before64)>;
void askWhetherPlasmaBefore64(GDBusConnection* bus, GCancellable* cancellable, PlasmaAnswer answer);

// "6.3.6" -> true, "6.4.0" or "6.7.4" -> false, and false for what is no version.
bool isPlasmaBefore64(const char* version);

} // namespace tunora
