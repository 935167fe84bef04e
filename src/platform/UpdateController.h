#pragma once

#include "platform/toolkit/Menu.h"

#include <memory>

namespace tunora {

// Looks for newer versions of the program. It starts its own schedule when made
// and answers the "checkForUpdates:" action of the menu's update item.
class UpdateController : public ActionTarget {};

} // namespace tunora
