#!/usr/bin/env bash
# Set-up, then the main job on demo data in a temporary folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" "$root/build/release"
k="$root/build/release/kestrel"
"$k" --version
echo "The store and pack commands arrive with the next changes."
