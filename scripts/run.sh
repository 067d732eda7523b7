#!/usr/bin/env bash
# Sets up the machine, builds only what it runs (the plug-in, the host
# stand-in, the pedal demo, the face and editor screenshots), then loads the
# bundle as a host would: describes it and renders a test tone through it,
# saving the audio and the plug-in's state; then drives the pedal link against
# the emulated pedal, printing every frame, and renders a signal through the
# pedal, printing the reported and the measured latency and the levels; then
# draws the pedal face; then
# opens the editor in a host's window and at work against the emulated pedal
# (on a virtual display of its own unless DISPLAY names one; without either
# it stops before building).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

scripts/setup.sh
source scripts/display.sh
if ! pellion_start_virtual_display; then
  echo "run: stopped: the editor's pictures need a display; install xvfb and openbox, or set DISPLAY to one of yours" >&2
  exit 1
fi
scripts/build.sh build/debug -DCMAKE_BUILD_TYPE=Debug -- Pellion pellion-host pellion-pedal-demo pellion-face-shots \
  pellion-editor-shots

host=build/debug/Tools/HostStandIn/pellion-host
bundle=build/debug/Pellion.component/Pellion.so

echo "== The plug-in, as a host sees it"
"$host" describe "$bundle"

echo
echo "== A test tone through the plug-in"
"$host" render "$bundle" --tone 1000 --seconds 2 --rate 48000 --block 512 \
  --out build/debug/pellion-demo.wav --state-out build/debug/pellion-demo.state

echo
echo "== The pedal link and the track's audio through it, against the emulated pedal"
build/debug/Tools/PedalDemo/pellion-pedal-demo

echo
echo "== The pedal face, in every use and channel setting (pictures written to build/debug/face-shots)"
build/debug/Tools/FaceShots/pellion-face-shots build/debug/face-shots

echo
echo "== The editor in a host's window, through the bundle's entry points (pictures written to build/debug/editor-shots)"
mkdir -p build/debug/editor-shots
"$host" screenshot "$bundle" build/debug/editor-shots/host-fresh-instance.png
printf '%s\n' "text bypass Off" "set mixWet 96" "set dacL 110" "render 8" \
  "screenshot build/debug/editor-shots/host-scripted.png" > build/debug/editor-shots/host.script
"$host" automate "$bundle" build/debug/editor-shots/host.script

echo
echo "== The editor at work against the emulated pedal, and every dialog (pictures written to build/debug/editor-shots)"
build/debug/Tools/EditorShots/pellion-editor-shots build/debug/editor-shots
