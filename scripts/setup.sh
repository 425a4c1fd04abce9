#!/usr/bin/env bash
# Installs what is missing on a Debian 12 machine, then configures and builds into build/.
# Used by start.sh and test.sh; safe to run again (it only installs what is absent).
#   --install-only   install, do not build (the sanitizer and fuzz scripts build elsewhere)
#   --fuzz           also install clang and its libFuzzer runtime (scripts/fuzz.sh)
# Any other arguments go to CMake.
set -euo pipefail
cd "$(dirname "$0")/.."

install_only=false
packages=(g++ cmake make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          qt6-base-dev qt6-charts-dev qt6-svg-dev libgl-dev nlohmann-json3-dev libeigen3-dev
          libcli11-dev libtbb-dev python3 parallel)
while [ $# -gt 0 ]; do
  case "$1" in
    --install-only) install_only=true ;;
    # libclang_rt.fuzzer-x86_64.a of clang 14 comes in libclang-rt-14-dev.
    --fuzz) packages+=(clang libclang-rt-14-dev) ;;
    *) break ;;
  esac
  shift
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q "${missing[@]}"
fi
$install_only && exit 0

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release "$@"
cmake --build build -j2
