#include "linux/strings/GettextStrings.h"
#include "linux/system/ExecutablePaths.h"
#include "linux/toolkit/GtkOnDemand.h"
#include "linux/update/Installation.h"
#include "linux/update/UpdateDialogs.h"

#include <gtk/gtk.h>

namespace tunora {
namespace {

constexpr int responseDownload = 1;

// nullptr when no window can be shown; the message then goes to the log.
GtkWidget* makeDialog(GtkMessageType type, const std::string& headline, const std::string& detail) {
    if (gtkDisplay() == nullptr) {
        g_message("%s: %s", headline.c_str(), detail.c_str());
        return nullptr;
    }
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GtkDialogFlags(0), type, GTK_BUTTONS_NONE,
                                               "%s", headline.c_str());
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", detail.c_str());
    gtk_window_set_title(GTK_WINDOW(dialog),
                         GettextStrings::translate(UpdateDialogs::title).c_str());
    gtk_dialog_add_button(GTK_DIALOG(dialog), GettextStrings::translate("Close").c_str(),
                          GTK_RESPONSE_CLOSE);
    g_signal_connect(dialog, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
    return dialog;
}

void onAvailableResponse(GtkDialog*, gint response, gpointer page) {
    if (response == responseDownload) {
        // Only ever an https page (checked when the feed was read).
        g_app_info_launch_default_for_uri(static_cast<const char*>(page), nullptr, nullptr);
    }
}

void show(GtkWidget* dialog) {
    if (dialog != nullptr) {
        gtk_widget_show(dialog);
    }
}

} // namespace

void GtkUpdateDialogs::showAvailable(const std::string& version, const std::string& downloadPage) {
    std::string detail = GettextStrings::translate("Tunora %s can be downloaded.");
    if (const auto placeholder = detail.find("%s"); placeholder != std::string::npos) {
        detail.replace(placeholder, 2, version);
    }
    GtkWidget* dialog =
        makeDialog(GTK_MESSAGE_INFO,
                   GettextStrings::translate("A newer version of Tunora is available"), detail);
    if (dialog == nullptr) {
        return;
    }
    gtk_dialog_add_button(GTK_DIALOG(dialog), GettextStrings::translate("Download").c_str(),
                          responseDownload);
    g_signal_connect_data(
        dialog, "response", G_CALLBACK(onAvailableResponse), g_strdup(downloadPage.c_str()),
        [](gpointer page, GClosure*) { g_free(page); }, GConnectFlags(0));
    gtk_widget_show(dialog);
}

void GtkUpdateDialogs::showUpToDate() {
    show(makeDialog(GTK_MESSAGE_INFO, GettextStrings::translate("Tunora is up to date"),
                    GettextStrings::translate("No newer version is available.")));
}

void GtkUpdateDialogs::showFailed(const std::string& reason) {
    show(makeDialog(GTK_MESSAGE_WARNING, GettextStrings::translate("The update check failed"),
                    GettextStrings::translate(reason.c_str())));
}

void GtkUpdateDialogs::showNotConfigured() {
    // A package built from this source and installed with apt looks like one
    // from the distribution's archive: only the listener knows which it is.
    const char* howToUpdate =
        installedByDpkg(paths::executable())
            ? N_("This build of Tunora has no update feed. It is installed as a Debian package: "
                 "if it came from your distribution, the system updates it; if you built it "
                 "yourself, build and install a newer release the same way.")
            : N_("This build of Tunora has no update feed. It was built from source: build and "
                 "install a newer release to update it.");
    show(makeDialog(GTK_MESSAGE_INFO, GettextStrings::translate("Update checks are not configured"),
                    GettextStrings::translate(howToUpdate)));
}

} // namespace tunora
