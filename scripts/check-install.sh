#!/usr/bin/env bash
# Installs a configured build into a temporary prefix and builds examples/ as a
# separate project against that install (CMake package and pkg-config), proving
# that the installed headers, library and package files are complete.
set -euo pipefail
build_dir=${1:-build/release}
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(mktemp -d)
consumer=$(mktemp -d)
trap 'rm -rf "$prefix" "$consumer"' EXIT

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
if find "$prefix/include" \( -path '*/detail/*' -o -name '_*.h' \) | grep .; then
  echo "check-install: the private headers above were installed" >&2
  exit 1
fi
cmake -S "$root/examples" -B "$consumer/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$consumer/cmake" >/dev/null
"$consumer/cmake/minimal_host" >/dev/null
echo "check-install: CMake package consumer built and ran"

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig:$prefix/lib/x86_64-linux-gnu/pkgconfig:${PKG_CONFIG_PATH:-}"
# shellcheck disable=SC2046
c++ -std=c++17 "$root/examples/minimal_host.cpp" -o "$consumer/minimal_host_pc" \
    $(pkg-config --cflags korvala) $(pkg-config --libs --static korvala)
"$consumer/minimal_host_pc" >/dev/null
echo "check-install: pkg-config consumer built and ran"

# The C library and the Python module, as installed.
c_library=$(find "$prefix" -name 'libkorvala_c.so' | head -n 1)
cat > "$consumer/c_host.c" <<'C'
#include <korvala/capi/korvala.h>
int main(void) {
    korvala_engine* engine = NULL;
    const korvala_status status = korvala_engine_create(&engine);
    korvala_engine_destroy(&engine);
    return status == KORVALA_OK && engine == NULL ? 0 : 1;
}
C
cc -std=c99 -Wall -Werror "$consumer/c_host.c" -I"$prefix/include" "$c_library" \
   -Wl,-rpath,"$(dirname "$c_library")" -o "$consumer/c_host"
"$consumer/c_host"
echo "check-install: C consumer built and ran"
python_package=$(find "$prefix" -path '*-packages/korvala/__init__.py' | head -n 1)
PYTHONPATH=$(dirname "$(dirname "$python_package")") /usr/bin/python3 -c \
  'import korvala, numpy; assert len(korvala.analyze(numpy.zeros(44100))["frame"]) == 60'
echo "check-install: Python module imported from the install and ran"
