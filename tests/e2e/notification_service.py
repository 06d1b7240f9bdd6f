#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Stands in for the desktop's notification service, for window_run.py.

Owns org.freedesktop.Notifications on the bus at ADDRESS and answers its
calls as a desktop would; every Notify call goes to LOG as one JSON line,
each hint with its D-Bus type. A method of its own,
org.example.tarnwick.TestNotifications.Click(u id, s action), makes it send
ActionInvoked as if the user had clicked that notification. Writes "ready"
on standard output once the name is its own; SIGTERM ends it.

  notification_service.py ADDRESS LOG
"""

import json
import signal
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

SERVICE = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"
TEST_INTERFACE = "org.example.tarnwick.TestNotifications"

INTROSPECTION = f"""
<node>
  <interface name="{SERVICE}">
    <method name="Notify">
      <arg name="app_name" type="s" direction="in"/>
      <arg name="replaces_id" type="u" direction="in"/>
      <arg name="app_icon" type="s" direction="in"/>
      <arg name="summary" type="s" direction="in"/>
      <arg name="body" type="s" direction="in"/>
      <arg name="actions" type="as" direction="in"/>
      <arg name="hints" type="a{{sv}}" direction="in"/>
      <arg name="expire_timeout" type="i" direction="in"/>
      <arg name="id" type="u" direction="out"/>
    </method>
    <method name="CloseNotification">
      <arg name="id" type="u" direction="in"/>
    </method>
    <method name="GetCapabilities">
      <arg name="capabilities" type="as" direction="out"/>
    </method>
    <method name="GetServerInformation">
      <arg name="name" type="s" direction="out"/>
      <arg name="vendor" type="s" direction="out"/>
      <arg name="version" type="s" direction="out"/>
      <arg name="protocol_version" type="s" direction="out"/>
    </method>
    <signal name="NotificationClosed">
      <arg name="id" type="u"/>
      <arg name="reason" type="u"/>
    </signal>
    <signal name="ActionInvoked">
      <arg name="id" type="u"/>
      <arg name="action_key" type="s"/>
    </signal>
  </interface>
  <interface name="{TEST_INTERFACE}">
    <method name="Click">
      <arg name="id" type="u" direction="in"/>
      <arg name="action" type="s" direction="in"/>
    </method>
  </interface>
</node>
"""


def main():
    address, log_path = sys.argv[1], sys.argv[2]
    connection = Gio.DBusConnection.new_for_address_sync(
        address,
        Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT
        | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)
    node = Gio.DBusNodeInfo.new_for_xml(INTROSPECTION)
    next_id = [100]

    def notify(parameters):
        hints = parameters.get_child_value(6)
        typed = {}
        for i in range(hints.n_children()):
            entry = hints.get_child_value(i)
            key = entry.get_child_value(0).get_string()
            value = entry.get_child_value(1).get_variant()
            typed[key] = [value.get_type_string(), value.unpack()]
        app, replaces, icon, summary, body, actions, _, timeout = parameters.unpack()
        if replaces:
            answer = replaces
        else:
            answer = next_id[0]
            next_id[0] += 1
        with open(log_path, "a", encoding="utf-8") as log:
            log.write(json.dumps({
                "app_name": app, "replaces_id": replaces, "app_icon": icon,
                "summary": summary, "body": body, "actions": actions, "hints": typed,
                "expire_timeout": timeout, "id": answer}) + "\n")
        return GLib.Variant("(u)", (answer,))

    def method_call(conn, sender, path, interface, method, parameters, invocation):
        if interface == SERVICE and method == "Notify":
            invocation.return_value(notify(parameters))
        elif interface == SERVICE and method == "CloseNotification":
            (closed,) = parameters.unpack()
            conn.emit_signal(None, PATH, SERVICE, "NotificationClosed",
                             GLib.Variant("(uu)", (closed, 3)))
            invocation.return_value(None)
        elif interface == SERVICE and method == "GetCapabilities":
            invocation.return_value(GLib.Variant("(as)", (["actions", "body"],)))
        elif interface == SERVICE and method == "GetServerInformation":
            invocation.return_value(GLib.Variant("(ssss)", ("stand-in", "Tarnwick tests",
                                                            "1", "1.2")))
        elif interface == TEST_INTERFACE and method == "Click":
            clicked, action = parameters.unpack()
            conn.emit_signal(None, PATH, SERVICE, "ActionInvoked",
                             GLib.Variant("(us)", (clicked, action)))
            invocation.return_value(None)
        else:
            invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)

    for interface in node.interfaces:
        connection.register_object(PATH, interface, method_call, None, None)
    reply = connection.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus", "RequestName",
                                 GLib.Variant("(su)", (SERVICE, 4)),  # do not queue
                                 GLib.VariantType.new("(u)"), Gio.DBusCallFlags.NONE, 10000,
                                 None)
    if reply.unpack()[0] != 1:  # the primary owner
        print(f"could not own {SERVICE}: RequestName answered {reply.unpack()[0]}",
              file=sys.stderr)
        return 1
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    print("ready", flush=True)
    loop.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
