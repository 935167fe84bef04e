#include "linux/update/UnconfiguredUpdateController.h"

#include "linux/strings/GettextStrings.h"

#include <gtk/gtk.h>

namespace tunora {

void UnconfiguredUpdateController::performAction(const std::string& action, const MenuItem&) {
    if (action != "checkForUpdates:") {
        return;
    }
    GtkWidget* dialog = gtk_message_dialog_new(
        nullptr, GTK_DIALOG_DESTROY_WITH_PARENT, GTK_MESSAGE_INFO, GTK_BUTTONS_CLOSE, "%s",
        GettextStrings::translate("Update checks are not configured").c_str());
    gtk_message_dialog_format_secondary_text(
        GTK_MESSAGE_DIALOG(dialog), "%s",
        GettextStrings::translate("This build of Tunora has no update feed. Your package "
                                  "manager keeps it up to date.")
            .c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), "Tunora");
    g_signal_connect(dialog, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
    gtk_widget_show(dialog);
}

} // namespace tunora
