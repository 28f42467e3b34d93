# shellcheck shell=bash
# shellcheck disable=SC2034,SC2154  # tool, work and emulator are the caller's; shown and status
#                                   # are for it
# What the shell-driven cases share. Source it with tool, work and the emulator array set; it
# gives skip and fail (which counts failures), run_tool, a fresh WORK with nothing left mounted
# in it, mounts that are undone on the way out (unmount_all), sshfs over a local sftp-server, and
# finish, which ends a case.

failures=0
mounts=()

skip() {
  echo "SKIPPED: $*"
  exit 0
}

fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

# A run of the tool in WORK; sets status and shown (what it printed).
run_tool() {
  set +e
  shown=$(cd "$work" && "${emulator[@]}" "$tool" "$@" 2>/dev/null)
  status=$?
  set -e
}

# WORK made afresh, and entered; whatever a run cut short left mounted in it is unmounted first.
fresh_work() {
  local m
  while read -r m; do umount -l "$m" 2>/dev/null || true; done < <(
    awk -v w="$work" 'index($2, w) == 1 { print $2 }' /proc/mounts | sort -r)
  rm -rf "$work"
  mkdir -p "$work"
  cd "$work"
}

# mount_or_skip WHAT AT COMMAND...: mounts with COMMAND, or skips the case saying why.
mount_or_skip() {
  local what=$1 at=$2 why
  shift 2
  why=$("$@" 2>&1) || skip "cannot mount $what here: $why"
  mounts+=("$at")
}

# Unmounts everything mount_or_skip mounted, the last first.
unmount_all() {
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" 2>/dev/null || true
  done
}

# mount_sshfs_or_skip SOURCE VIEW [OPTION,...]: SOURCE (in WORK) through sshfs at VIEW, over a
# local sftp-server that a wrapper starts in place of ssh: no network is used.
mount_sshfs_or_skip() {
  local source=$1 view=$2 options=${3:+,$3} server='' candidate
  command -v sshfs >/dev/null || skip "sshfs is not installed"
  for candidate in /usr/lib/openssh/sftp-server /usr/lib/sftp-server; do
    [[ -x $candidate ]] && server=$candidate && break
  done
  [[ -n $server ]] || skip "no sftp-server here (openssh-sftp-server)"
  printf '#!/bin/sh\nexec %s\n' "$server" >"$work/sftp-wrapper"
  chmod +x "$work/sftp-wrapper"
  mount_or_skip sshfs "$work/$view" \
    sshfs -o "ssh_command=$work/sftp-wrapper$options" "localhost:$work/$source" "$work/$view"
}

# Ends the case: status 1 after any failure, else "passed: NAME".
finish() {
  ((failures == 0)) || exit 1
  echo "passed: $1"
}
