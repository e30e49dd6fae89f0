#!/usr/bin/env bash
# Starts a built vellora the way the README says (offscreen) on each book given, each with a fresh
# settings store, and checks what a user relies on: the book is opened ("Opened" in the log), the
# application stays up, and SIGTERM makes it save ("Settings saved to:"), exit 0 and leave the
# book in the stored history. Usage: scripts/check-app.sh VELLORA BOOK...
set -euo pipefail
app=$(realpath "$1")
shift
status=0
for book in "$@"; do
  book=$(realpath "$book")
  work=$(mktemp -d)
  log=$work/log
  HOME=$work XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work \
    QT_QPA_PLATFORM=offscreen "$app" "$book" >"$log" 2>&1 &
  pid=$!
  problem=""
  for _ in $(seq 300); do
    grep -q "Opened " "$log" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if ! grep -q "Opened " "$log"; then
    problem="never logged \"Opened\""
  else
    sleep 3
    kill -0 "$pid" 2>/dev/null || problem="did not stay up"
  fi
  kill -TERM "$pid" 2>/dev/null || true
  code=0
  for _ in $(seq 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid"
    problem=${problem:-"still running 20 s after SIGTERM"}
  fi
  wait "$pid" || code=$?
  store=$work/config/Vellora/Vellora.ini
  if [ -z "$problem" ]; then
    if [ "$code" -ne 0 ]; then
      problem="exited with $code"
    elif ! grep -q "Settings saved to:" "$log"; then
      problem="never logged \"Settings saved to:\""
    elif ! grep -qxF "1\\filePath=$book" "$store" 2>/dev/null; then
      problem="the stored history does not hold the book"
    fi
  fi
  if [ -n "$problem" ]; then
    echo "check-app: $(basename "$book"): FAILED: $problem"
    sed 's/^/    /' "$log"
    [ -f "$store" ] && sed 's/^/    store: /' "$store"
    status=1
  else
    echo "check-app: $(basename "$book"): opened, stayed up, saved on SIGTERM"
  fi
  rm -rf "$work"
done
exit $status
