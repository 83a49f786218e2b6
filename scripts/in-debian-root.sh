#!/usr/bin/env bash
# Runs COMMAND inside the Debian root DIR, in the project's directory, which
# is bind-mounted at its own path. /proc and /dev/pts are mounted; the host's
# pip settings, the local paths they name and the certificate bundles are
# mounted read-only at their own paths, so pip inside resolves packages as on
# the host. Every mount lives in a private mount namespace, and is unmounted
# on exit too.
#   usage: in-debian-root.sh DIR COMMAND [ARG...]
#   HOST_PYTHON: an interpreter whose `pip config` tells the host's settings
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 DIR COMMAND [ARG...]" >&2; exit 2; }
if [ "${IN_DEBIAN_ROOT_NAMESPACE:-}" != 1 ]; then
  exec env IN_DEBIAN_ROOT_NAMESPACE=1 unshare --mount --propagation private bash "$0" "$@"
fi
project=$(cd "$(dirname "$0")/.." && pwd -P)
root=$(realpath "$1")
shift
[ -x "$root/usr/bin/python3.14" ] || { echo "no Debian root with CPython 3.14 at $root" >&2; exit 1; }

mounts=()
unmount_all() {
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" || true
  done
}
trap unmount_all EXIT

# Whether PATH lies inside something already mounted.
covered() {
  local m
  for m in "${mounts[@]}"; do
    case "$1/" in "${m#"$root"}"/*) return 0 ;; esac
  done
  return 1
}

# Mounts the host's PATH at the same path inside the root, read-only unless
# asked otherwise. A target reached through a symlink of the root is skipped:
# it would resolve on the host.
bind() {
  local src=$1 mode=${2:-ro} dst="$root$1"
  [ -e "$src" ] && [ "$src" != / ] || return 0
  covered "$src" && return 0
  if [ -d "$src" ]; then mkdir -p "$dst"; else mkdir -p "$(dirname "$dst")"; [ -e "$dst" ] || : >"$dst"; fi
  if [ "$(realpath -m "$dst")" != "$dst" ]; then
    echo "not mounting $src: $dst leads out of the root" >&2
    return 0
  fi
  mount --bind "$src" "$dst"
  mounts+=("$dst")
  [ "$mode" = rw ] || mount -o remount,bind,ro "$dst"
}

# The pip configuration files in force on the host (not a venv's own), and
# the local paths their settings and PIP_* variables name. A local index's
# pages link to files beside it, so an index brings its parent directory.
host_pip_paths() {
  local py=${HOST_PYTHON:-}
  [ -n "$py" ] && "$py" -m pip --version >/dev/null 2>&1 || return 0
  "$py" -m pip config debug 2>/dev/null | awk '
    /^[a-z_]+:$/ { section = $1 }
    section != "site:" && /, exists: True$/ { sub(/^ +/, ""); sub(/, exists: True$/, ""); print }'
  "$py" -m pip config list 2>/dev/null | while IFS= read -r line; do
    local key=${line%%=*} value=${line#*=} token
    value=${value#\'}
    value=${value%\'}
    for token in $value; do
      token=${token#file://}
      case "$token" in /*) ;; *) continue ;; esac
      case "$key" in *index*) dirname "$token" ;; *) echo "$token" ;; esac
    done
  done
}

mount -t proc proc "$root/proc"
mounts+=("$root/proc")
bind "$project" rw
bind /dev/pts rw  # apt and dpkg log through a pseudo-terminal
for f in /etc/resolv.conf /etc/hosts; do
  [ -f "$f" ] && { rm -f "$root$f"; cp -L "$f" "$root$f"; }
done
mkdir -p "$root$HOME"
while IFS= read -r path; do
  bind "$path"
done < <({ host_pip_paths; printf '%s\n' "${SSL_CERT_FILE:-}" "${REQUESTS_CA_BUNDLE:-}" "${CURL_CA_BUNDLE:-}"; } |
         grep "^/" | LC_ALL=C sort -u)

# A clean environment: the host's own interpreter, library and make settings
# would mislead the tools inside; pip, proxy, certificate and test settings
# carry over.
keep=(PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME="$HOME" LANG=C.UTF-8
      DEBIAN_FRONTEND=noninteractive)
while IFS= read -r name; do
  case "$name" in
    PIP_* | PYTEST_* | HYPOTHESIS_* | CI | JOBS | TERM | SSL_CERT_FILE | REQUESTS_CA_BUNDLE | CURL_CA_BUNDLE | \
    http_proxy | https_proxy | no_proxy | HTTP_PROXY | HTTPS_PROXY | NO_PROXY)
      keep+=("$name=${!name}") ;;
  esac
done < <(compgen -e)

status=0
env -i "${keep[@]}" chroot "$root" /bin/bash -c 'cd -- "$0" && exec "$@"' "$project" "$@" || status=$?
exit "$status"
