#!/usr/bin/env bash
# CI on Debian 13 (trixie) from a machine of another release: a fresh Debian 13 root made with
# debootstrap in build/debian13/, HEAD's commit cloned into it, and .ci/run run there. The run
# happens in a private mount namespace: /proc, /dev and /sys are mounted inside the root for it
# and vanish with the namespace. The root is removed afterwards, and only once nothing is
# mounted in it (a bind of /dev would otherwise take the host's device nodes with it). Run as
# root; needs Debian's archive.
#   bash scripts/ci-debian13.sh
set -euo pipefail
cd "$(dirname "$0")/.."

command -v debootstrap >/dev/null || {
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
}
# The archive that apt uses here (DEBIAN_MIRROR overrides it).
mirror=${DEBIAN_MIRROR:-$(cat /etc/apt/sources.list /etc/apt/sources.list.d/* 2>/dev/null |
  sed -n -E 's#^(URIs:|deb( \[[^]]*\])?) +(https?://[^ ]+/debian)/?( .*)?$#\3#p' | head -n 1 || true)}
mirror=${mirror:-http://deb.debian.org/debian}

root=$PWD/build/debian13/root
mounted_in_root() { awk -v r="$root" '$2 == r || index($2, r "/") == 1' /proc/self/mounts | grep -q .; }
remove_root() {
  if mounted_in_root; then
    echo "ci-debian13.sh: something is still mounted in $root; not removing it" >&2
    return 1
  fi
  rm -rf --one-file-system "$root"
}
remove_root
trap remove_root EXIT
mkdir -p "$(dirname "$root")"

start=$SECONDS
debootstrap --variant=minbase trixie "$root" "$mirror" >"$root.debootstrap.log" 2>&1 ||
  { tail -n 20 "$root.debootstrap.log"; exit 1; }
echo "Debian 13 root from $mirror ($((SECONDS - start)) s)"
# The host's network settings: its name servers, and the certificate authorities it trusts
# beyond Debian's (a TLS-inspecting proxy's, for one), which the root's ca-certificates takes in.
cp /etc/resolv.conf "$root/etc/resolv.conf"
if compgen -G '/usr/local/share/ca-certificates/*.crt' >/dev/null; then
  mkdir -p "$root/usr/local/share/ca-certificates"
  cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
fi
git clone -q . "$root/root/src"
git -C "$root/root/src" checkout -q -B ci "$(git rev-parse HEAD)"

# Inside: git for the build's time stamp and the reproducibility check; the project's own
# scripts install the rest, as on any fresh machine.
unshare --mount --propagation private --fork bash -c '
  r=$1
  mount -t proc proc "$r/proc" && mount --rbind /dev "$r/dev" && mount --rbind /sys "$r/sys" &&
    exec chroot "$r" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 CI=true \
      DEBIAN_FRONTEND=noninteractive bash -c "
        set -e
        apt-get update -qq && apt-get install -y -qq --no-install-recommends git ca-certificates >/dev/null
        . /etc/os-release && echo \"Running .ci/run on \$PRETTY_NAME\"
        cd /root/src && bash .ci/run"
' _ "$root"
