#!/usr/bin/env bash
# Installs, only where missing, every Debian package the build, the tests and the
# desktop front end need. Safe to run again and again.
set -euo pipefail

packages=(
    build-essential g++ cmake ninja-build pkg-config clang-format ccache
    libcurl4-openssl-dev libssl-dev
    libboost-regex-dev
    libsqlite3-dev
    libxlsxwriter-dev
    qt6-base-dev qt6-webengine-dev
    libcpp-httplib-dev
    libgtest-dev libgmock-dev
    libcli11-dev
    nlohmann-json3-dev
    xvfb xauth
    fonts-wqy-microhei
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
