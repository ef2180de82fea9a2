#!/usr/bin/python3
# A keyboard and a pointer for a headless mutter, which has none: a remote
# desktop session on the session bus, whose virtual devices mutter adds to
# its seat. Wayland clients then get keyboard focus and the selection (the
# clipboard needs both), and pointer events reach every client, XWayland's
# included, as a hand's would.
#
# Reads one command a line from stdin, answers "ok" (or "error: ...") on
# stdout after each:
#   key CODE 1|0     an evdev key code pressed or released (29 Ctrl, 47 V)
#   btn CODE 1|0     an evdev button (272 left)
#   to X Y           the pointer to X,Y of the screen: first pushed to the
#                    top left corner, where it stops, then moved by X,Y
#   by DX DY         the pointer moved by DX,DY
# Prints "ready" once the devices are there; ends at the end of its input
# (mutter closes the session when its caller goes).
import sys
import time

import dbus

NAME = 'org.gnome.Mutter.RemoteDesktop'


def main():
    bus = dbus.SessionBus()
    for _ in range(100):
        if bus.name_has_owner(NAME):
            break
        time.sleep(0.1)
    desktop = dbus.Interface(bus.get_object(NAME, '/org/gnome/Mutter/RemoteDesktop'), NAME)
    session = dbus.Interface(bus.get_object(NAME, desktop.CreateSession()), NAME + '.Session')
    session.Start()
    # Mutter gives the seat its keyboard with the first key event.
    session.NotifyKeyboardKeycode(dbus.UInt32(42), True)
    session.NotifyKeyboardKeycode(dbus.UInt32(42), False)
    print('ready', flush=True)
    for line in sys.stdin:
        words = line.split()
        if not words:
            continue
        try:
            if words[0] == 'key':
                session.NotifyKeyboardKeycode(dbus.UInt32(int(words[1])), words[2] == '1')
            elif words[0] == 'btn':
                session.NotifyPointerButton(dbus.Int32(int(words[1])), words[2] == '1')
            elif words[0] == 'to':
                session.NotifyPointerMotionRelative(-100000.0, -100000.0)
                session.NotifyPointerMotionRelative(float(words[1]), float(words[2]))
            elif words[0] == 'by':
                session.NotifyPointerMotionRelative(float(words[1]), float(words[2]))
            else:
                raise ValueError('unknown command ' + words[0])
            print('ok', flush=True)
        except (dbus.DBusException, ValueError, IndexError) as e:
            print('error: %s' % e, flush=True)


if __name__ == '__main__':
    main()
