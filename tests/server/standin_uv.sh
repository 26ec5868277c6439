#!/bin/sh
# Stand-in for uv: records how it was run, then does what STANDIN_UV_MODE says.
printf '%s\n' "$*" "$(pwd)" "$UV_PYTHON_DOWNLOADS" > "$STANDIN_UV_RECORD"
case "$STANDIN_UV_MODE" in
  ok) mkdir -p "$2/bin" && touch "$2/bin/python3" ;;
  fail) printf 'error: No interpreter found for Python 3.12\n  hint: check your network\n'; exit 2 ;;
esac
