#pragma once

#include "platform/toolkit/Application.h"

#include <gtk/gtk.h>

namespace tunora {

// The GTK main loop as the application: the delegate hears that launching has
// finished from the first idle moment of the running loop.
class GtkApplicationLoop : public Application {
  public:
    void setDelegate(ApplicationDelegate* delegate) override { delegate_ = delegate; }
    void run() override;
    void terminate() override;

  private:
    static gboolean onLaunched(gpointer self);
    ApplicationDelegate* delegate_ = nullptr;
};

} // namespace tunora
