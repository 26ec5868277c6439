#!/usr/bin/python3
"""A foreign (non-Qt) receiving window: an entry that takes the focus itself, prints
READY once it has it, KEY <keysym> <state> for every key press and TEXT <content> at
every change; it quits when its standard input closes."""
import sys
import tkinter as tk

root = tk.Tk(className=sys.argv[1] if len(sys.argv) > 1 else "receiver")
root.geometry("400x60+100+100")
text = tk.StringVar()
entry = tk.Entry(root, textvariable=text)
entry.pack(fill="both", expand=True)


def say(line):
    print(line, flush=True)


text.trace_add("write", lambda *_: say("TEXT " + text.get()))
entry.bind("<KeyPress>", lambda e: say("KEY %s %d" % (e.keysym, e.state & 0xFF)), add="+")
entry.bind("<FocusIn>", lambda e: say("READY"))


def on_stdin(*_):
    if not sys.stdin.readline():
        root.tk.deletefilehandler(sys.stdin)
        root.destroy()


root.tk.createfilehandler(sys.stdin, tk.READABLE, on_stdin)
root.after(200, entry.focus_force)
root.after(60000, root.destroy)
root.mainloop()
