#!/usr/bin/env bash
# The engine's logic never names a platform: platform tests belong in engine/platform/<platform>/
# (and the twin test folders), program entry points, the tray program's window layer, and test
# support for sockets.
set -euo pipefail
cd "$(dirname "$0")/.."
hits=$(git ls-files -- '*.cpp' '*.h' |
  grep -vE '^(engine/platform/(win32|posix)/|service/.*/(win32|posix)/|gui/(win32|resources)/|tests/support/standin_provider/socket_compat\.)' |
  grep -vE '(^|/)main\.cpp$' |
  xargs -r grep -lE '#\s*if.*_WIN32|#\s*ifdef\s+_WIN32' || true)
if [[ -n "$hits" ]]; then
  echo "Platform conditionals outside the platform folders:"
  echo "$hits"
  exit 1
fi
echo "layout check: no platform conditionals in portable code"
