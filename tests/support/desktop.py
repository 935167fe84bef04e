#!/usr/bin/python3
"""The private desktop every test that needs one runs in: Xvfb, a session bus,
PulseAudio with a null sink and loopback stream servers (plain, and TLS when
asked). For the end-to-end tests it also plays the panel: it owns
org.kde.StatusNotifierWatcher, reads the item and its menu (com.canonical.dbusmenu)
as Plasma and GNOME's extension do and answers org.freedesktop.Notifications.
Every process it starts is stopped when the test ends; every wait has a deadline.

`desktop.py PROGRAM ARGS...` runs PROGRAM in a fresh desktop, its addresses in
the environment (see Desktop.env), and exits with its status.
"""
import json
import math
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

import gi

gi.require_version("Gio", "2.0")
gi.require_version("GLib", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
TUNORA = os.environ.get("TUNORA_BINARY", os.path.join(HERE, "..", "..", "build", "tunora"))

def interface_info(name, methods=(), signals=(), properties=()):
    """D-Bus introspection data from signatures: methods as (name, in, out),
    signals as (name, args), properties as (name, type)."""
    def args(signature, direction=""):
        types = GLib.Variant.split_signature("(%s)" % signature) if signature else []
        return "".join('<arg type="%s" %s/>' % (t, direction) for t in types)
    xml = "".join('<method name="%s">%s%s</method>' % (m, args(i, 'direction="in"'),
                                                        args(o, 'direction="out"'))
                  for m, i, o in methods)
    xml += "".join('<signal name="%s">%s</signal>' % (n, args(a)) for n, a in signals)
    xml += "".join('<property name="%s" type="%s" access="read"/>' % p for p in properties)
    return Gio.DBusNodeInfo.new_for_xml(
        '<node><interface name="%s">%s</interface></node>' % (name, xml)).interfaces[0]


WATCHER = interface_info(
    "org.kde.StatusNotifierWatcher",
    methods=[("RegisterStatusNotifierItem", "s", ""), ("RegisterStatusNotifierHost", "s", "")],
    signals=[("StatusNotifierItemRegistered", "s")],
    properties=[("RegisteredStatusNotifierItems", "as"), ("IsStatusNotifierHostRegistered", "b"),
                ("ProtocolVersion", "i")])
NOTIFICATIONS = interface_info(
    "org.freedesktop.Notifications",
    methods=[("GetCapabilities", "", "as"), ("Notify", "susssasa{sv}i", "u")])


# Everything a test waits for takes far longer under the sanitizers on a busy
# machine than the few seconds it takes here: what a wait gives up after is a
# generous floor, not the figure a test names.
SHORTEST_WAIT = 45.0


def wait_for(condition, timeout=10.0, message="condition", at_most=False):
    """Runs the GLib loop until condition() is true; fails after timeout seconds,
    at least SHORTEST_WAIT unless at_most (for a wait that is expected to fail)."""
    deadline = time.monotonic() + (timeout if at_most else max(timeout, SHORTEST_WAIT))
    context = GLib.MainContext.default()
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + message)
        while context.iteration(False):
            pass
        time.sleep(0.01)


class Process:
    def __init__(self, argv, env=None, stdout=subprocess.DEVNULL, stderr=None, umask=-1):
        self.popen = subprocess.Popen(argv, env=env, stdout=stdout, stderr=stderr, umask=umask,
                                      stdin=subprocess.DEVNULL, start_new_session=True)

    def stop(self):
        if self.popen.poll() is None:
            self.popen.terminate()
            try:
                self.popen.wait(5)
            except subprocess.TimeoutExpired:
                self.popen.kill()
                self.popen.wait()


