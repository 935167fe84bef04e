#include "linux/tray/DbusmenuExport.h"

#include <gdk/gdk.h>

namespace tunora {
namespace {

// Each exported entry knows the model item it shows; null once that is gone.
constexpr const char* modelKey = "tunora-menu-item";

const MenuItem* modelOf(DbusmenuMenuitem* entry) {
    return static_cast<const MenuItem*>(g_object_get_data(G_OBJECT(entry), modelKey));
}

// Whether two menus have the same separators and submenus at the same places.
bool sameShape(const Menu& a, const Menu& b) {
    if (a.items().size() != b.items().size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.items().size(); ++i) {
        const MenuItem& x = *a.items()[i];
        const MenuItem& y = *b.items()[i];
        if (x.isSeparator() != y.isSeparator() ||
            (x.submenu() != nullptr) != (y.submenu() != nullptr) ||
            (x.submenu() != nullptr && !sameShape(*x.submenu(), *y.submenu()))) {
            return false;
        }
    }
    return true;
}

// The key hint as dbusmenu writes it: [["Control", "Alt", "1"]]. Command's part
// on this platform is Ctrl's; Alt is the key of the global shortcuts.
GVariant* shortcutOf(const MenuItem& item) {
    GVariantBuilder keys;
    g_variant_builder_init(&keys, G_VARIANT_TYPE("as"));
    const std::uint32_t mask = item.keyEquivalentModifierMask();
    if (mask & (commandKeyMask | controlKeyMask)) {
        g_variant_builder_add(&keys, "s", DBUSMENU_MENUITEM_SHORTCUT_CONTROL);
    }
    if (mask & optionKeyMask) {
        g_variant_builder_add(&keys, "s", DBUSMENU_MENUITEM_SHORTCUT_ALT);
    }
    if (mask & shiftKeyMask) {
        g_variant_builder_add(&keys, "s", DBUSMENU_MENUITEM_SHORTCUT_SHIFT);
    }
    const guint key = gdk_unicode_to_keyval(g_utf8_get_char(item.keyEquivalent().c_str()));
    const gchar* name = gdk_keyval_name(key);
    g_variant_builder_add(&keys, "s", name != nullptr ? name : item.keyEquivalent().c_str());
    GVariantBuilder shortcut;
    g_variant_builder_init(&shortcut, G_VARIANT_TYPE("aas"));
    g_variant_builder_add_value(&shortcut, g_variant_builder_end(&keys));
    return g_variant_builder_end(&shortcut);
}

// Sets what the entry shows of the item; dbusmenu passes on only the
// properties whose values changed.
void showItem(DbusmenuMenuitem* entry, const MenuItem& item) {
    g_object_set_data(G_OBJECT(entry), modelKey, const_cast<MenuItem*>(&item));
    if (item.isSeparator()) {
        dbusmenu_menuitem_property_set(entry, DBUSMENU_MENUITEM_PROP_TYPE,
                                       DBUSMENU_CLIENT_TYPES_SEPARATOR);
        return;
    }
    dbusmenu_menuitem_property_set(entry, DBUSMENU_MENUITEM_PROP_LABEL, item.title().c_str());
    if (item.hasState()) {
        dbusmenu_menuitem_property_set(entry, DBUSMENU_MENUITEM_PROP_TOGGLE_TYPE,
                                       DBUSMENU_MENUITEM_TOGGLE_CHECK);
        dbusmenu_menuitem_property_set_int(entry, DBUSMENU_MENUITEM_PROP_TOGGLE_STATE,
                                           item.state() == MenuItem::stateOn
                                               ? DBUSMENU_MENUITEM_TOGGLE_STATE_CHECKED
                                               : DBUSMENU_MENUITEM_TOGGLE_STATE_UNCHECKED);
    } else {
        dbusmenu_menuitem_property_remove(entry, DBUSMENU_MENUITEM_PROP_TOGGLE_TYPE);
        dbusmenu_menuitem_property_remove(entry, DBUSMENU_MENUITEM_PROP_TOGGLE_STATE);
    }
    if (item.keyEquivalent().empty()) {
        dbusmenu_menuitem_property_remove(entry, DBUSMENU_MENUITEM_PROP_SHORTCUT);
    } else {
        dbusmenu_menuitem_property_set_variant(entry, DBUSMENU_MENUITEM_PROP_SHORTCUT,
                                               shortcutOf(item));
    }
    if (item.submenu() != nullptr) {
        dbusmenu_menuitem_property_set(entry, DBUSMENU_MENUITEM_PROP_CHILD_DISPLAY,
                                       DBUSMENU_MENUITEM_CHILD_DISPLAY_SUBMENU);
    }
}

// The entries of a replaced menu may still get a click the server queued
// before: they must not reach the model that went with them.
void forget(DbusmenuMenuitem* entry) {
    g_object_set_data(G_OBJECT(entry), modelKey, nullptr);
    for (GList* child = dbusmenu_menuitem_get_children(entry); child != nullptr;
         child = child->next) {
        forget(DBUSMENU_MENUITEM(child->data));
    }
}

} // namespace

DbusmenuExport::DbusmenuExport(const std::string& path, ActionTarget& application)
    : application_(application), server_(dbusmenu_server_new(path.c_str())),
      root_(dbusmenu_menuitem_new()) {
    watchRoot();
    dbusmenu_server_set_root(server_.get(), root_.get());
}

DbusmenuExport::~DbusmenuExport() {
    forget(root_.get());
}

void DbusmenuExport::show(const Menu& menu) {
    if (shown_ != nullptr && sameShape(*shown_, menu)) {
        update(root_.get(), menu);
    } else {
        forget(root_.get());
        root_.reset(dbusmenu_menuitem_new());
        watchRoot();
        fill(root_.get(), menu);
        dbusmenu_server_set_root(server_.get(), root_.get());
    }
    shown_ = &menu;
}

void DbusmenuExport::fill(DbusmenuMenuitem* parent, const Menu& menu) {
    for (const auto& item : menu.items()) {
        DbusmenuMenuitem* entry = dbusmenu_menuitem_new();
        showItem(entry, *item);
        if (item->submenu() != nullptr) {
            watchOpening(entry);
            fill(entry, *item->submenu());
        } else if (!item->isSeparator()) {
            g_signal_connect(entry, DBUSMENU_MENUITEM_SIGNAL_ITEM_ACTIVATED,
                             G_CALLBACK(&DbusmenuExport::onActivated), this);
        }
        dbusmenu_menuitem_child_append(parent, entry);
        g_object_unref(entry); // the parent holds it
    }
}

void DbusmenuExport::update(DbusmenuMenuitem* parent, const Menu& menu) {
    GList* child = dbusmenu_menuitem_get_children(parent);
    for (const auto& item : menu.items()) {
        auto* entry = DBUSMENU_MENUITEM(child->data);
        showItem(entry, *item);
        if (item->submenu() != nullptr) {
            update(entry, *item->submenu());
        }
        child = child->next;
    }
}

void DbusmenuExport::watchOpening(DbusmenuMenuitem* entry) {
    g_signal_connect(entry, DBUSMENU_MENUITEM_SIGNAL_ABOUT_TO_SHOW,
                     G_CALLBACK(&DbusmenuExport::onAboutToShow), this);
    g_signal_connect(entry, DBUSMENU_MENUITEM_SIGNAL_EVENT "::opened",
                     G_CALLBACK(&DbusmenuExport::onEvent), this);
}

void DbusmenuExport::watchRoot() {
    watchOpening(root_.get());
    g_signal_connect(root_.get(), DBUSMENU_MENUITEM_SIGNAL_EVENT "::closed",
                     G_CALLBACK(&DbusmenuExport::onRootClosed), this);
}

gboolean DbusmenuExport::onRootClosed(DbusmenuMenuitem*, const gchar*, GVariant*, guint,
                                      gpointer self) {
    if (const auto& onDidClose = static_cast<DbusmenuExport*>(self)->onDidClose_) {
        onDidClose();
    }
    return FALSE; // dbusmenu's own handling goes on
}

gboolean DbusmenuExport::onAboutToShow(DbusmenuMenuitem* entry, gpointer self) {
    static_cast<DbusmenuExport*>(self)->opening(entry);
    return FALSE; // the layout is up to date: the panel need not fetch it again
}

gboolean DbusmenuExport::onEvent(DbusmenuMenuitem* entry, const gchar*, GVariant*, guint,
                                 gpointer self) {
    static_cast<DbusmenuExport*>(self)->opening(entry);
    return FALSE; // dbusmenu's own handling goes on
}

void DbusmenuExport::opening(DbusmenuMenuitem* entry) {
    const Menu* menu = nullptr;
    if (entry == root_.get()) {
        menu = shown_;
    } else if (const MenuItem* item = modelOf(entry)) {
        menu = item->submenu();
    }
    if (menu != nullptr && onOpening_) {
        onOpening_(*menu);
    }
}

void DbusmenuExport::onActivated(DbusmenuMenuitem* entry, guint, gpointer self) {
    if (const MenuItem* item = modelOf(entry)) {
        sendAction(*item, static_cast<DbusmenuExport*>(self)->application_);
    }
}

} // namespace tunora
