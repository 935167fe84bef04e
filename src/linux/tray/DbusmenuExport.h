#pragma once

#include "linux/glib/GObjectPtr.h"
#include "platform/toolkit/Menu.h"

#include <functional>
#include <libdbusmenu-glib/client.h>
#include <libdbusmenu-glib/menuitem.h>
#include <libdbusmenu-glib/server.h>
#include <string>

namespace tunora {

// The menu model exported over com.canonical.dbusmenu on the session bus,
// straight from the model: labels, check marks, key hints, submenus and
// separators. Choosing an item sends its action through the model.
class DbusmenuExport {
  public:
    DbusmenuExport(const std::string& path, ActionTarget& application);
    ~DbusmenuExport();
    DbusmenuExport(const DbusmenuExport&) = delete;
    DbusmenuExport& operator=(const DbusmenuExport&) = delete;

    // Shows `menu`, which must live until the next show or the end of the
    // export. A menu of the same shape as the one shown (the same separators and
    // submenus) only changes what differs, item by item, so the panel hears of
    // those properties and keeps its copy of the layout; otherwise the layout is
    // sent anew. Items of the menu shown before take no more choices after this.
    void show(const Menu& menu);
    // Called with the menu or submenu the panel is about to show (AboutToShow,
    // AboutToShowGroup or the "opened" event).
    void setOpeningHandler(std::function<void(const Menu&)> handler) {
        onOpening_ = std::move(handler);
    }
    // Called when the panel says the whole menu closed (the "closed" event of
    // the root; a submenu's leaves the menu open).
    void setDidCloseHandler(std::function<void()> handler) { onDidClose_ = std::move(handler); }

  private:
    static gboolean onAboutToShow(DbusmenuMenuitem* entry, gpointer self);
    static gboolean onEvent(DbusmenuMenuitem* entry, const gchar* name, GVariant* value,
                            guint timestamp, gpointer self);
    void watchOpening(DbusmenuMenuitem* entry);
    void watchRoot();
    static gboolean onRootClosed(DbusmenuMenuitem* entry, const gchar* name, GVariant* value,
                                 guint timestamp, gpointer self);
    void opening(DbusmenuMenuitem* entry);
    static void onActivated(DbusmenuMenuitem* entry, guint timestamp, gpointer self);
    void fill(DbusmenuMenuitem* parent, const Menu& menu);
    void update(DbusmenuMenuitem* parent, const Menu& menu);

    ActionTarget& application_;
    GObjectPtr<DbusmenuServer> server_;
    GObjectPtr<DbusmenuMenuitem> root_;
    const Menu* shown_ = nullptr;
    std::function<void(const Menu&)> onOpening_;
    std::function<void()> onDidClose_;
};

} // namespace tunora
