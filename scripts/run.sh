#!/usr/bin/env bash
# Sets up the machine, builds the plug-in and the host stand-in, then loads the
# bundle as a host would: describes it and renders a test tone through it; then
# drives the pedal link against the emulated pedal, printing every frame.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

scripts/setup.sh
scripts/build.sh build/debug -DCMAKE_BUILD_TYPE=Debug

host=build/debug/Tools/HostStandIn/pellion-host
bundle=build/debug/Pellion.component/Pellion.so

"$host" describe "$bundle"
echo
"$host" render "$bundle" --tone 1000 --seconds 2 --rate 48000 --block 512 --out build/debug/pellion-demo.wav

echo
echo "== The pedal link, against the emulated pedal"
build/debug/Tools/PedalDemo/pellion-pedal-demo

echo
echo "== The pedal face, in every use and channel setting (pictures written to build/debug/face-shots)"
build/debug/Tools/FaceShots/pellion-face-shots build/debug/face-shots
