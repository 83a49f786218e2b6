#!/usr/bin/env bash
# Makes a Debian unstable root at DIR that holds CPython 3.14 and the native
# build's packages, for running the tests on 3.14 beside the host's 3.13.
# Reused when complete; a root left half-made by an interrupted run is made
# anew. The stamp, written last, names this script's checksum, so a change
# here remakes the root.
#   usage: make-debian-root.sh DIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 DIR" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd -P)
root=$(realpath -m "$1")
stamp="$root/.complete"
want=$(sha256sum "$here/make-debian-root.sh" | cut -d' ' -f1)
complete() { [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; }

complete && exit 0
[ "$(id -u)" -eq 0 ] || { echo "making the Debian root needs root (debootstrap, chroot)" >&2; exit 1; }
mkdir -p "$(dirname "$root")"
exec 9>"$root.lock"
flock 9
complete && exit 0

# The host's main Debian archive: the first enabled `deb` source for the
# host's own release (not -security, -updates or another vendor's suite).
host_mirror() {
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  {
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$f" ] || continue
      sed -E 's/#.*//; s/\[[^]]*\]//' "$f" | awk -v c="$codename" '$1 == "deb" && $3 == c { print $2 }'
    done
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      awk -v c="$codename" -v RS= '
        { types = uris = suites = ""; enabled = 1
          n = split($0, lines, "\n")
          for (i = 1; i <= n; i++) {
            line = lines[i]; sub(/#.*/, "", line)
            if (line ~ /^Types:/) types = " " substr(line, 7) " "
            else if (line ~ /^URIs:/) uris = substr(line, 6)
            else if (line ~ /^Suites:/) suites = " " substr(line, 8) " "
            else if (line ~ /^Enabled:[ \t]*no/) enabled = 0
          }
          split(uris, u, " ")
          if (enabled && types ~ / deb / && suites ~ (" " c " ")) print u[1] }' "$f"
    done
  } | awk 'NR == 1'
}
mirror=$(host_mirror)
mirror=${mirror:-http://deb.debian.org/debian}

if ! command -v debootstrap >/dev/null; then
  echo "installing: debootstrap"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
fi

# Nothing may be mounted inside a root about to be removed: removing it
# would reach through the mount into the host's files.
mounted_inside() { awk -v r="$root/" 'index($5 "/", r) == 1 { print $5 }' /proc/self/mountinfo; }
if [ -e "$root" ]; then
  if [ -n "$(mounted_inside)" ]; then
    echo "the half-made Debian root $root has mounts inside; unmount these and run again:" >&2
    mounted_inside >&2
    exit 1
  fi
  echo "removing the half-made Debian root $root"
  rm -rf --one-file-system "$root"
fi

echo "making the Debian root $root from $mirror (about a minute)"
# debootstrap mounts /proc and /sys inside the root; a private mount
# namespace drops them even when it is killed halfway.
log="$root.log"
if ! unshare --mount --propagation private \
     debootstrap --variant=minbase --include=python3.14,python3.14-dev,python3.14-venv,make,ca-certificates \
     sid "$root" "$mirror" >"$log" 2>&1; then
  tail -n 30 "$log" >&2
  echo "debootstrap failed; the whole log is $log" >&2
  exit 1
fi
rm -f "$log"

# The mirror may serve an unstable release file past its validity date.
cat >"$root/etc/apt/apt.conf.d/99tessolin" <<EOF
Acquire::Check-Valid-Until "false";
$(apt-config dump | grep -E '^Acquire::(http|https|ftp)::Proxy ' || true)
EOF

# The native build's packages, from the same list the host uses.
bash "$here/in-debian-root.sh" "$root" bash "$here/setup-system.sh"

echo "$want" >"$stamp"
