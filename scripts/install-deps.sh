#!/usr/bin/env bash
# Installs what Korvala needs to build, test and benchmark. Idempotent: packages
# already present are left alone. Debian/Ubuntu only (apt); elsewhere it lists
# the packages and stops.
set -euo pipefail

# sox, lame and sndfile-programs write the audio files the command's tests read.
PACKAGES=(
  cmake ninja-build g++ make pkg-config clang clang-tidy libclang-rt-14-dev valgrind
  libkissfft-dev libfftw3-dev libsleef-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libsoxr-dev libcli11-dev nlohmann-json3-dev libfmt-dev libcpp-httplib-dev
  sox libsox-fmt-mp3 lame sndfile-programs
  # oscdump, the independent OSC decoder the network-output test compares with
  liblo-tools
  # the Python module, its tests and its build
  python3-dev pybind11-dev python3-pybind11 python3-numpy python3-pytest
  # korvala live: capture through RtAudio; the headless sound server its test starts
  librtaudio-dev pipewire pipewire-pulse wireplumber pulseaudio-utils dbus-user-session
)
# Extra groups: --with-browser adds Chromium, Node.js and npm for the report's
# front end and its browser test, then fetches the npm packages (setup-web.sh).
# Node.js and npm count as present when their commands exist: a machine may
# carry a newer Node.js whose package already provides npm.
# --with-bench adds the beat tracker the end-to-end benchmark compares against.
WITH_BROWSER=0
for arg in "$@"; do
  case "$arg" in
    --with-browser) WITH_BROWSER=1 ;;
    --with-bench) PACKAGES+=(aubio-tools time) ;;
    *) echo "install-deps: unknown option $arg (known: --with-browser, --with-bench)" >&2; exit 2 ;;
  esac
done
if [[ $WITH_BROWSER -eq 1 ]]; then
  PACKAGES+=(chromium)
  command -v node >/dev/null 2>&1 || PACKAGES+=(nodejs)
  command -v npm >/dev/null 2>&1 || PACKAGES+=(npm)
fi
web_setup() {
  if [[ $WITH_BROWSER -eq 1 ]]; then
    bash "$(dirname "$0")/setup-web.sh"
  fi
}

if ! command -v apt-get >/dev/null 2>&1 || ! command -v dpkg-query >/dev/null 2>&1; then
  echo "install-deps: this script supports Debian/Ubuntu (apt) only." >&2
  echo "install-deps: please install the equivalents of: ${PACKAGES[*]}" >&2
  exit 1
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [[ ${#missing[@]} -eq 0 ]]; then
  web_setup
  exit 0
fi

SUDO=""
if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
  else
    echo "install-deps: need root or sudo to install: ${missing[*]}" >&2
    exit 1
  fi
fi
echo "install-deps: installing ${missing[*]}" >&2
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
web_setup
