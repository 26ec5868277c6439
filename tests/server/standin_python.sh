#!/bin/sh
# Stand-in for the system python3 whose venv module fails the way a missing ensurepip
# does: it has made <dir>/bin/python3, then prints its complaint and exits with status 2.
printf '%s\n' "$*" "$(pwd)" > "$STANDIN_PYTHON_RECORD"
eval "dir=\${$#}"
mkdir -p "$dir/bin" && touch "$dir/bin/python3"
printf 'Error: ensurepip is not available.\n  apt install python3-venv\n'
exit 2
