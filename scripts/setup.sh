#!/usr/bin/env bash
# Installs the Debian packages StemScan needs to build, test and run; does nothing when they
# are all present. Works as root and through sudo.
set -euo pipefail

# libopencv-contrib-dev brings the thinning of seedling shapes (libopencv-dev depends on it in
# Debian 12; it is named for clarity); libboost-math-dev Student's t distribution for the
# experiment's statistics; libexiv2-dev the photographs' EXIF times; xmllint checks the growth
# plot; libcairo2-dev draws the figures to SVG, PDF and PNG from the same code; poppler-utils
# (pdfinfo) lets the tests open the PDF figures.
packages=(cmake g++ make pkg-config libopencv-dev libopencv-contrib-dev libboost-math-dev
  libexiv2-dev libcairo2-dev libgtest-dev xvfb xdotool libxml2-utils poppler-utils)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
