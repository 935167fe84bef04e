#include "linux/tray/GtkMenuBuilder.h"

namespace tunora {
namespace {

struct Activation {
    const MenuItem* item;
    ActionTarget* application;
};

void onActivate(GtkMenuItem*, gpointer data) {
    const auto* activation = static_cast<Activation*>(data);
    sendAction(*activation->item, *activation->application);
}

void freeActivation(gpointer data, GClosure*) {
    delete static_cast<Activation*>(data);
}

GdkModifierType gdkModifiers(std::uint32_t mask) {
    int modifiers = 0;
    if (mask & optionKeyMask) {
        modifiers |= GDK_MOD1_MASK; // Alt, the key of the global shortcuts
    }
    if (mask & commandKeyMask) {
        modifiers |= GDK_CONTROL_MASK;
    }
    return GdkModifierType(modifiers);
}

GtkWidget* buildItem(const MenuItem& item, ActionTarget& application, GtkAccelGroup* accelerators) {
    if (item.isSeparator()) {
        return gtk_separator_menu_item_new();
    }
    GtkWidget* widget = nullptr;
    if (item.hasState()) {
        widget = gtk_check_menu_item_new_with_label(item.title().c_str());
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(widget),
                                       item.state() == MenuItem::stateOn);
    } else {
        widget = gtk_menu_item_new_with_label(item.title().c_str()); // no mnemonics
    }
    if (!item.keyEquivalent().empty()) {
        const guint key = gdk_unicode_to_keyval(g_utf8_get_char(item.keyEquivalent().c_str()));
        gtk_widget_add_accelerator(widget, "activate", accelerators, key,
                                   gdkModifiers(item.keyEquivalentModifierMask()),
                                   GTK_ACCEL_VISIBLE);
    }
    if (item.submenu() != nullptr) {
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget),
                                  buildGtkMenu(*item.submenu(), application, accelerators));
    } else if (item.action()) {
        // "activate", not "toggled": a check item flips its own state when chosen,
        // and the menu is rebuilt from the model anyway.
        g_signal_connect_data(widget, "activate", G_CALLBACK(onActivate),
                              new Activation{&item, &application}, freeActivation,
                              GConnectFlags(0));
    }
    return widget;
}

} // namespace

GtkWidget* buildGtkMenu(const Menu& menu, ActionTarget& application, GtkAccelGroup* accelerators) {
    GtkWidget* gtkMenu = gtk_menu_new();
    gtk_menu_set_accel_group(GTK_MENU(gtkMenu), accelerators);
    for (const auto& item : menu.items()) {
        GtkWidget* widget = buildItem(*item, application, accelerators);
        gtk_widget_show(widget);
        gtk_menu_shell_append(GTK_MENU_SHELL(gtkMenu), widget);
    }
    return gtkMenu;
}

} // namespace tunora
