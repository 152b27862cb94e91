#!/usr/bin/env bash
# Builds the Debian package into dist/ (brimlode_VERSION_ARCH.deb), from a
# release build of its own. Install it with: sudo apt-get install ./dist/brimlode_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRIMLODE_TESTS=OFF "${launcher[@]}"
# One job per core: ninja's default runs more than a small machine has.
cmake --build build-package -j "$(nproc)"
mkdir -p dist
rm -f dist/brimlode_*.deb
cpack --config build-package/CPackConfig.cmake -B dist
rm -rf dist/_CPack_Packages
ls -l dist/brimlode_*.deb
if command -v lintian >/dev/null; then
  lintian dist/brimlode_*.deb
fi
