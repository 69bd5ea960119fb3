"""Drives the window through the accessibility bus, as a screen reader does: presses Run through
its accessible action, reads the progress dialog and presses its Cancel.

The command must start after the action's call has returned, so that the call is answered at
once although the statement runs for seconds."""
import sys
import time

import pyatspi

APP = "orvessa-a11y-harness"


def fail(text):
    print("FAIL: " + text)
    sys.exit(1)


def nodes(root):
    stack = [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        yield node
        try:
            stack.extend(node[i] for i in range(node.childCount))
        except Exception:
            pass


def wait_for(find, seconds, what):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            found = find()
        except Exception as error:
            # An object that went away while it was read (a dialog closing): read again.
            print("retrying after: %s" % error)
            found = None
        if found is not None:
            return found
        time.sleep(0.1)
    fail("no " + what + " within %d s" % seconds)


def application():
    # The registry may still be starting: asked again until it answers.
    try:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == APP:
                return app
    except Exception:
        pass
    return None


def first(root, role, name=None, starts=None):
    for node in nodes(root):
        if node.getRoleName() != role:
            continue
        if name is not None and node.name != name:
            continue
        if starts is not None and not node.name.startswith(starts):
            continue
        return node
    return None


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("press", "click", "Press"):
            began = time.monotonic()
            try:
                action.doAction(i)
            except Exception as error:
                fail("the press of %r got no answer: %s" % (node.name, error))
            return time.monotonic() - began
    fail("%s %r has no press action" % (node.getRoleName(), node.name))


def working_dialog(app):
    for node in nodes(app):
        if node.getRoleName() == "dialog":
            label = first(node, "label", starts="Working")
            if label is not None:
                return node
    return None


def main():
    app = wait_for(application, 30, "application on the accessibility bus")
    # Tools > Run: a menu item runs its command inside the action's call unless the command
    # starts from the event loop afterwards.
    run = wait_for(lambda: first(app, "menu item", name="Run"), 30, "Run menu item")
    took = press(run)
    print("Tools > Run pressed through its action, answered in %.3f s" % took)
    if took > 1.0:
        fail("the press of Run was answered only after %.3f s" % took)

    # The wait's dialog is readable and its Cancel pressable.
    dialog = wait_for(lambda: working_dialog(app), 20, "progress dialog")
    label = first(dialog, "label", starts="Working")
    print("Progress dialog reads: %r" % label.name)
    cancel = first(dialog, "push button", name="Cancel")
    if cancel is None:
        fail("the progress dialog has no Cancel button")
    took = press(cancel)
    print("Cancel pressed through its action, answered in %.3f s" % took)
    if took > 1.0:
        fail("the press of Cancel was answered only after %.3f s" % took)
    wait_for(lambda: None if working_dialog(app) else True, 15, "end of the progress dialog")
    print("The progress dialog has gone")

    # The window answers again: its Messages page says the statement was interrupted.
    log = wait_for(lambda: first(app, "text", starts=None) and next(
        (n for n in nodes(app) if n.getRoleName() == "text" and "interrupted" in
         n.queryText().getText(0, -1)), None), 15, "log line of the interrupted statement")
    print("The log says: %r" % log.queryText().getText(0, -1).strip().splitlines()[-1])
    print("PASS")


main()
