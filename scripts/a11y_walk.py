#!/usr/bin/python3
"""Walks the desktop program's accessible tree over AT-SPI, screen by screen.

Runs `orvdv --screenshot DIR --hold-screens`: the program stops at each screen, prints its name,
and waits while this walks what a screen reader sees. Lists each control a screen reader could
not name, each window without a title, and each control Tab does not reach (the program finds
those itself); exits 1 when there is any.
usage: a11y_walk.py PROGRAM HOME OUT_DIR
"""

import queue
import subprocess
import sys
import threading
import time

try:
    import pyatspi
except ImportError:
    sys.exit("a11y-check: python3-pyatspi is missing (package python3-pyatspi)")

SCREEN_TIMEOUT = 60  # seconds the program may take to reach its next screen
FIND_TIMEOUT = 20  # seconds for the program to show up on the accessibility bus
NAMED = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_LIST,
    pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_PAGE_TAB,
    pyatspi.ROLE_SLIDER, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_MENU_ITEM,
    pyatspi.ROLE_CHECK_MENU_ITEM, pyatspi.ROLE_RADIO_MENU_ITEM, pyatspi.ROLE_MENU,
}
# Their cells are many and are named by their contents.
LEAVES = {pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_LIST}
# Menus are walked shut: a screen reader reads their entries as they open.
MENUS = {pyatspi.ROLE_MENU_BAR, pyatspi.ROLE_MENU, pyatspi.ROLE_MENU_ITEM,
         pyatspi.ROLE_POPUP_MENU}
WINDOWS = {pyatspi.ROLE_DIALOG, pyatspi.ROLE_ALERT, pyatspi.ROLE_WINDOW,
           pyatspi.ROLE_INTERNAL_FRAME, pyatspi.ROLE_FILE_CHOOSER}


def find_program(pid):
    deadline = time.monotonic() + FIND_TIMEOUT
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:  # an application that left meanwhile
                pass
        time.sleep(0.2)
    return None


def labelled(node):
    """A label's relation names a control, as Qt tells a buddy and Orca reads it."""
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            for i in range(relation.getNTargets()):
                target = relation.getTarget(i)
                if target is not None and (target.name or "").strip():
                    return True
    return False


def walk(app, objects, offences, screen):
    """Adds to offences, keyed by place, what is wrong on the shown part of the tree."""

    def visit(node, place, roles, window, is_window):
        role = node.getRole()
        name = (node.name or "").strip()
        roles = roles + [node.getRoleName().replace(" ", "-")]
        if is_window:
            window = name or "(untitled)"
            if not name:
                offences.setdefault(place, (screen, window, "window without a title", roles,
                                            objects.get(place, "?")))
        elif role in NAMED and not name and not labelled(node):
            offences.setdefault(place, (screen, window, "control without a name", roles,
                                        objects.get(place, "?")))
        if role in LEAVES:
            return
        menu = role in MENUS
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is None:
                continue
            showing = child.getState().contains(pyatspi.STATE_SHOWING)
            if not (showing or (menu and child.getRole() in MENUS)):
                continue
            # The screens of the frame are the sub-windows of its screen area.
            sub = (child.getRole() in WINDOWS
                   or objects.get(f"{place}/{i}", "").startswith("QMdiSubWindow:"))
            visit(child, f"{place}/{i}", roles, window, is_window=sub or node is app)

    visit(app, "0", [], "", is_window=False)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    program, home, out = sys.argv[1:]
    proc = subprocess.Popen(
        [program, "--home", home, "--screenshot", out, "--hold-screens"],
        stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    lines = queue.Queue()

    def read():
        for line in proc.stdout:
            lines.put(line.rstrip("\n"))
        lines.put(None)

    threading.Thread(target=read, daemon=True).start()
    objects, offences, unreached, screens, problems = {}, {}, [], [], []
    app = None
    while True:
        try:
            line = lines.get(timeout=SCREEN_TIMEOUT)
        except queue.Empty:
            problems.append(f"no next screen within {SCREEN_TIMEOUT} s after "
                            f"{screens[-1] if screens else 'the start'}")
            break
        if line is None:
            break
        kind, _, rest = line.partition(" ")
        if kind == "object":
            place, _, what = rest.partition(" ")
            objects[place] = what
        elif kind == "tab-unreached":
            unreached.append(rest)
        elif kind == "screen":
            screens.append(rest)
            app = app or find_program(proc.pid)
            if app is None:
                problems.append("the program is not on the accessibility bus")
                break
            walk(app, objects, offences, rest)
            objects = {}
            try:
                proc.stdin.write("\n")
                proc.stdin.flush()
            except OSError:  # the program ended; its status tells why
                break
    try:
        proc.stdin.close()  # the program goes on without waiting, should the walk have stopped
    except OSError:
        pass
    try:
        rc = proc.wait(timeout=SCREEN_TIMEOUT)
    except subprocess.TimeoutExpired:
        proc.kill()
        rc = proc.wait()
        problems.append("the program did not end")
    if rc != 0:
        problems.append(f"the program ended with status {rc}")

    for screen, window, what, roles, behind in offences.values():
        print(f"{screen}: window '{window}': {what}: {'/'.join(roles)} ({behind})")
    for rest in unreached:
        screen, _, path = rest.partition(" ")
        print(f"{screen}: Tab does not reach {path}")
    for problem in problems:
        print(f"a11y-check: {problem}")
    print(f"a11y-check: {len(screens)} screens, {len(offences)} unnamed, "
          f"{len(unreached)} not reached by Tab")
    return 1 if offences or unreached or problems or not screens else 0


if __name__ == "__main__":
    sys.exit(main())
