# shellcheck shell=bash
# A throwaway wine prefix with one persistent server, for the scripts that run Windows programs:
# source it, call start_wine, and stop_wine removes the prefix and the server's socket folder.

start_wine() {
  export WINEDEBUG=-all                      # no debug chatter mixed into the tool's console
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"  # no .NET or browser engine offered, no desktop menu entries
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/mirtak-wine.XXXXXX")
  export WINEPREFIX
  # One server for every run, and the prefix set up once before anything is timed.
  wineserver -p
  wine cmd.exe /c exit 0 >/dev/null 2>&1 || { echo "wine does not start" >&2; return 1; }
}

stop_wine() {
  [[ -n ${WINEPREFIX:-} ]] || return 0
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  # The server's socket folder, named after the prefix's device and inode, outlives the server.
  local server folder
  server=$(stat -c '%d %i' "$WINEPREFIX" | { read -r dev ino; printf 'server-%x-%x' "$dev" "$ino"; })
  for folder in /tmp/wine-*/"$server"; do
    [[ -d $folder ]] || continue
    rm -rf "$folder"
    rmdir "$(dirname "$folder")" 2>/dev/null || true
  done
  rm -rf "$WINEPREFIX"
  unset WINEPREFIX
}
