#!/usr/bin/env bash
# Installs the distribution packages that a job needs and this machine lacks
# (Debian 12 or newer, Ubuntu 22.04 or newer), with sudo when not root, and
# says what it installs. Usage: scripts/install-packages.sh GROUP...
#
#   host    build the library and the ilscalc host, draw plots
#   tests   everything of host, plus GoogleTest for the test programs and
#           NEC-2 (nec2c), the independent reference solver of tests/nec
#
# To add a group or a package, add a line to PACKAGES below:
#   GROUP PACKAGE PROBE
# PROBE is a shell test that succeeds when the package is already there; a
# group named in a line's first field is installed with `GROUP` and with every
# group that lists it in INCLUDES.
set -euo pipefail

PACKAGES='
host  cmake         command -v cmake
host  g++           command -v g++
host  make          command -v make
host  binutils      command -v nm
host  gnuplot-nox   command -v gnuplot
host  libhwy-dev    test -f /usr/include/hwy/highway.h && ls /usr/lib/*/cmake/hwy/hwy-config.cmake
host  libtomlplusplus-dev  test -f /usr/include/toml++/toml.h
tests libgtest-dev  test -f /usr/include/gtest/gtest.h && ls /usr/lib/*/cmake/GTest/GTestConfig.cmake
tests nec2c         command -v nec2c
tests libbenchmark-dev  test -f /usr/include/benchmark/benchmark.h
'
# A group and the groups it takes in as well.
INCLUDES='
tests host
'

if [ $# -eq 0 ]; then
  sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'
  exit 1
fi

groups=()
for g in "$@"; do
  groups+=("$g")
  while read -r name more; do
    [ "$name" = "$g" ] && groups+=($more)
  done <<<"$INCLUDES"
done

need=()
known=0
while read -r group package probe; do
  [ -n "${group:-}" ] || continue
  for g in "${groups[@]}"; do
    if [ "$g" = "$group" ]; then
      known=1
      bash -c "$probe" >/dev/null 2>&1 || need+=("$package")
    fi
  done
done <<<"$PACKAGES"
if [ "$known" -eq 0 ]; then
  echo "install-packages: unknown group(s): $*" >&2
  exit 1
fi
if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

if ! command -v apt-get >/dev/null; then
  echo "install-packages: please install these packages with your system's package manager: ${need[*]}" >&2
  exit 1
fi
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "install-packages: missing ${need[*]}; run this as root or install sudo" >&2
    exit 1
  fi
  sudo=(sudo)
fi
echo "install-packages: installing ${need[*]}${sudo:+ (with sudo)}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${need[@]}"
