#!/usr/bin/env bash
# Starts Kalvex from the project root (it reads Shaders/, IncludedData/ and
# Models/Images/ relative to the working directory).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"

if [ ! -x "$build/kalvex" ]; then
  echo "The window is not built yet; available now:"
  ls "$build"/kalvex-cli "$build"/kalvex-bench 2>/dev/null || true
  [ -x "$build/kalvex-cli" ] && "$build/kalvex-cli" --help
  exit 0
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Kalvex on a virtual X display (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$build/kalvex"
fi
exec "$build/kalvex"
