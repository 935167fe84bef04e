#include "linux/tray/GtkMenuBuilder.h"

#include <iterator>

namespace tunora {
namespace {

constexpr const char* activationKey = "tunora-activation";
constexpr const char* acceleratorKey = "tunora-accelerator";

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
    if (mask & (commandKeyMask | controlKeyMask)) {
        modifiers |= GDK_CONTROL_MASK; // Command's part on this platform is Ctrl's
    }
    if (mask & shiftKeyMask) {
        modifiers |= GDK_SHIFT_MASK;
    }
    return GdkModifierType(modifiers);
}

// The item's accelerator as one number, 0 for none: what a widget was built
// with must match its model for the widget to be updated in place.
guint64 acceleratorOf(const MenuItem& item) {
    if (item.keyEquivalent().empty()) {
        return 0;
    }
    const guint key = gdk_unicode_to_keyval(g_utf8_get_char(item.keyEquivalent().c_str()));
    return (guint64(gdkModifiers(item.keyEquivalentModifierMask())) << 32) | key;
}

// An accelerator shown on the item's label. The label keeps no closure of its
// own: it shows the keys the item's accelerator has.
void addAccelerator(GtkWidget* widget, guint64 accelerator, GtkAccelGroup* accelerators) {
    const guint key = guint(accelerator & 0xffffffffu);
    const auto modifiers = GdkModifierType(accelerator >> 32);
    gtk_widget_add_accelerator(widget, "activate", accelerators, key, modifiers, GTK_ACCEL_VISIBLE);
    if (GtkWidget* label = gtk_bin_get_child(GTK_BIN(widget)); GTK_IS_ACCEL_LABEL(label)) {
        gtk_accel_label_set_accel_widget(GTK_ACCEL_LABEL(label), nullptr);
        gtk_accel_label_set_accel(GTK_ACCEL_LABEL(label), key, modifiers);
    }
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
    if (const guint64 accelerator = acceleratorOf(item)) {
        addAccelerator(widget, accelerator, accelerators);
        g_object_set_data_full(G_OBJECT(widget), acceleratorKey, new guint64(accelerator),
                               [](gpointer data) { delete static_cast<guint64*>(data); });
    }
    if (item.submenu() != nullptr) {
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget),
                                  buildGtkMenu(*item.submenu(), application, accelerators));
    } else if (item.action()) {
        // "activate", not "toggled": a check item flips its own state when chosen,
        // and the menu is rebuilt from the model anyway.
        auto* activation = new Activation{&item, &application};
        g_signal_connect_data(widget, "activate", G_CALLBACK(onActivate), activation,
                              freeActivation, GConnectFlags(0));
        g_object_set_data(G_OBJECT(widget), activationKey, activation);
    }
    return widget;
}

guint64 acceleratorOfWidget(GtkWidget* widget) {
    const auto* accelerator =
        static_cast<const guint64*>(g_object_get_data(G_OBJECT(widget), acceleratorKey));
    return accelerator ? *accelerator : 0;
}

// Whether a leaf widget (no submenu) was built as another kind of item than
// `item` is now: a check item or not, another accelerator, an action or none.
// Such a widget is replaced by a new one; everything else is updated in place.
bool needsNewWidget(GtkWidget* widget, const MenuItem& item) {
    const bool hasActivation = g_object_get_data(G_OBJECT(widget), activationKey) != nullptr;
    return item.hasState() != GTK_IS_CHECK_MENU_ITEM(widget) ||
           acceleratorOfWidget(widget) != acceleratorOf(item) ||
           hasActivation != item.action().has_value();
}

// Whether widget can show this item: the same separator or not, and a submenu
// of the same shape (under a heading of the same kind) or none.
bool sameShape(GtkWidget* widget, const MenuItem& item) {
    if (item.isSeparator() != GTK_IS_SEPARATOR_MENU_ITEM(widget)) {
        return false;
    }
    GtkWidget* submenu =
        item.isSeparator() ? nullptr : gtk_menu_item_get_submenu(GTK_MENU_ITEM(widget));
    if ((submenu != nullptr) != (item.submenu() != nullptr)) {
        return false;
    }
    return submenu == nullptr ||
           (!needsNewWidget(widget, item) && canUpdateGtkMenu(submenu, *item.submenu()));
}

void updateItem(GtkWidget* widget, const MenuItem& item, ActionTarget& application,
                GtkAccelGroup* accelerators, std::vector<GObjectPtr<GtkWidget>>& replaced) {
    if (item.isSeparator()) {
        return;
    }
    if (item.title() != gtk_menu_item_get_label(GTK_MENU_ITEM(widget))) {
        gtk_menu_item_set_label(GTK_MENU_ITEM(widget), item.title().c_str());
    }
    auto* activation = static_cast<Activation*>(g_object_get_data(G_OBJECT(widget), activationKey));
    if (activation != nullptr) {
        activation->item = &item;
    }
    if (item.hasState()) {
        const bool on = item.state() == MenuItem::stateOn;
        if (gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(widget)) != on) {
            // GTK sets a check item by activating it: that is no choice of the user's.
            g_signal_handlers_block_by_func(widget, reinterpret_cast<gpointer>(&onActivate),
                                            activation);
            gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(widget), on);
            g_signal_handlers_unblock_by_func(widget, reinterpret_cast<gpointer>(&onActivate),
                                              activation);
        }
    }
    if (item.submenu() != nullptr) {
        auto replacedBelow = updateGtkMenu(gtk_menu_item_get_submenu(GTK_MENU_ITEM(widget)),
                                           *item.submenu(), application, accelerators);
        std::move(replacedBelow.begin(), replacedBelow.end(), std::back_inserter(replaced));
    }
}

// Calls visit(widget, item) for each widget of gtkMenu beside its model item;
// false as soon as the counts differ or visit says no.
template <typename Visit> bool forEachPair(GtkWidget* gtkMenu, const Menu& menu, Visit visit) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(gtkMenu));
    bool matched = g_list_length(children) == menu.items().size();
    GList* child = children;
    for (std::size_t i = 0; matched && i < menu.items().size(); ++i, child = child->next) {
        matched = visit(GTK_WIDGET(child->data), *menu.items()[i]);
    }
    g_list_free(children);
    return matched;
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

bool canUpdateGtkMenu(GtkWidget* gtkMenu, const Menu& menu) {
    return forEachPair(gtkMenu, menu, sameShape);
}

std::vector<GObjectPtr<GtkWidget>> updateGtkMenu(GtkWidget* gtkMenu, const Menu& menu,
                                                 ActionTarget& application,
                                                 GtkAccelGroup* accelerators) {
    std::vector<GObjectPtr<GtkWidget>> replaced;
    int position = 0;
    forEachPair(gtkMenu, menu, [&](GtkWidget* widget, const MenuItem& item) {
        if (!item.isSeparator() && item.submenu() == nullptr && needsNewWidget(widget, item)) {
            GtkWidget* replacement = buildItem(item, application, accelerators);
            gtk_widget_show(replacement);
            replaced.emplace_back(GTK_WIDGET(g_object_ref(widget)));
            gtk_container_remove(GTK_CONTAINER(gtkMenu), widget);
            gtk_menu_shell_insert(GTK_MENU_SHELL(gtkMenu), replacement, position);
        } else {
            updateItem(widget, item, application, accelerators, replaced);
        }
        ++position;
        return true;
    });
    return replaced;
}

} // namespace tunora
