#!/usr/bin/env bash
# Set-up, then the main job on demo data in a temporary folder, with SQLite
# stores (scripts/lib/main-job.sh says what the job does).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/lib/main-job.sh"
build_kestrel

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrel-demo-XXXXXX")
trap 'rm -rf "$work"' EXIT
prepare_installation
main_job "$work/profiles.db" "$work/imported.db"
