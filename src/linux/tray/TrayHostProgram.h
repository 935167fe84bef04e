#pragma once

#include "linux/glib/GObjectPtr.h"

#include <functional>
#include <gio/gio.h>
#include <string>
#include <string_view>

namespace tunora {

// How the program that draws the item reads its tooltip. The protocol leaves it
// open, and the hosts differ.
enum class ToolTipReading {
    // Title and text as Pango markup (GNOME's AppIndicator extension, GTK panels).
    markup,
    // Title as plain text; the text as Qt rich text when a tag comes first,
    // else as plain text (Plasma).
    richText,
    // Title as markup inside its own bold tag, the text escaped by the host and
    // drawn as it stands (waybar).
    literalText,
};

// The reading of the host program named by its process name (/proc/PID/comm).
ToolTipReading toolTipReadingOf(std::string_view program);

// The tooltip's title and text written for a host that reads them so.
struct ToolTipTexts {
    std::string title;
    std::string text;
};
ToolTipTexts toolTipFor(ToolTipReading reading, const std::string& title, const std::string& text);

// Finds out which program hosts the status items: the owner of a
// StatusNotifierHost name (Plasma's watcher runs in kded, its host in
// plasmashell), or the watcher's owner where no host took a name (GNOME's
// extension). Asynchronous; `found` gets the program's name, "" when it cannot
// be known.
class TrayHostProgram {
  public:
    explicit TrayHostProgram(std::function<void(const std::string& program)> found);
    ~TrayHostProgram();
    TrayHostProgram(const TrayHostProgram&) = delete;
    TrayHostProgram& operator=(const TrayHostProgram&) = delete;

    // Starts a look-up on bus; one that is under way is dropped.
    void lookUp(GDBusConnection* bus);

  private:
    static void onNames(GObject* bus, GAsyncResult* result, gpointer self);
    static void onProcessId(GObject* bus, GAsyncResult* result, gpointer self);

    std::function<void(const std::string&)> found_;
    GObjectPtr<GCancellable> cancellable_;
};

} // namespace tunora
