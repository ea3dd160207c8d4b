#!/usr/bin/env bash
# Installs the Debian packages korvel builds, tests and runs with. Idempotent:
# it asks apt only for what is missing, and refreshes the package lists only then.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  zlib1g-dev librapidxml-dev libgumbo-dev libcpp-httplib-dev nlohmann-json3-dev
  libpng-dev libsquish-dev libdeflate-dev libtinygltf-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-pil imagemagick
  chromium nodejs fonts-noto-cjk
)
# Debian's nodejs comes without npm; a Node.js that brings its own keeps it.
command -v npm >/dev/null 2>&1 || packages+=(npm)

# The browser tests' npm packages, pinned by their lock file, installed again
# whenever the lock file is newer than what was installed.
install_browser_test_packages() {
  local dir
  dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tests/browser"
  if [ ! -f "$dir/node_modules/.package-lock.json" ] ||
     [ "$dir/package-lock.json" -nt "$dir/node_modules/.package-lock.json" ]; then
    echo "deps: npm ci in tests/browser" >&2
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
  fi
}

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  install_browser_test_packages
  exit 0
fi

echo "deps: installing ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
install_browser_test_packages
