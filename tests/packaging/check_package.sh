#!/bin/sh
# Builds the Debian package from a finished build tree and checks it: control fields, the
# files it installs, and the desktop entry and AppStream metadata inside it.
# Usage: check_package.sh <build folder>
set -eu
build=$1

for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed (scripts/install-deps.sh installs it)"
        exit 77
    fi
done

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1; then
    cat "$out/cpack.log"
    exit 1
fi
deb=$(ls "$out"/zorvane_*.deb)
echo "built $(basename "$deb")"

fail=0
check() { # description, then a command that must succeed
    what=$1
    shift
    if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}

dpkg-deb -I "$deb" >"$out/info"
dpkg-deb -c "$deb" | awk '{print $6}' >"$out/files"
cat "$out/info" "$out/files"

field() { dpkg-deb -f "$deb" "$1"; }
check "package name" test "$(field Package)" = zorvane
check "version" test "$(field Version)" = "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
check "architecture" test "$(field Architecture)" = "$(dpkg --print-architecture)"
for dep in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6xml6 qt6-qpa-plugins; do
    check "depends on $dep" sh -c "dpkg-deb -f '$deb' Depends | tr ',' '\n' | grep -q '^ *$dep\\b'"
done
for f in ./usr/bin/zorvane ./usr/bin/zorvane-sim \
    ./usr/share/applications/org.zorvane.Zorvane.desktop \
    ./usr/share/icons/hicolor/scalable/apps/org.zorvane.Zorvane.svg \
    ./usr/share/metainfo/org.zorvane.Zorvane.metainfo.xml; do
    check "holds $f" grep -qx "$f" "$out/files"
done
check "udev rule as an example only" grep -qx ./usr/share/doc/zorvane/examples/70-zorvane-modemmanager-ignore.rules "$out/files"
check "no active udev rule, test or benchmark" sh -c "! grep -E '/udev/|tst_|bench_|probe_time|port_holder' '$out/files'"

dpkg-deb -x "$deb" "$out/root"
check "desktop entry valid" desktop-file-validate "$out/root/usr/share/applications/org.zorvane.Zorvane.desktop"
check "metainfo valid" appstreamcli validate --no-net \
    "$out/root/usr/share/metainfo/org.zorvane.Zorvane.metainfo.xml"
check "program stripped and runs" sh -c "'$out/root/usr/bin/zorvane' --version | grep -q '^Zorvane '"
exit $fail
