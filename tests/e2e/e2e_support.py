"""What the end-to-end suites share: the program as a panel sees it, and how
panels show its tooltip."""
import html
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import wait_for  # noqa: E402
import gi  # noqa: E402
gi.require_version("Pango", "1.0")
from gi.repository import GLib, Pango  # noqa: E402

ALT = "Alt+"
# The test server's song title as the program passes it on: control characters
# gone, a line break made a space, the length capped.
SONG = ("Tunora Test Song " + "x" * 200)[:199] + "\u2026"
NDR2 = "/ndr/ndr2/hamburg/mp3/128/stream.mp3"
ONDORIA = "/ondo/01/128/mp3/stream.mp3"
MPRIS = ("org.mpris.MediaPlayer2.tunora", "/org/mpris/MediaPlayer2")
MPRIS_ROOT, MPRIS_PLAYER = "org.mpris.MediaPlayer2", "org.mpris.MediaPlayer2.Player"
ROOT_PROPERTIES = {"Identity": "Tunora", "DesktopEntry": "org.tunora.Tunora", "CanQuit": True,
                   "CanRaise": False, "HasTrackList": False, "SupportedUriSchemes": []}
PLAYER_PROPERTIES = {"PlaybackStatus": "Stopped", "Rate": 1.0, "Volume": 1.0, "Position": 0,
                     "CanPlay": True, "CanControl": True, "CanSeek": False, "CanGoNext": False,
                     "MaximumRate": 1.0}




def unconfigured(station, host):
    """What a station without an address says: where its address goes (the
    desktop's config folder is ~/config), under what, and where to read more."""
    return ("no stream address is set: give it one in\n~/config/tunora/stream-hosts.json\n"
            "under \u201c%s\u201d or its host \u201c%s\u201d\n"
            "(man tunora, section STREAM HOSTS)" % (station, host))


NOT_STATIONS = {"Keyboard Shortcuts", "Launch at Login", "Check for Updates\u2026", "Quit", ""}


def shown(tooltip):
    """The tooltip's title and text as a panel shows them: parsed as Pango
    markup, as GTK panels parse it (an error where it is not valid markup)."""
    return tuple(Pango.parse_markup(markup, -1, "\0")[2] for markup in tooltip[2:])


def as_waybar_shows(tooltip):
    """Title and text as waybar draws them: the title parsed as markup in bold,
    the text escaped first."""
    title, text = tooltip[2:]
    markup = "<b>%s</b>\n%s" % (title, GLib.markup_escape_text(text)) if text else title
    return Pango.parse_markup(markup, -1, "\0")[2]


def as_plasma_shows(tooltip):
    """Title as plain text; the text as Qt rich text when a tag comes first."""
    title, text = tooltip[2:]
    if re.match(r"\s*<\w+[^>]*>", text):
        text = html.unescape(re.sub(r"<[^>]*>", "", text))
    return title + "\n" + text if text else title


def as_budgie_shows(tooltip):
    """Budgie's tray: the text as markup when there is one, else the title as it is."""
    title, text = tooltip[2:]
    return Pango.parse_markup(text, -1, "\0")[2] if text else title


def start_host(desktop, program, name="org.kde.StatusNotifierHost-{pid}-1"):
    """A tray host that `ps` names `program`: a process holding a StatusNotifierHost
    name, as waybar and plasmashell do (Budgie's tray under the freedesktop prefix)."""
    path = os.path.join(desktop.root, program)
    if not os.path.exists(path):
        os.symlink(sys.executable, path)
    code = ("import os; from gi.repository import Gio, GLib; Gio.bus_own_name("
            "Gio.BusType.SESSION, %r.format(pid=os.getpid()), 0, None, None, None); "
            "GLib.MainLoop().run()" % name)
    host = desktop._start([path, "-c", code])
    wait_for(lambda: desktop.name_owned(name.format(pid=host.popen.pid)), 10,
             "the host " + program)
    return host


def station_items(node):
    """Every station item (the leaves outside the shortcut menus), depth first."""
    for child in node["children"]:
        if child["label"] in NOT_STATIONS:
            continue
        if child["children"]:
            yield from station_items(child)
        else:
            yield child


def toggles(items):
    return [i["label"] for i in items if "toggle-type" in i["props"]]


def checked_stations(desktop):
    """The station items that carry a check mark."""
    return [i["label"] for i in station_items(desktop.layout())
            if i["props"].get("toggle-state") == 1]
