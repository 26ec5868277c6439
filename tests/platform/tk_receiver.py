#!/usr/bin/python3
"""A receiver outside Qt: a Tk entry printing READY once focused, KEY <keysym> <state> per key
press and TEXT <content> at every change. It quits when its standard input closes."""
import sys
import tkinter as tk

root = tk.Tk(className=sys.argv[1])
text = tk.StringVar()
entry = tk.Entry(root, textvariable=text)
entry.pack()
say = lambda line: print(line, flush=True)  # noqa: E731
text.trace_add("write", lambda *_: say("TEXT " + text.get()))
entry.bind("<KeyPress>", lambda e: say("KEY %s %d" % (e.keysym, e.state & 0xFF)), add="+")
root.bind("<Control-V>", lambda e: entry.event_generate("<<Paste>>"))  # as terminals do
entry.bind("<FocusIn>", lambda e: say("READY"))
root.tk.createfilehandler(sys.stdin, tk.READABLE, lambda *_: sys.stdin.readline() or root.destroy())
root.after(200, entry.focus_force)
root.after(60000, root.destroy)
root.mainloop()
