#!/usr/bin/env bash
# The Windows step of CI: cross-build the DLLs and tools with mingw-w64, run the tests under wine,
# make the zip package, build and run a host against it under wine, and run the Linux plcsim
# against plchost.exe. Needs the "default" build for the last part.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS

bash scripts/install-deps.sh --windows
cmake --preset mingw
cmake --build --preset mingw
ctest --preset mingw

(cd build/mingw && cpack)
zip=$(ls build/mingw/vexplc-*-win64.zip)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
(cd "$prefix" && cmake -E tar xf "$OLDPWD/$zip")
for dir in bin lib include; do
  [[ -d "$prefix/$dir" ]] || { echo "windows-ci.sh: $zip has no $dir/" >&2; exit 1; }
done

cmake -S tests/package -B build/mingw-package -G Ninja \
  --toolchain "$PWD/cmake/toolchains/mingw-w64-x86_64.cmake" -DCMAKE_PREFIX_PATH="$prefix"
cmake --build build/mingw-package
cp "$prefix"/bin/*.dll build/mingw-package/
WINEPREFIX="$PWD/build/mingw/wineprefix" sh cmake/toolchains/wine-run.sh \
  build/mingw-package/vexplc_host_example.exe examples/common.json

if [[ -x build/default/tools/plcsim/plcsim ]]; then
  bash scripts/interop-wine.sh 10
fi
echo "windows-ci.sh: Windows step took $((SECONDS - start)) s"
