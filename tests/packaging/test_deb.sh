#!/usr/bin/env bash
# The Debian package: built from the build folder, lintian finds no error or warning, and it
# installs into a scratch root with dpkg, where qnverify runs and man finds its page, then purges
# without leaving a file behind.
#   test_deb.sh BUILD_DIR
set -euo pipefail
build_dir=$(cd "$1" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/quarnell-verify_*.deb)

# The deep check decodes FLAC with the system's libFLAC: the package must pull it in.
dpkg-deb -f "$deb" Depends | grep -q 'libflac12' || fail "no libflac12 among the dependencies: $(dpkg-deb -f "$deb" Depends)"

command -v lintian >/dev/null || fail "lintian is not installed (scripts/lib/setup.sh installs it)"
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian"; }

# The scratch root: an empty dpkg database. The libraries come from the build machine, so the
# package's dependencies are not looked for in it.
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg_root() {
  local extra=()
  [ "$(id -u)" -ne 0 ] && extra+=(--force-not-root)
  dpkg --root="$root" --log=/dev/null --force-depends "${extra[@]}" "$@"
}
before=$(cd "$root" && find . | LC_ALL=C sort)

dpkg_root -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i"; }
version=$("$root/usr/bin/qnverify" --version) || fail "qnverify --version"
case $version in *Rev37*) ;; *) fail "version text: $version" ;; esac
page=$(man -M "$root/usr/share/man" -w qnverify) || fail "man -w qnverify"
[ "$page" = "$root/usr/share/man/man1/qnverify.1.gz" ] || fail "man found $page"
[ -f "$root/usr/share/doc/quarnell-verify/copyright" ] || fail "no copyright file"
[ -f "$root/usr/share/bash-completion/completions/qnverify" ] || fail "no bash completion"
# The window installed there writes nothing into the users' homes: the package holds the desktop
# entry, the right-click entries, the .qn type and the icon for everyone.
for file in applications/quarnell-verify.desktop kio/servicemenus/quarnell-verify.desktop \
            nemo/actions/quarnell-verify.nemo_action mime/packages/quarnell-verify.xml \
            icons/hicolor/scalable/apps/quarnell-verify.svg icons/hicolor/48x48/apps/quarnell-verify.png; do
  [ -f "$root/usr/share/$file" ] || fail "not installed: /usr/share/$file"
done

dpkg_root --purge quarnell-verify >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg --purge"; }
left=$(cd "$root" && find . -path ./var/lib/dpkg -prune -o -print | LC_ALL=C sort)
expected=$(echo "$before" | grep -v '^\./var/lib/dpkg\(/\|$\)')
[ "$left" = "$expected" ] || fail "left behind after purge: $(comm -13 <(echo "$expected") <(echo "$left"))"
echo "package: OK ($(basename "$deb"), $(stat -c %s "$deb") bytes)"
