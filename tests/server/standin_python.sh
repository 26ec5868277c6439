#!/bin/sh
# Stand-in for the system python3 whose venv module fails the way a missing ensurepip
# does: it records its arguments and folder in $STANDIN_PYTHON_RECORD (when set), makes
# <dir>/bin/python3, then prints its complaint and exits with status 2. With
# PARLIX_PYTHON_STANDIN=hang it first waits for the file $PARLIX_PYTHON_RELEASE (at most
# 20 s), then just fails.
if [ "$PARLIX_PYTHON_STANDIN" = hang ]; then
    i=0
    while [ ! -e "$PARLIX_PYTHON_RELEASE" ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i + 1)); done
    exit 1
fi
[ -z "$STANDIN_PYTHON_RECORD" ] || printf '%s\n' "$*" "$(pwd)" > "$STANDIN_PYTHON_RECORD"
eval "dir=\${$#}"
mkdir -p "$dir/bin" && touch "$dir/bin/python3"
printf 'Error: ensurepip is not available.\n  apt install python3-venv\n'
exit 2
