#!/usr/bin/env bash
# Installs a configured build into a temporary prefix and builds against that
# install as a host would: examples/ as a CMake project (the shared library),
# every C++ block of README.md with the README's pkg-config line, and the same
# against the static archive. Also checks the shared library's name (SONAME),
# that it exports the host's interface and no internals, and that the CMake
# package names no path outside the prefix but the dependencies' own.
set -euo pipefail
build_dir=${1:-build/release}
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$(mktemp -d)
consumer=$(mktemp -d)
trap 'rm -rf "$prefix" "$consumer"' EXIT
fail() { echo "check-install: FAIL: $*" >&2; exit 1; }

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
if find "$prefix/include" \( -path '*/detail/*' -o -name '_*.h' \) | grep .; then
  echo "check-install: the private headers above were installed" >&2
  exit 1
fi
libdir=$(dirname "$(find "$prefix" -name 'libkorvala.so.*' -type f | head -n 1)")
[[ -f "$libdir/libkorvala.a" && -L "$libdir/libkorvala.so" ]] || fail "libkorvala.a / libkorvala.so missing in $libdir"
soname=$(objdump -p "$libdir/libkorvala.so" | awk '$1 == "SONAME" { print $2 }')
[[ "$soname" == libkorvala.so.1 ]] || fail "SONAME is '$soname', expected libkorvala.so.1"
exported=$(nm -D --defined-only -C "$libdir/libkorvala.so")
grep -q "Korvala::AudioEngine::processAudio" <<<"$exported" || fail "AudioEngine is not exported"
# Internal classes and the dependencies stay hidden (libstdc++'s template
# instantiations and GCC's resolvers of multi-versioned functions are exported
# whatever the visibility).
for internal in "DSPStore::" "Algorithm_BPM::" "FFTManager::" "BlockFeatures::" "Engine::" kiss_fft Sleef_; do
    ! grep -Eq "^[0-9a-f]+ [A-Za-z] $internal" <<<"$exported" || fail "the shared library exports $internal"
done
echo "check-install: libkorvala.so ($soname) exports $(wc -l <<<"$exported") symbols, no internals"
# Relocatable: the package files name the prefix only relative to themselves.
! grep -rq "$prefix\|/usr/lib/x86_64-linux-gnu/libsleef" "$libdir/cmake" "$libdir/pkgconfig" ||
    fail "an installed package file holds an absolute path"

export LD_LIBRARY_PATH="$libdir"
cmake -S "$root/examples" -B "$consumer/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$consumer/cmake" >/dev/null
"$consumer/cmake/minimal_host" >/dev/null
echo "check-install: CMake package consumer built and ran"

export PKG_CONFIG_PATH="$libdir/pkgconfig:${PKG_CONFIG_PATH:-}"
# Every C++ block of the README, built with its own command line.
awk -v dir="$consumer" '/^```cpp$/ { n++; file = dir "/readme_" n ".cpp"; next }
     /^```$/ { file = ""; next } file { print > file }' "$root/README.md"
blocks=("$consumer"/readme_*.cpp)
[[ -f "${blocks[0]}" ]] || fail "no C++ block in README.md"
for block in "${blocks[@]}"; do
    # shellcheck disable=SC2046
    g++ "$block" -o "${block%.cpp}" $(pkg-config --cflags --libs korvala) ||
        fail "README block $(basename "$block") does not build as the README says"
    "${block%.cpp}" >/dev/null || fail "README block $(basename "$block") does not run"
    # shellcheck disable=SC2046
    g++ "$block" -o "${block%.cpp}_static" $(pkg-config --cflags --libs korvala-static) ||
        fail "README block $(basename "$block") does not build against the archive"
    ! ldd "${block%.cpp}_static" | grep -q libkorvala || fail "the static build loads libkorvala.so"
    "${block%.cpp}_static" >/dev/null || fail "README block $(basename "$block") (static) does not run"
done
echo "check-install: ${#blocks[@]} README block(s) built and ran, shared and static"

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
