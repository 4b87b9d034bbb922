"""A screen saver on the session bus (org.freedesktop.ScreenSaver) whose lock
the test commands: it starts locked, says "asked" on standard output each
time somebody asks whether it is active, and on a line "unlock" on standard
input unlocks and sends ActiveChanged(false)."""

import sys
import threading

from gi.repository import Gio, GLib

XML = """<node><interface name="org.freedesktop.ScreenSaver">
  <method name="GetActive"><arg type="b" direction="out"/></method>
  <method name="GetSessionIdleTime"><arg type="u" direction="out"/></method>
  <signal name="ActiveChanged"><arg type="b"/></signal>
</interface></node>"""
PATH = "/org/freedesktop/ScreenSaver"


def main():
    state = {"locked": True}
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    loop = GLib.MainLoop()

    def call(connection, sender, path, interface, method, parameters, invocation):
        if method == "GetActive":
            print("asked", flush=True)
            invocation.return_value(GLib.Variant("(b)", (state["locked"],)))
        else:
            invocation.return_value(GLib.Variant("(u)", (0,)))

    bus.register_object(PATH, Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0], call, None, None)

    def acquired(*_):
        print("ready", flush=True)

    Gio.bus_own_name_on_connection(bus, "org.freedesktop.ScreenSaver", Gio.BusNameOwnerFlags.NONE, acquired, None)

    def unlock():
        state["locked"] = False
        bus.emit_signal(None, PATH, "org.freedesktop.ScreenSaver", "ActiveChanged", GLib.Variant("(b)", (False,)))
        print("unlocked", flush=True)
        return False

    def commands():
        for line in sys.stdin:
            if line.strip() == "unlock":
                GLib.idle_add(unlock)
        GLib.idle_add(loop.quit)

    threading.Thread(target=commands, daemon=True).start()
    loop.run()


if __name__ == "__main__":
    main()
