"""An application on the accessibility bus that answers like no browser
should: a page 3,000 levels deep, a name of several megabytes, an object that
never answers, children that do not exist, a role of the wrong type, a list
of 200,000 children. It calls itself chromium (started with that argv[0]), so
the agent takes it for Chrome and reads it.

    exec -a chromium /usr/bin/python3 hostile_app.py   (the tests start it so)

Prints "ready" once it is on the bus, then serves until it is stopped."""

import sys

from gi.repository import Gio, GLib

from live_desktop import accessibility_bus

ROOT = "/org/a11y/atspi/accessible/root"
FRAME, DOCUMENT_WEB, PANEL, APPLICATION, STATIC = 23, 95, 39, 75, 116
DEPTH = 3000
CHAT = "https://claude.ai/chat/0b0b0b0b-1c1c-4d2d-8e3e-4f4f4f4f4f4f"


def objects(path):
    """(role, name, children) of an object, or None for one that does not exist."""
    if path == ROOT:
        return APPLICATION, "Chromium", ["/o/frame"]
    if path == "/o/frame":
        return FRAME, "Hostile - Chromium", ["/o/doc"]
    if path == "/o/doc":
        return DOCUMENT_WEB, "Hostile", ["/o/deep/0", "/o/big", "/o/hung", "/o/ghost", "/o/wrong", "/o/wide"]
    if path.startswith("/o/deep/"):
        i = int(path.rsplit("/", 1)[1])
        return PANEL, "", ["/o/deep/%d" % (i + 1)] if i + 1 < DEPTH else ["/o/leaf"]
    if path == "/o/big":
        return STATIC, "x" * (3 << 20), []
    if path == "/o/ghost":
        return PANEL, "", ["/o/nothing/%d" % k for k in range(5)]
    if path == "/o/wide":
        return PANEL, "", ["/o/leaf"] * 200000
    if path == "/o/leaf":
        return STATIC, "leaf", []
    return None


def main():
    bus = accessibility_bus()
    me = bus.get_unique_name()

    def reply(message, signature, value):
        r = message.new_method_reply()
        r.set_body(GLib.Variant(signature, value))
        bus.send_message(r, Gio.DBusSendMessageFlags.NONE)

    def error(message, name):
        bus.send_message(message.new_method_error_literal(name, "no"), Gio.DBusSendMessageFlags.NONE)

    def answer(message):
        path, interface, member = message.get_path(), message.get_interface(), message.get_member()
        if path == "/o/hung":
            return  # never answers
        if path == "/o/wrong" and member == "GetRole":
            return reply(message, "(s)", ("not a number",))
        if path == "/o/wrong":
            return error(message, "org.freedesktop.DBus.Error.Failed")
        found = objects(path)
        if found is None:
            return error(message, "org.freedesktop.DBus.Error.UnknownObject")
        role, name, children = found
        if interface == "org.a11y.atspi.Document" and member == "GetAttributes":
            return reply(message, "(a{ss})", ({"URI": CHAT} if path == "/o/doc" else {},))
        if member == "GetRole":
            return reply(message, "(u)", (role,))
        if member == "GetAttributes":
            return reply(message, "(a{ss})", ({"tag": "div", "class": "c" * 1000},) if path.startswith("/o/deep")
                         else ({},))
        if member == "GetChildren":
            return reply(message, "(a(so))", ([(me, c) for c in children],))
        if member == "GetState":
            return reply(message, "(au)", ([0, 0],))
        if interface == "org.freedesktop.DBus.Properties" and member == "GetAll":
            return reply(message, "(a{sv})", ({"Name": GLib.Variant("s", name),
                                               "Description": GLib.Variant("s", ""),
                                               "ChildCount": GLib.Variant("i", len(children))},))
        if interface == "org.freedesktop.DBus.Properties" and member == "Get":
            prop = message.get_body().unpack()[1]
            value = {"Name": GLib.Variant("s", name), "ToolkitName": GLib.Variant("s", "Chromium")}.get(prop)
            if value is None:
                return error(message, "org.freedesktop.DBus.Error.UnknownProperty")
            return reply(message, "(v)", (value,))
        return error(message, "org.freedesktop.DBus.Error.UnknownMethod")

    def incoming(connection, message, is_incoming):
        if is_incoming and message.get_message_type() == Gio.DBusMessageType.METHOD_CALL \
                and message.get_destination() == me:
            try:
                answer(message)
            except Exception:  # a fake must not die of its own mistakes
                error(message, "org.freedesktop.DBus.Error.Failed")
            return None
        return message

    bus.add_filter(incoming)
    bus.call_sync("org.a11y.atspi.Registry", ROOT, "org.a11y.atspi.Socket", "Embed",
                  GLib.Variant("((so))", ((me, ROOT),)), None, Gio.DBusCallFlags.NONE, 5000, None)
    print("ready", flush=True)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
