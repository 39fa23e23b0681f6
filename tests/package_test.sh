#!/usr/bin/env bash
# The packages as a user receives them: scripts/package on this build (with a
# stand-in for the Windows cross build), then the .deb's files and control
# fields, its programs run from the unpacked tree against each other, and the
# Windows archive's contents.
# Usage: tests/package_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src=$1
build=$2
tmp=$(mktemp -d)
sim_pid=
cleanup() {
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The Windows build leaves programs and other executables in DIR/bin; only
# the programs go into the archive.
cat >"$tmp/build-windows" <<'STANDIN'
#!/bin/sh
mkdir -p "$1/bin"
printf 'MZ cli' >"$1/bin/nerax-lt-cli.exe"
printf 'MZ test' >"$1/bin/test_frame.exe"
STANDIN
chmod +x "$tmp/build-windows"

BUILD_DIR=$build WINDOWS_BUILD_DIR=$tmp/win NERAX_BUILD_WINDOWS=$tmp/build-windows \
  "$src/scripts/package" --no-build "$tmp/out" >"$tmp/written" || fail "scripts/package failed"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version"
deb=$tmp/out/nerax-lt_${version}_$(dpkg --print-architecture).deb
zip=$tmp/out/nerax-lt-${version}-windows-x64.zip
printf '%s\n' "$deb" "$zip" | cmp -s - "$tmp/written" || fail "written: $(cat "$tmp/written")"

# ---- the .deb's files: path and, for links, their target
dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' >"$tmp/listing"
# A build without the Qt window packages the other two programs only.
window=false
[ ! -x "$build/bin/nerax-lt" ] || window=true
programs="nerax-lt-cli nerax-lt-sim"
! $window || programs="$programs nerax-lt"
expected=(
  "./etc/nerax-lt/__uet__port.txt"
  "./usr/lib/nerax-lt/__uet__port.txt -> /etc/nerax-lt/__uet__port.txt"
  "./usr/lib/udev/rules.d/99-nerax-lt.rules"
  "./usr/share/man/man1/nerax-lt-cli.1.gz"
  "./usr/share/man/man1/nerax-lt-sim.1.gz"
  "./usr/share/doc/nerax-lt/examples/nerax-lt.INI"
)
if $window; then
  expected+=(
    "./usr/share/applications/nerax-lt.desktop"
    "./usr/share/icons/hicolor/scalable/apps/nerax-lt.svg"
    "./usr/share/icons/hicolor/16x16/apps/nerax-lt.png"
    "./usr/share/icons/hicolor/48x48/apps/nerax-lt.png"
    "./usr/share/icons/hicolor/256x256/apps/nerax-lt.png"
  )
fi
for p in $programs; do
  expected+=("./usr/bin/$p -> ../lib/nerax-lt/$p" "./usr/lib/nerax-lt/$p")
done
for entry in "${expected[@]}"; do
  grep -qxF "$entry" "$tmp/listing" || fail "the package lacks \"$entry\"; it holds:
$(cat "$tmp/listing")"
done

# ---- control fields and maintainer scripts
[ "$(dpkg-deb -f "$deb" Package)" = nerax-lt ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
depends=$(dpkg-deb -f "$deb" Depends)
needed="libc6 libstdc++6"
! $window || needed="$needed libqt6widgets6"
echo "$depends" | tr ',|' '\n\n' | sed 's/^ *//; s/[ (].*//' >"$tmp/depends"
for lib in $needed; do
  grep -qx "$lib" "$tmp/depends" || fail "Depends lacks $lib: $depends"
done
dpkg-deb -I "$deb" conffiles | grep -qxF /etc/nerax-lt/__uet__port.txt || fail "pattern file is no conffile"
dpkg-deb -I "$deb" postinst | grep -q 'usermod -aG dialout' || fail "postinst has no dialout note"

# ---- the unpacked programs, started through their links on the PATH
root=$tmp/root
dpkg-deb -x "$deb" "$root"
bin=$root/usr/bin
[ "$(readlink -f "$bin/nerax-lt-cli")" = "$root/usr/lib/nerax-lt/nerax-lt-cli" ] || fail "cli link"
! $window || grep -qx 'Categories=Utility;Electronics;' "$root/usr/share/applications/nerax-lt.desktop" ||
  fail "desktop categories"
zcat "$root/usr/share/man/man1/nerax-lt-cli.1.gz" | grep -qF ".TH NERAX-LT-CLI 1 \"\" \"nerax-lt $version\"" ||
  fail "man page version"

status=0
"$bin/nerax-lt-cli" --help >"$tmp/out.txt" 2>"$tmp/err.txt" || status=$?
[ $status = 2 ] || fail "nerax-lt-cli --help: exit $status"
grep -q '^usage: nerax-lt-cli COMMAND' "$tmp/err.txt" || fail "nerax-lt-cli --help: $(cat "$tmp/err.txt")"
status=0
"$bin/nerax-lt-sim" --no-such-option >/dev/null 2>&1 || status=$?
[ $status = 2 ] || fail "nerax-lt-sim with a bad option: exit $status"

# The packaged simulator and command line together.
export NERAX_LT_PORTS=$tmp/ports
mkfifo "$tmp/announce"
"$bin/nerax-lt-sim" >"$tmp/announce" 2>"$tmp/sim.err" &
sim_pid=$!
read -r com device <"$tmp/announce" || fail "the simulator announced nothing: $(cat "$tmp/sim.err")"
[[ $com == COM* ]] || fail "announce line: $com $device"
# The sample settings, in the working directory, read without complaint.
mkdir "$tmp/work"
cp "$root/usr/share/doc/nerax-lt/examples/nerax-lt.INI" "$tmp/work/"
(cd "$tmp/work" && "$bin/nerax-lt-cli" info --port "${com#COM}") >"$tmp/info.txt" 2>&1 ||
  fail "info: $(cat "$tmp/info.txt")"
[ "$(head -1 "$tmp/info.txt")" = '>>Connected' ] || fail "info: $(cat "$tmp/info.txt")"

# ---- cmake --install over an earlier installation keeps the site's patterns
for prefix in /usr /opt/nerax; do
  dest=$tmp/dest$prefix
  pattern=$dest/etc/nerax-lt/__uet__port.txt
  [ $prefix = /usr ] || pattern=$dest$prefix/lib/nerax-lt/__uet__port.txt
  DESTDIR=$tmp/dest$prefix cmake --install "$build" --prefix $prefix >/dev/null
  cmp -s "$src/packaging/__uet__port.txt" "$pattern" || fail "$prefix: no pattern file $pattern"
  folder_file=$dest$prefix/lib/nerax-lt/__uet__port.txt
  [ -e "$folder_file" ] || [ -L "$folder_file" ] || fail "$prefix: the program folder has no pattern file"
  echo "SITE PORT" >"$pattern"
  DESTDIR=$tmp/dest$prefix cmake --install "$build" --prefix $prefix >/dev/null
  [ "$(cat "$pattern")" = "SITE PORT" ] || fail "$prefix: a second installation replaced $pattern"
done

# ---- the Windows archive
cmake -E tar tf "$zip" | sed 's:/$::' | sort >"$tmp/zip-listing"
printf '%s\n' "nerax-lt-$version" "nerax-lt-$version/README.txt" "nerax-lt-$version/__uet__port.txt" \
  "nerax-lt-$version/nerax-lt-cli.exe" "nerax-lt-$version/nerax-lt.INI" | sort >"$tmp/zip-expected"
diff "$tmp/zip-expected" "$tmp/zip-listing" >&2 || fail "Windows archive contents"
(cd "$tmp" && cmake -E tar xf "$zip")
readme=$tmp/nerax-lt-$version/README.txt
head -1 "$readme" | grep -qF "NERAX LT service tool $version for Windows" || fail "README.txt version"
[ "$(grep -c $'\r$' "$readme")" = "$(wc -l <"$readme")" ] || fail "README.txt lines end without CR LF"
# Only the command line was built: the README speaks of no window.
! grep -q 'nerax-lt\.exe\|@WINDOW@' "$readme" || fail "README.txt without the window: $(cat "$readme")"
echo "package test passed: $(basename "$deb"), $(basename "$zip")"
