#!/usr/bin/env bash
# Runs a command in a private network namespace with only loopback up, so
# tests that bind the fixed module ports (9014, 9015) cannot collide with
# anything else on the machine. Without the rights for that (not root), the
# command runs as it is.
set -euo pipefail
if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null && unshare -n true 2>/dev/null; then
  exec unshare -n bash -c 'ip link set lo up && exec "$@"' bash "$@"
fi
exec "$@"
