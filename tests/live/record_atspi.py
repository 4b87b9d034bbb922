"""Records what the accessibility bus tells about an application's windows,
before any translation: one JSON tree per window with each object's role
name, name, description, object attributes, text, document or link address
and the states the translation reads. The trees are the fixtures of the
backend's translation tests, and what to look at when a page reads wrong.

    /usr/bin/python3 record_atspi.py APPLICATION_NAME [TITLE_PART] > window.json

APPLICATION_NAME is the name on the bus ("Chromium", "Firefox"); with
TITLE_PART, only the windows whose name holds it. Uses the session bus of
the environment."""

import json
import sys

from gi.repository import Gio, GLib

from live_desktop import accessibility_bus

ROOT = "/org/a11y/atspi/accessible/root"
ACCESSIBLE = "org.a11y.atspi.Accessible"
# AtspiStateType bits the translation reads
STATES = {"active": 1, "checked": 4, "multi-line": 17, "pressed": 20, "indeterminate": 32}


def role_names():
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
    return lambda n: Atspi.role_get_name(Atspi.Role(n)) if n < int(Atspi.Role.LAST_DEFINED) else "unknown"


class Reader:
    def __init__(self, session_address=None):
        self.bus = accessibility_bus(session_address)
        self.role_name = role_names()

    def call(self, dest, path, iface, method, args=None):
        try:
            return self.bus.call_sync(dest, path, iface, method, args, None, Gio.DBusCallFlags.NONE, 5000,
                                      None).unpack()
        except GLib.Error:
            return None

    def node(self, dest, path, depth=0):
        role = self.call(dest, path, ACCESSIBLE, "GetRole")
        if role is None:
            return None
        props = (self.call(dest, path, "org.freedesktop.DBus.Properties", "GetAll", GLib.Variant("(s)", (ACCESSIBLE,)))
                 or [{}])[0]
        states = (self.call(dest, path, ACCESSIBLE, "GetState") or [[0, 0]])[0]
        n = {"role": self.role_name(role[0]), "name": props.get("Name", ""),
             "description": props.get("Description", ""),
             "attributes": (self.call(dest, path, ACCESSIBLE, "GetAttributes") or [{}])[0]}
        text = self.call(dest, path, "org.a11y.atspi.Text", "GetText", GLib.Variant("(ii)", (0, -1)))
        if text is not None:
            n["text"] = text[0]
        if n["role"] in ("document web", "document frame"):
            doc = (self.call(dest, path, "org.a11y.atspi.Document", "GetAttributes") or [{}])[0]
            address = doc.get("URI") or doc.get("DocURL")
            if address:
                n["address"] = address
        elif n["role"] == "link":
            uri = self.call(dest, path, "org.a11y.atspi.Hyperlink", "GetURI", GLib.Variant("(i)", (0,)))
            if uri and uri[0]:
                n["address"] = uri[0]
        n["states"] = [s for s, bit in STATES.items() if states[bit // 32] >> (bit % 32) & 1]
        n["children"] = []
        if depth < 80:
            for child_dest, child_path in (self.call(dest, path, ACCESSIBLE, "GetChildren") or [[]])[0]:
                c = self.node(child_dest or dest, child_path, depth + 1)
                if c:
                    n["children"].append(c)
        return n

    def objects(self, dest, path, depth=0):
        """(bus name, path, role name, depth) of an object and every object
        below it, in pre-order."""
        role = self.call(dest, path, ACCESSIBLE, "GetRole")
        if role is None:
            return
        yield dest, path, self.role_name(role[0]), depth
        if depth < 80:
            for child_dest, child_path in (self.call(dest, path, ACCESSIBLE, "GetChildren") or [[]])[0]:
                yield from self.objects(child_dest or dest, child_path, depth + 1)

    def window_paths(self, app_name, title_part):
        """(bus name, path) of each window of the application titled with title_part."""
        for dest, _ in (self.call("org.a11y.atspi.Registry", ROOT, ACCESSIBLE, "GetChildren") or [[]])[0]:
            name = self.call(dest, ROOT, "org.freedesktop.DBus.Properties", "Get",
                             GLib.Variant("(ss)", (ACCESSIBLE, "Name")))
            if not name or name[0] != app_name:
                continue
            for _, path in (self.call(dest, ROOT, ACCESSIBLE, "GetChildren") or [[]])[0]:
                title = self.call(dest, path, "org.freedesktop.DBus.Properties", "Get",
                                  GLib.Variant("(ss)", (ACCESSIBLE, "Name")))
                if title and title[0] and title_part in title[0]:
                    yield dest, path

    def windows(self, app_name, title_part):
        for dest, path in self.window_paths(app_name, title_part):
            yield self.node(dest, path)


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 1
    for window in Reader().windows(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else ""):
        print(json.dumps(window, ensure_ascii=False, indent=1))
    return 0


if __name__ == "__main__":
    sys.exit(main())
