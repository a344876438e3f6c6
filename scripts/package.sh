#!/usr/bin/env bash
# Builds the Debian packages of the program and of its web service (release preset):
#
#   bash scripts/package.sh
#
#   build/packages/velmora_VERSION_ARCH.deb          velmora, velmora-journal, help pages,
#                                                    desktop entry and icon
#   build/packages/velmora-service_VERSION_ARCH.deb  velmora-service, its sample site and a
#                                                    systemd unit (own user, database in
#                                                    /var/lib/velmora-service, 127.0.0.1:8080)
#
# Install them with `sudo apt install ./build/packages/*.deb`.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs="${VELMORA_JOBS:-$(nproc)}"
cmake --preset release >/dev/null
cmake --build --preset release --target velmora velmora-journal velmora-service -j "$jobs"
# The packages hold only the programs above: the install step builds nothing more.
mkdir -p build/packages
cpack --config build/release/CPackConfig.cmake -B build/packages
rm -rf build/packages/_CPack_Packages
ls -l build/packages/*.deb
