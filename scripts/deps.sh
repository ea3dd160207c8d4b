#!/usr/bin/env bash
# Installs the Debian packages korvel builds, tests and runs with. Idempotent:
# it asks apt only for what is missing, and refreshes the package lists only then.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev librapidxml-dev libgumbo-dev libcpp-httplib-dev nlohmann-json3-dev
  libpng-dev libsquish-dev libdeflate-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-pil imagemagick
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "deps: installing ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
