#!/usr/bin/env bash
# Installs what is missing, builds Sorrelquint optimised in build-package/,
# makes its Debian package and leaves it in the current folder as
# sorrelquint_VERSION_ARCH.deb (install it with: apt install ./sorrelquint_*.deb).
# Then checks the desktop entry with desktop-file-validate and the package
# with lintian, each skipped with a message where the tool is missing; exits
# non-zero when either finds an error.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$(pwd)
bash "$top/tools/install-deps.sh"
build="$top/build-package"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSQ_TESTS=OFF -DSQ_BENCH=OFF
cmake --build "$build"
rm -f "$build"/sorrelquint_*.deb
(cd "$build" && cpack -G DEB)
debs=("$build"/sorrelquint_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "package.sh: cpack made no single package"; exit 1; }
deb="$out/$(basename "${debs[0]}")"
cp "${debs[0]}" "$deb"

bash "$top/tools/check-package.sh" "$deb" "$top/packaging/sorrelquint.desktop"
echo "package: $deb"
