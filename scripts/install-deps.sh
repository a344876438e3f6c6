#!/usr/bin/env bash
# Installs everything the project needs to build, test and run, from Debian 12's packages.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git python3
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
  libqt6opengl6-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev libsqlite3-dev libssl-dev libpq-dev
  # HTTPS tests make their self-signed certificates with the openssl command.
  openssl
  # PostgreSQL's server: the service's tests start throw-away clusters of their own with it.
  postgresql
  xvfb xauth fonts-dejavu-core culmus
  clang-format wrk curl poppler-utils
  # The Debian packages (scripts/package.sh and their test): dpkg-shlibdeps finds their dependencies.
  dpkg-dev
  clang libclang-rt-14-dev
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
