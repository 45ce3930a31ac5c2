#!/usr/bin/env bash
# Saves pictures of the main window at 1280 x 800 and of the settings
# dialog, drawn offscreen by the window tests.
#   scripts/screenshot.sh [folder]      (default: screenshots/)
# GLIMRA_BUILD_DIR picks the build directory (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."

folder=$(realpath -m "${1:-screenshots}")
build_dir=${GLIMRA_BUILD_DIR:-build}
mkdir -p "$folder"

cmake -S . -B "$build_dir" -G Ninja >/dev/null
cmake --build "$build_dir" --target workspace_test_mainwindow >/dev/null
QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 GLIMRA_SCREENSHOT_DIR="$folder" \
  "$build_dir/tests/workspace/workspace_test_mainwindow" \
  firstStartCreatesTheFoldersAndCloseWritesEveryKey layoutFillsTheWindowWithoutOverlaps \
  "settingsDialog:OK stores" >/dev/null 2>&1
ls "$folder"/*.png