class Desktop:
    """Everything a test of the tray program needs, in one temporary folder."""

    def __init__(self, with_watcher=True, panel=True, tls=False, private_home=True):
        self.processes = []
        self.root = tempfile.mkdtemp(prefix="tunora-desktop-")
        self.runtime = os.path.join(self.root, "runtime")
        self.config = os.path.join(self.root, "config")
        os.makedirs(self.runtime, mode=0o700)
        os.makedirs(self.config)
        self.env = dict(os.environ)
        self.env.update(XDG_RUNTIME_DIR=self.runtime, NO_AT_BRIDGE="1",
                        DBUS_SYSTEM_BUS_ADDRESS="unix:path=" + os.path.join(self.root, "nobus"))
        if private_home:
            self.env.update(XDG_CONFIG_HOME=self.config, HOME=self.root, LANG="C", LC_ALL="",
                            XDG_CACHE_HOME=os.path.join(self.root, "cache"), LANGUAGE="",
                            ASAN_OPTIONS="detect_leaks=0", G_DEBUG="fatal-criticals")
        os.environ.update(XDG_RUNTIME_DIR=self.runtime)
        try:
            self._start_x()
            self.bus_address = self._start_bus()
            self.bus = Gio.DBusConnection.new_for_address_sync(
                self.bus_address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
                | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
            self.env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
            self._start_sound()
            self._start_stream_servers(tls)
            self.item = None
            self.notifications = []
            if panel:
                if with_watcher:
                    self._own_watcher()
                self._own_notification_server()
        except Exception:
            self.close()
            raise

    # --- the parts -----------------------------------------------------------

    def _start(self, argv, **kwargs):
        process = Process(argv, env=kwargs.pop("env", self.env), **kwargs)
        self.processes.append(process)
        return process

    @staticmethod
    def _read_line(process):
        line = process.popen.stdout.readline()
        if not line:
            raise AssertionError("%s ended" % process.popen.args[0])
        return line.decode().strip()

    def _start_x(self):
        xvfb = self._start(["Xvfb", "-displayfd", "1", "-screen", "0", "1280x800x24",
                            "-nolisten", "tcp"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.display = ":" + self._read_line(xvfb)
        self.env["DISPLAY"] = self.display

    def _start_bus(self):
        bus = self._start(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                           "--print-address=1"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        return self._read_line(bus)

    def _start_sound(self):
        self._start(["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n",
                     "--log-target=stderr", "--log-level=0",
                     "-L", "module-native-protocol-unix auth-anonymous=1",
                     "-L", "module-null-sink sink_name=test_sink rate=44100",
                     "-L", "module-always-sink"], stderr=subprocess.DEVNULL)
        wait_for(lambda: subprocess.run(["pactl", "info"], env=self.env, capture_output=True)
                 .returncode == 0, message="pulseaudio")

    def _start_stream_servers(self, tls):
        tone = os.path.join(self.root, "tone.mp3")
        subprocess.run(["gst-launch-1.0", "-q", "audiotestsrc", "freq=440", "volume=0.5",
                        "num-buffers=430", "samplesperbuffer=1024", "!",
                        "audio/x-raw,rate=44100,channels=2", "!", "audioconvert", "!",
                        "lamemp3enc", "target=bitrate", "bitrate=128", "cbr=true", "!",
                        "filesink", "location=" + tone], check=True, timeout=30)
        self.counts = os.path.join(self.root, "counts.json")
        self.faults = os.path.join(self.root, "faults.json")
        origin = self._start_stream_server(tone, self.counts, "--faults", self.faults)
        self.env.update(TUNORA_STREAM_ORIGIN=origin, TUNORA_TEST_STREAM_ORIGIN=origin,
                        TUNORA_TEST_COUNTS=self.counts)
        if tls:
            ca, certificate, key = self._make_certificates()
            counts = os.path.join(self.root, "counts-tls.json")
            origin = self._start_stream_server(
                tone, counts, "--faults", self.faults, "--cert", certificate, "--key", key,
                "--redirect-target", self.env["TUNORA_STREAM_ORIGIN"] + "/plain.mp3")
            self.env.update(TUNORA_TEST_TLS_ORIGIN=origin, TUNORA_TEST_CA_FILE=ca,
                            TUNORA_TEST_TLS_COUNTS=counts)

    def _start_stream_server(self, tone, counts, *options):
        server = self._start(["/usr/bin/python3", os.path.join(HERE, "stream_server.py"), tone,
                              "--counts", counts, "--lifetime", "600"] + list(options),
                             stdout=subprocess.PIPE)
        scheme = "https" if "--cert" in options else "http"
        return "%s://127.0.0.1:%s" % (scheme, self._read_line(server))

    def _make_certificates(self):
        """A certificate for 127.0.0.1 that signs itself: the test's only authority."""
        certificate, key = os.path.join(self.root, "server.pem"), os.path.join(self.root, "server.key")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                        "-out", certificate, "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                        "subjectAltName=IP:127.0.0.1,DNS:localhost"],
                       check=True, capture_output=True, timeout=30)
        return certificate, certificate, key

    def own_name(self, name):
        reply = self.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "RequestName",
                                   GLib.Variant("(su)", (name, 4)), None,
                                   Gio.DBusCallFlags.NONE, 5000, None)
        assert reply.unpack()[0] == 1, "could not own " + name

    def name_owned(self, name):
        return self.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                  "org.freedesktop.DBus", "NameHasOwner",
                                  GLib.Variant("(s)", (name,)), None, Gio.DBusCallFlags.NONE,
                                  5000, None).unpack()[0]

    def _own_watcher(self):
        self.bus.register_object("/StatusNotifierWatcher", WATCHER, self._watcher_call,
                                 self._watcher_property, None)
        self.own_name("org.kde.StatusNotifierWatcher")

    def _own_notification_server(self):
        self.bus.register_object("/org/freedesktop/Notifications", NOTIFICATIONS,
                                 self._notification_call, None, None)
        self.own_name("org.freedesktop.Notifications")

    def _notification_call(self, connection, sender, path, interface, method, params,
                           invocation):
        if method == "GetCapabilities":
            invocation.return_value(GLib.Variant("(as)", (["body"],)))
            return
        _, _, _, summary, body, _, _, _ = params.unpack()
        self.notifications.append((summary, body))
        invocation.return_value(GLib.Variant("(u)", (len(self.notifications),)))

    def set_faults(self, faults):
        """Breaks stations on the stream server: {"part of a path": "fault path"}."""
        with open(self.faults + ".tmp", "w") as file:
            json.dump(faults, file)
        os.replace(self.faults + ".tmp", self.faults)

    def stderr(self):
        with open(self.log.name) as file:
            return file.read()

    def _watcher_call(self, connection, sender, path, interface, method, params, invocation):
        if method == "RegisterStatusNotifierItem":
            service = params.unpack()[0]  # a name, or a path on the sender as Plasma takes it
            self.item = (sender, service) if service.startswith("/") else (service,
                                                                          "/StatusNotifierItem")
        invocation.return_value(None)

    def _watcher_property(self, connection, sender, path, interface, name):
        return {"RegisteredStatusNotifierItems": GLib.Variant(
                    "as", ["%s%s" % self.item] if self.item else []),
                "IsStatusNotifierHostRegistered": GLib.Variant("b", True),
                "ProtocolVersion": GLib.Variant("i", 0)}.get(name)

    # --- the program ---------------------------------------------------------

    def start_tunora(self, extra_env=None, wait=True, binary=TUNORA, umask=-1):
        env = dict(self.env)
        env.update(extra_env or {})
        self.item = None
        if getattr(self, "log", None):
            self.log.close()
        self.log = open(os.path.join(self.root, "tunora-%d.log" % len(self.processes)), "w")
        self.tunora = self._start([binary], env=env, stderr=self.log, umask=umask)
        if wait:
            try:
                wait_for(lambda: self.item is not None, 15, "the tray item to register")
                wait_for(lambda: self.layout_or_none() is not None, 10, "the menu")
            except AssertionError as timeout:
                raise AssertionError("%s (exit status %s, stderr: %r)" % (
                    timeout, self.tunora.popen.poll(), self.stderr())) from None
        return self.tunora

    def stop_tunora(self):
        self.tunora.stop()

    def item_property(self, name):
        reply = self.bus.call_sync(self.item[0], self.item[1], "org.freedesktop.DBus.Properties",
                                   "Get", GLib.Variant("(ss)", ("org.kde.StatusNotifierItem",
                                                                name)),
                                   None, Gio.DBusCallFlags.NONE, 5000, None)
        return reply.unpack()[0]

    def item_call(self, method, signature, *args):
        self.bus.call_sync(self.item[0], self.item[1], "org.kde.StatusNotifierItem", method,
                           GLib.Variant(signature, args), None, Gio.DBusCallFlags.NONE, 5000, None)

    def restart_watcher(self):
        """The panel's watcher ends and a new one starts, as when Plasma restarts."""
        self.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "ReleaseName", GLib.Variant("(s)", ("org.kde.StatusNotifierWatcher",)),
                           None, Gio.DBusCallFlags.NONE, 5000, None)
        self.item = None
        self.own_name("org.kde.StatusNotifierWatcher")

    def _menu_call(self, method, params):
        return self.bus.call_sync(self.item[0], self.item_property("Menu"),
                                  "com.canonical.dbusmenu", method, params, None,
                                  Gio.DBusCallFlags.NONE, 5000, None)

    def layout_or_none(self):
        try:
            return self.layout()
        except GLib.Error:
            return None

    def layout(self):
        """The menu as nested dicts: id, label, props, children."""
        reply = self._menu_call("GetLayout", GLib.Variant("(iias)", (0, -1, [])))
        _, root = reply.unpack()

        def convert(node):
            node_id, props, children = node
            return {"id": node_id, "label": props.get("label", ""), "props": props,
                    "children": [convert(child) for child in children]}
        return convert(root)

    def menu_revision(self):
        """The layout's revision: it grows only when the panel must read the layout anew."""
        return self._menu_call("GetLayout", GLib.Variant("(iias)", (0, 0, []))).unpack()[0]

    def find(self, *path):
        """The item reached by following labels from the top (looked up afresh)."""
        node = self.layout()
        for label in path:
            matches = [child for child in node["children"] if child["label"] == label]
            if not matches:
                raise AssertionError("no menu item %r under %r; have %r" % (
                    label, node["label"], [c["label"] for c in node["children"]]))
            node = matches[0]
        return node

    def click(self, *path):
        item = self.find(*path)
        self._menu_call("Event", GLib.Variant("(isvu)", (item["id"], "clicked",
                                                         GLib.Variant("i", 0), 0)))
        # Let the program handle the click before the next look.
        self.bus.flush_sync(None)

    def label(self):
        return self.item_property("XAyatanaLabel")

    def anonymous_kib(self):
        with open("/proc/%d/status" % self.tunora.popen.pid) as status:
            return int(next(line for line in status if line.startswith("RssAnon")).split()[1])

    def settings(self):
        with open(os.path.join(self.config, "tunora", "defaults.json")) as file:
            return json.load(file)

    def requests(self, path):
        try:
            with open(self.counts) as file:
                return json.load(file).get(path, 0)
        except (OSError, ValueError):
            return 0

    def open_streams(self, path):
        """How many connections to path the stream server is still sending to."""
        return self.requests("open:" + path)

    def playerctl(self, *args):
        result = subprocess.run(["playerctl", "-p", "tunora"] + list(args), env=self.env,
                                capture_output=True, text=True, timeout=10)
        return result.stdout.strip()

    def xdotool(self, *args):
        subprocess.run(["xdotool"] + list(args), env=self.env, check=True, timeout=10)

    def sound_level(self, seconds=0.3):
        """RMS level (0..1) of what reaches the null sink during the next moments."""
        recorder = subprocess.Popen(["parec", "--latency-msec=20", "-d", "test_sink.monitor",
                                     "--format=s16le", "--rate=44100", "--channels=2", "--raw"],
                                    env=self.env, stdout=subprocess.PIPE)
        data = b""
        deadline = time.monotonic() + seconds + 2
        wanted = int(44100 * 4 * seconds)
        try:
            while len(data) < wanted and time.monotonic() < deadline:
                data += os.read(recorder.stdout.fileno(), wanted - len(data))
        finally:
            recorder.kill()
            recorder.wait()
            recorder.stdout.close()
        samples = struct.unpack("<%dh" % (len(data) // 2), data[:len(data) // 2 * 2])
        if not samples:
            return 0.0
        return math.sqrt(sum(s * s for s in samples) / len(samples)) / 32768.0

    def close(self):
        for process in reversed(self.processes):
            process.stop()
        if getattr(self, "log", None):
            self.log.close()
        shutil.rmtree(self.root, ignore_errors=True)


def run_in_desktop(argv):
    """Runs argv in a fresh desktop (with a system bus of its own); returns its status."""
    if "--gtest_list_tests" in argv:
        return subprocess.run(argv).returncode
    desktop = Desktop(panel=False, tls=True, private_home=False)
    try:
        desktop.env["DBUS_SYSTEM_BUS_ADDRESS"] = desktop._start_bus()
        signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
        return subprocess.run(argv, env=desktop.env).returncode
    finally:
        desktop.close()


class DesktopTestCase(unittest.TestCase):
    with_watcher = True
    tls = False

    def setUp(self):
        self.desktop = Desktop(with_watcher=self.with_watcher, tls=self.tls)
        self.addCleanup(self.desktop.close)


if __name__ == "__main__":
    sys.exit(run_in_desktop(sys.argv[1:]))
