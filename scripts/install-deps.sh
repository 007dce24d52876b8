#!/usr/bin/env bash
# Installs every system package Quellor needs to build, run and test.
# This is the one place that lists them. Packages already installed are skipped.
set -euo pipefail

packages=(
  # compiler and build
  g++ cmake ninja-build make pkg-config
  # desktop program (Widgets, Gui, Core, Test; uic, moc, rcc)
  qt6-base-dev qt6-base-dev-tools fonts-dejavu-core
  # synthesizer, General MIDI sounds, MIDI output ports
  libfluidsynth-dev timgm6mb-soundfont librtmidi-dev libasound2-dev
  # the phone preview's synthesizer (Sonivox EAS, as on Android phones) and its sound output
  libsonivox-dev libsdl2-dev
  # tests, benchmarks, fuzzing
  libgtest-dev libgmock-dev libbenchmark-dev clang
  # source layout check (.ci/run)
  clang-format git
  # real test songs and an independent MIDI reader for the tests
  openttd-openmsx midicsv
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
