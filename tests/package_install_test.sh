#!/usr/bin/env bash
# The Debian package, installed into a scratch root (dpkg-deb -x: nothing on the system
# changes) and started from there against the stand-ins: the per-user data folder is
# made from the shipped tree on first start and used for the databases and the
# window's state, and the shipped tree stays as it was installed.
# Usage: package_install_test.sh BUILD_DIR
set -uo pipefail
build=$(cd "${1:?usage: package_install_test.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
sim=""
cleanup() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -B "$work/pkg" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/pkg/*.deb 2>/dev/null | head -n 1)
[ -f "$deb" ] || fail "no package was made"
dpkg-deb -x "$deb" "$work/root" || fail "dpkg-deb -x"
control=$(dpkg-deb -f "$deb" Package Version Depends)
echo "$control"
needed_lines=("Package: vantrell" "Depends: .*libcurl4" "Depends: .*libsqlite3-0")
if [ -e "$build/bin/vantrell" ]; then
    needed_lines+=("Depends: .*fonts-wqy-microhei" "Depends: .*libqt6webenginewidgets6")
fi
for needed in "${needed_lines[@]}"; do
    grep -qE "$needed" <<<"$control" || fail "control lacks $needed"
done

root="$work/root"
for f in usr/bin/vantrell-cli usr/bin/vantrell-sim usr/share/vantrell/Data/Setting.ini \
    usr/share/vantrell/Data/Hosts.ini "usr/share/vantrell/Data/File/模板.html" \
    usr/share/applications/vantrell.desktop usr/share/icons/hicolor/256x256/apps/vantrell.png; do
    [ -e "$root/$f" ] || fail "the package lacks $f"
done
if [ -e "$build/bin/vantrell" ]; then
    [ -x "$root/usr/bin/vantrell" ] || fail "the package lacks usr/bin/vantrell"
fi
grep -q '^Name\[zh_CN\]=' "$root/usr/share/applications/vantrell.desktop" || fail "no Chinese name"
shipped_before=$(cd "$root/usr/share/vantrell" && find . -type f -exec md5sum {} + | sort)

export XDG_DATA_HOME="$work/xdg" HOME="$work/home" no_proxy=127.0.0.1 NO_PROXY=127.0.0.1
user="$XDG_DATA_HOME/vantrell"

# First start: no network needed, the per-user folder appears.
"$root/usr/bin/vantrell-cli" price --market-price 39.80 --sell-price 35 >"$work/price.out" 2>&1 ||
    { cat "$work/price.out"; fail "price from the installed copy"; }
[ -f "$user/Data/Setting.ini" ] || fail "no per-user Data/Setting.ini after the first start"
[ -f "$user/.shipped" ] || fail "no record of the shipped files"
cmp -s "$user/Data/File/模板.html" "$root/usr/share/vantrell/Data/File/模板.html" ||
    fail "the template was not copied whole"

# The stand-ins, from the installed copy too; the seller's own Hosts.ini points at them.
"$root/usr/bin/vantrell-sim" --source-port 0 --market-port 0 >"$work/sim.log" 2>&1 &
sim=$!
for _ in $(seq 1 100); do grep -q ready "$work/sim.log" && break; sleep 0.1; done
origins=($(grep -oE 'http://127\.0\.0\.1:[0-9]+' "$work/sim.log"))
[ ${#origins[@]} -ge 2 ] || { cat "$work/sim.log"; fail "the stand-ins did not start"; }
bash "$(dirname "$0")/../scripts/stand-in-hosts" "${origins[0]}" "${origins[1]}" >"$user/Data/Hosts.ini"
printf 'demo123' >"$work/password"
"$root/usr/bin/vantrell-cli" login --nick vantrell_demo --password-file "$work/password" >"$work/login.out" 2>&1 ||
    { cat "$work/login.out"; fail "login from the installed copy"; }
[ -f "$user/DataBase/Filter.db" ] || fail "Filter.db is not in the per-user folder"
ls "$user"/DataBase/*demo*.db >/dev/null 2>&1 || { ls -R "$user"; fail "no account database in the per-user folder"; }

# The window from the installed copy paints and keeps its state in the per-user folder.
if [ -x "$root/usr/bin/vantrell" ]; then
    mkdir -p "$build/screenshots"
    # Chromium refuses to run as root without these (the tests run as root).
    QT_QPA_PLATFORM=offscreen QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" "$root/usr/bin/vantrell" --screenshot "$build/screenshots/installed-window.png" \
        >"$work/window.out" 2>&1 || { cat "$work/window.out"; fail "the installed window did not open"; }
    [ -s "$build/screenshots/installed-window.png" ] || fail "no screenshot of the installed window"
    [ -f "$user/Data/Window.ini" ] || fail "the window state is not kept in the per-user folder"
fi

shipped_after=$(cd "$root/usr/share/vantrell" && find . -type f -exec md5sum {} + | sort)
[ "$shipped_before" = "$shipped_after" ] || fail "the installed tree was written to"
echo "package_install_test: OK ($(basename "$deb"))"
