#!/usr/bin/python3
"""A receiving window outside Qt: a Tk entry of class argv[1] that takes the keyboard focus
(no window manager hands it out) and says READY once focused, KEY <keysym> <state> per key
press and TEXT <content> at every change; with argv[2], its content is also kept in that
file. It quits when its standard input closes."""
import os
import sys
import tkinter as tk

root = tk.Tk(className=sys.argv[1])
root.geometry("600x200+100+300")
text = tk.StringVar()
entry = tk.Entry(root, textvariable=text)
entry.pack(fill="both", expand=True)
say = lambda line: print(line, flush=True)  # noqa: E731


def changed(*_):
    say("TEXT " + text.get())
    if len(sys.argv) > 2:
        with open(sys.argv[2] + ".tmp", "w", encoding="utf-8") as f:
            f.write(text.get())
        os.replace(sys.argv[2] + ".tmp", sys.argv[2])


def keep_focus(tries=0):
    # Take it, and keep it for the first seconds while the window settles.
    if tries < 20 or root.focus_get() is None:
        root.focus_force()
        entry.focus_set()
    root.after(100, keep_focus, tries + 1)


text.trace_add("write", changed)
changed()
entry.bind("<KeyPress>", lambda e: say("KEY %s %d" % (e.keysym, e.state & 0xFF)), add="+")
root.bind("<Control-V>", lambda e: entry.event_generate("<<Paste>>"))  # as terminals do
entry.bind("<FocusIn>", lambda e: say("READY"))
root.tk.createfilehandler(sys.stdin, tk.READABLE, lambda *_: sys.stdin.readline() or root.destroy())
root.after(200, keep_focus)
root.after(int(os.environ.get("PARLIX_RECEIVER_SECONDS", "600")) * 1000, root.destroy)  # a soak outlives 10 minutes
root.mainloop()
