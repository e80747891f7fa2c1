#!/usr/bin/python3
"""The app as a screen reader meets it: the real client on a virtual X display with Qt's AT-SPI
bridge on, against the real server with demo data, its tree walked over the accessibility bus with
pyatspi. Signs in through the tree alone (text set through the editable-text interface, the button
pressed through its action), then opens each main tab by its press action. On the sign-in screen, the
server settings over it, every tab and a sheet over the last one it fails on a showing interactive
object without a name, a heading without a name, a screen without a named heading, a text that hands
out the typed password, a control of a covered screen that is still showing, and a popup sheet
opening without the window telling that its children changed.

Run inside a private session bus: dbus-run-session -- accessibility_atspi.py --client ... --server ...
"""
import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import Atspi, GLib

PASSWORD = "alice123"
TABS = ["消息", "通讯录", "发现", "我的"]
INTERACTIVE = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_TEXT, pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_SLIDER, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_LINK, pyatspi.ROLE_MENU_ITEM,
}


# The children-changed events of the window, as they come in.
WINDOW_CHANGES = []


def wait_for(what, probe, timeout=40):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        while GLib.MainContext.default().iteration(False):  # deliver the events that came in
            pass
        try:
            found = probe()
        except Exception:  # the tree changes under the walk; ask again
            found = None
        if found:
            return found
        time.sleep(0.2)
    raise TimeoutError("timed out waiting for " + what)


def nodes(root):
    """Every object under `root`, with its state, as the accessibility bus reports it now."""
    root.clear_cache()
    stack = [root]
    while stack:
        node = stack.pop()
        yield node, node.getState()
        stack.extend(node.getChildAtIndex(i) for i in reversed(range(node.childCount)))


def find(app, role, name):
    for node, state in nodes(app):
        if node.getRole() == role and node.name == name and state.contains(pyatspi.STATE_SHOWING):
            return node
    return None


def audit(app, screen):
    findings = []
    titled = False
    for node, state in nodes(app):
        if not state.contains(pyatspi.STATE_SHOWING):
            continue
        role, named = node.getRole(), bool(node.name.strip())
        label = "%s: %s %r" % (screen, node.getRoleName(), node.name)
        if (role in INTERACTIVE or state.contains(pyatspi.STATE_FOCUSABLE)) and not named:
            findings.append("unnamed: " + label)
        if role == pyatspi.ROLE_HEADING:
            titled = titled or named
            if not named:
                findings.append("heading: " + label)
        if role in (pyatspi.ROLE_TEXT, pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_ENTRY):
            text = node.queryText()
            if PASSWORD in text.getText(0, text.characterCount):
                findings.append("password: " + label)
    if not titled:
        findings.append("untitled: %s has no named heading" % screen)
    return findings


def covering(app, screen, opener, heading, closer, covered, popup=False):
    """Opens a screen or sheet by the press action of `opener`, audits it, checks that `covered` (a
    role and name under it) left the tree (and, for a popup, that the window said so), and closes it
    with `closer`."""
    WINDOW_CHANGES.clear()
    press(wait_for(opener[1], lambda: find(app, *opener)))
    wait_for(screen, lambda: find(app, pyatspi.ROLE_HEADING, heading))
    findings = audit(app, screen)
    if popup:
        wait_for("children-changed on the window as %s opens" % screen, lambda: WINDOW_CHANGES, timeout=10)
    if find(app, *covered):
        findings.append("covered: %s: %r is showing" % (screen, covered[1]))
    press(find(app, pyatspi.ROLE_PUSH_BUTTON, closer))
    wait_for("the screen under " + screen, lambda: find(app, *covered))
    return findings


def press(node):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if "Press" not in names and "press" not in names:
        raise AssertionError("no press action on %r: %s" % (node.name, names))
    action.doAction(names.index("Press") if "Press" in names else names.index("press"))


def start_display():
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "800x1000x24", "-nolisten", "tcp"],
                            pass_fds=(write,), stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as display:
        return xvfb, ":" + display.readline().strip()


def start_server(binary, data):
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    subprocess.run([binary, "seed-demo", "--data", data], check=True, stdout=subprocess.DEVNULL)
    log = open(os.path.join(data, "server.log"), "w")
    server = subprocess.Popen([binary, "serve", "--listen", "127.0.0.1:%d" % port, "--data", data, "--dev-tls"],
                              stdout=log, stderr=log)
    ca = os.path.join(data, "tls", "ca.pem")
    wait_for("the server", lambda: os.path.getsize(log.name) > 0 and os.path.exists(ca))
    return server, "https://127.0.0.1:%d" % port, ca


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--client", required=True)
    parser.add_argument("--server", required=True)
    args = parser.parse_args()
    home = tempfile.mkdtemp(prefix="zephlin-atspi-")
    processes = []
    try:
        xvfb, display = start_display()
        processes.append(xvfb)
        server, url, ca = start_server(args.server, os.path.join(home, "server"))
        processes.append(server)
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   ZEPHLIN_KEYCHAIN="file", XDG_CONFIG_HOME=os.path.join(home, "config"),
                   XDG_DATA_HOME=os.path.join(home, "data"), XDG_CACHE_HOME=os.path.join(home, "cache"))
        processes.append(subprocess.Popen([args.client, "--server", url, "--ca-file", ca], env=env,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        desktop = pyatspi.Registry.getDesktop(0)
        app = wait_for("the app on the accessibility bus", lambda: next(
            (desktop.getChildAtIndex(i) for i in range(desktop.childCount) if desktop.getChildAtIndex(i).name == "zephlin"),
            None))
        app.set_cache_mask(Atspi.Cache.NONE)
        listener = Atspi.EventListener.new(lambda event: event.source.getRole() == pyatspi.ROLE_FRAME and WINDOW_CHANGES.append(event))
        listener.register("object:children-changed")

        sign_in = wait_for("the sign-in button", lambda: find(app, pyatspi.ROLE_PUSH_BUTTON, "登 录"))
        findings = audit(app, "sign-in")
        findings += covering(app, "server settings", (pyatspi.ROLE_PUSH_BUTTON, "服务器设置"), "服务器设置", "取消",
                             (pyatspi.ROLE_PUSH_BUTTON, "登 录"))
        wait_for("the user name field", lambda: find(app, pyatspi.ROLE_TEXT, "用户名")).queryEditableText().setTextContents("alice")
        password = wait_for("the password field", lambda: find(app, pyatspi.ROLE_PASSWORD_TEXT, "密码"))
        password.queryEditableText().setTextContents(PASSWORD)
        findings += audit(app, "sign-in filled in")
        press(sign_in)
        for name in TABS:
            tab = wait_for("the tab " + name, lambda: find(app, pyatspi.ROLE_PAGE_TAB, name))
            press(tab)
            wait_for("the tab %s selected" % name, lambda: find(app, pyatspi.ROLE_PAGE_TAB, name).getState().contains(
                pyatspi.STATE_SELECTED))
            time.sleep(0.5)
            findings += audit(app, "tab " + name)
        findings += covering(app, "font size sheet", (pyatspi.ROLE_PUSH_BUTTON, "字体大小"), "字体大小", "完成",
                             (pyatspi.ROLE_PAGE_TAB, TABS[-1]), popup=True)
        for finding in findings:
            print(finding)
        print("walked sign-in, server settings, %d tabs and a sheet over AT-SPI: %d findings" % (len(TABS), len(findings)))
        return 1 if findings else 0
    finally:
        for process in reversed(processes):
            process.terminate()
            process.wait(timeout=10)
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
