#!/usr/bin/env bash
# Builds the product again from a copy of the sources in another folder and compares it,
# byte for byte, with the reference build.
set -euo pipefail
source_dir=$1 reference=$2 work=$3

rm -rf "$work"
mkdir -p "$work/elsewhere/sources"
cp -r "$source_dir/CMakeLists.txt" "$source_dir/cmake" "$source_dir/native" "$work/elsewhere/sources/"
cmake -S "$work/elsewhere/sources" -B "$work/elsewhere/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$work/elsewhere/sources/cmake/toolchain-mingw-i686.cmake" >/dev/null
cmake --build "$work/elsewhere/build" --target BiosProviderSetup >/dev/null
if cmp "$reference" "$work/elsewhere/build/bin/BiosProviderSetup.exe"; then
  echo "identical: $reference"
else
  echo "the second build differs from $reference"
  exit 1
fi
