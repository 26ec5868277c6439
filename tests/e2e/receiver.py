"""A Tk text window that takes the keyboard focus and mirrors its content into a file."""
import os
import sys
import tkinter as tk

out = sys.argv[1]
root = tk.Tk()
root.title("receiver")
root.geometry("600x200+100+300")
text = tk.Text(root)
text.pack(fill="both", expand=True)


focus_tries = [0]


def dump():
    with open(out + ".tmp", "w", encoding="utf-8") as f:
        f.write(text.get("1.0", "end-1c"))
    os.replace(out + ".tmp", out)
    # No window manager hands out the focus: take it, and keep it for the first seconds
    # while the window settles.
    if focus_tries[0] < 20 or root.focus_get() is None:
        focus_tries[0] += 1
        root.focus_force()
        text.focus_set()
    root.after(100, dump)


root.after(200, dump)
root.mainloop()
