#pragma once

#include "linux/glib/GObjectPtr.h"
#include "platform/toolkit/Application.h"

#include <glib.h>

namespace tunora {

// The GLib main loop as the application: the delegate hears that launching
// has finished from the first idle moment of the running loop. Windows opened
// later (GTK is opened on demand) are served by the same loop.
class MainLoopApplication : public Application {
  public:
    MainLoopApplication();
    void setDelegate(ApplicationDelegate* delegate) override { delegate_ = delegate; }
    void run() override;
    void terminate() override;

  private:
    static gboolean onLaunched(gpointer self);
    MainLoopPtr loop_;
    ApplicationDelegate* delegate_ = nullptr;
};

} // namespace tunora
