#!/usr/bin/env bash
# Installs what the build, the tests and the samples need, when missing.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libgtest-dev qt6-base-dev libgl-dev
          libjpeg62-turbo-dev ffmpeg mkvtoolnix iso-codes nlohmann-json3-dev xvfb xauth
          locales time bc python3 man-db bash-completion)
"$(dirname "$0")/install-packages.sh" "${packages[@]}"

# A locale with a decimal comma for the locale tests.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
