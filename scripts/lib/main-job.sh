# The main job on demo data, shared by scripts/demo.sh (SQLite stores) and
# scripts/demo-postgres.sh (stores on a PostgreSQL server): the build, the
# installation the import needs, the job itself on two store locations, the
# chain moved between any two stores, and the comparison of two packs.
# Sourced, not run. The caller sets `root` (the source tree) and `work` (an
# empty temporary folder it removes on exit) and runs with `set -euo pipefail`.

# Installs what is missing, builds (Release) and sets `k` to the program.
build_kestrel() {
  "$root/scripts/setup.sh" "$root/build/release"
  k="$root/build/release/kestrel"
  "$k" --version
}

# The installation folder that importing needs, recorded in a registry file
# of this run, never in the user's own.
prepare_installation() {
  export KESTREL_REGISTRY="$work/registry.ini"
  "$k" setup --install-dir "$work/install"
}

# same_pack FIRST AGAIN WHAT: whether the pack AGAIN holds the files of FIRST
# with the same bytes, bar the manifest's dates and times (and so the
# manifest's own sum in ExportMR.sums); says so, naming WHAT, and shows the
# differences when it does not.
same_pack() {
  local first=$1 again=$2 what=$3
  mask() {
    sed -E -e 's/[0-9]{4}-[0-9]{2}-[0-9]{2} +[0-9]{2}:[0-9]{2}:[0-9]{2}/<date and time>/g' \
      -e 's/^[0-9a-f]+( .* ExportMR\.log\r?)$/<sum>\1/' "$1"
  }
  if diff -r -q -x ExportMR.log -x ExportMR.sums "$first" "$again" >/dev/null &&
    diff -q <(mask "$first/ExportMR.log") <(mask "$again/ExportMR.log") >/dev/null &&
    diff -q <(mask "$first/ExportMR.sums") <(mask "$again/ExportMR.sums") >/dev/null; then
    echo "$what, the chain pack is identical (manifest dates and times aside)."
  else
    echo "$what, the chain pack differs:" >&2
    diff -r "$first" "$again" >&2 || true
    return 1
  fi
}

# export_chain STORE FOLDER: exports the grandchild of the demo chain
# (profile 30) with the two profiles it is based on and their revision
# history into FOLDER; prints the pack's path.
export_chain() {
  mkdir -p "$2"
  "$k" export --store "$1" --profile 30 --root "$2" --revisions
}

# main_job DEMO IMPORTED: the demo data in the new store DEMO, the
# grandchild exported as a single profile and as a chain, the chain checked
# against and imported into the new store IMPORTED (which receives DEMO's
# codes and users), both stores' row counts, and the chain exported again
# from IMPORTED, which must equal the first pack.
main_job() {
  local demo=$1 imported=$2
  # A profile store with the demo data: two applications, a chain of three
  # profiles with their rules, revisions, libraries, users and codes.
  "$k" demo-store "$demo"

  # The grandchild of the demo chain (profile 30) exported twice: as a single
  # profile, the rules it inherits folded in, and with the two profiles it is
  # based on, each under its own number; both with their revision history.
  mkdir -p "$work/packs"
  local single chain again
  single=$("$k" export --store "$demo" --profile 30 --root "$work/packs" --single --traverse-parent --revisions)
  echo
  echo "Single-profile pack $single ($(head -n 1 "$single/ExportMR.log" | tr -d '\r')):"
  ls -l "$single"
  chain=$(export_chain "$demo" "$work/packs")
  echo
  echo "Profile-chain pack $chain ($(head -n 1 "$chain/ExportMR.log" | tr -d '\r')):"
  ls -l "$chain"

  # A second store with the demo store's codes and users receives the chain:
  # the pack's profiles and the import proposed for them, the proposal checked
  # against the store, then the import.
  "$k" init-store "$imported" --shared-from "$demo"
  echo
  "$k" show "$chain" --store "$imported"
  echo
  "$k" verify "$chain" --store "$imported"
  echo
  "$k" import "$chain" --store "$imported" --user demo

  # Both stores list their tables in the same order. The demo store's rules in
  # development VRCs travel only in packs made for synchronisation (--sync).
  echo
  echo "Rows per table (demo store, imported store):"
  paste <("$k" counts --store "$demo") <("$k" counts --store "$imported") |
    awk '{ printf "%-9s %8s %8s\n", $1, $2, $4 }'
  echo "(The demo store's rules in development VRCs are left out of packs not made with --sync.)"

  # Exported again from the imported store, the pack is the same, bar the
  # manifest's dates and times.
  again=$(export_chain "$imported" "$work/again")
  echo
  same_pack "$chain" "$again" "Exported again from the imported store"
}

# move_chain FROM INTO WHAT: the chain exported from the demo store FROM,
# imported into the new store INTO (which receives FROM's codes and users),
# exported again from INTO, must equal the first pack; WHAT names the trip.
move_chain() {
  local from=$1 into=$2 what=$3 first again
  local folder
  folder=$(mktemp -d "$work/trip-XXXXXX")
  first=$(export_chain "$from" "$folder/first")
  "$k" init-store "$into" --shared-from "$from" >/dev/null
  "$k" import "$first" --store "$into" --user demo >/dev/null
  again=$(export_chain "$into" "$folder/again")
  same_pack "$first" "$again" "$what"
}
