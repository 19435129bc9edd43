#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, only those that are missing.
set -euo pipefail

packages=(cmake make g++ pkg-config libsimdjson-dev libutf8proc-dev libxxhash-dev
          libssl-dev libgtest-dev libbenchmark-dev unicode-data clang libclang-rt-14-dev libboost-dev
          nghttp2-client openssl wrk curl libpango1.0-dev libcairo2-dev libpng-dev fonts-inter
          fonts-noto-color-emoji fonts-noto-core fonts-noto-cjk libcli11-dev libnghttp2-dev "$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
