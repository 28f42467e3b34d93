#!/usr/bin/env bash
# Races between a run's look at the value file, its open, its lock and its decision, made
# deterministic by strace, which holds the run at the chosen system call while the test changes
# the world around it:
#   lock_gap   a second run waits at its lock while the first, writing the same value file,
#              finishes: the file ends as one complete value file, and a run that says it
#              converted wrote it.
#   name_flip  the value file's name leads to /dev/null when the run looks at it and to the log
#              its log was converted from (the names swapped) before it opens it: that log is
#              kept.
#   name_flip_view  the same, the name then leading to the log itself seen through a FUSE view
#              (sshfs, which numbers files itself; needs root): the log is kept.
#   name_flip_no_proc  name_flip where the run cannot reopen what it looked at (no
#              /proc/self/fd: it opens the name again, and must find it leads elsewhere; needs
#              root).
# A case prints "SKIPPED:" and why where strace or a mount cannot be had.
# Usage: race_case.sh CASE TOOL SAMPLE_LOG WORK [EMULATOR WORD...]
set -euo pipefail
case_name=$1 tool=$2 sample=$3 work=$4
shift 4
emulator=("$@")

# shellcheck source=tests/e2e/case_lib.sh
source "$(dirname "$0")/case_lib.sh"
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  unmount_all
  return 0
}
trap cleanup EXIT
command -v strace >/dev/null || skip "strace is not installed"
strace -o /dev/null true 2>/dev/null || skip "strace cannot trace here (ptrace refused)"
fresh_work

# Waits until the trace file shows what its pattern says, or fails after 30 s.
await_trace() {
  local i
  for ((i = 0; i < 300; i++)); do
    grep -q -- "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  fail "the run never reached $2"
  return 1
}

# The tool run through strace in the background; sets pid. ARGS: TRACE_FILE STRACE_OPTIONS... --
# TOOL_ARGS...
traced_run() {
  local trace=$1 options=()
  shift
  while [[ $1 != -- ]]; do options+=("$1"); shift; done
  shift
  strace -f -o "$trace" "${options[@]}" "${emulator[@]}" "$tool" "$@" >traced.out 2>/dev/null &
  pid=$!
  pids+=("$pid")
}

# X.LOG, and X.MX converted from it.
make_pair() {
  cp "$sample" X.LOG
  "${emulator[@]}" "$tool" X.LOG X.MX >/dev/null || fail "the sample did not convert"
}

case $case_name in
lock_gap)
  # The first run reads its log from a FIFO: a header longer than its first block, so that it
  # has created and locked the value file, empty, and waits for more of its log.
  mkfifo log.fifo
  { printf '%0300000d\r\n' 0; for ((i = 0; i < 20000; i++)); do printf '%d  %d  -7  %d\r\n' $i $((i % 30000)) $i; done; printf '+\r\n'; } >first.log
  "${emulator[@]}" "$tool" first.log first.mx >/dev/null || fail "the first log did not convert"
  "${emulator[@]}" "$tool" "$sample" second.mx >/dev/null || fail "the sample did not convert"
  (exec "${emulator[@]}" "$tool" log.fifo value.out >first.out 2>&1) &
  first=$!
  pids+=("$first")
  exec 3>log.fifo
  head -c 280000 first.log >&3
  for ((i = 0; i < 300; i++)); do [[ -e value.out ]] && break; sleep 0.1; done
  [[ -e value.out && ! -s value.out ]] || fail "the first run did not create the value file, empty"
  # The second run opens the same value file, then is held at its lock for 3 s.
  traced_run lock.trace -e trace=flock -e inject=flock:delay_enter=3s -- "$sample" value.out
  second=$pid
  await_trace lock.trace 'flock('
  # Meanwhile the first run gets the rest of its log and finishes.
  tail -c +280001 first.log >&3
  exec 3>&-
  set +e
  wait "$first"
  first_status=$?
  wait "$second"
  second_status=$?
  set -e
  if cmp -s value.out second.mx; then
    [[ $second_status == 0 ]] || fail "the second run's value file is there, but it said $second_status"
    echo "the value file is the second run's (statuses $first_status and $second_status)"
  elif cmp -s value.out first.mx; then
    [[ $first_status == 0 && $second_status == 1 ]] ||
      fail "the first run's value file is there; statuses $first_status and $second_status"
    echo "the value file is the first run's (statuses $first_status and $second_status)"
  else
    fail "the value file is neither run's (statuses $first_status and $second_status)"
  fi
  ;;
name_flip | name_flip_view | name_flip_no_proc)
  if [[ $case_name == name_flip_no_proc ]]; then
    [[ $(id -u) == 0 ]] || skip "hiding /proc/self/fd needs root"
    command -v unshare >/dev/null || skip "unshare is not installed"
    # The run in a mount namespace of its own, an empty file system over its /proc/PID/fd (the
    # rest of /proc stays: a sanitizer reads its options there).
    # shellcheck disable=SC2016  # expanded by that shell
    emulator=(unshare -m --propagation private
      sh -c 'mount -t tmpfs none "/proc/$$/fd" && exec "$0" "$@"' "${emulator[@]}")
    [[ $("${emulator[@]}" find /proc/self/fd -mindepth 1 2>/dev/null | wc -l) == 0 ]] ||
      skip "cannot hide /proc/self/fd here"
  fi
  make_pair
  target=X.LOG
  if [[ $case_name == name_flip_view ]]; then
    # sshfs numbers its files itself, so only what the view holds tells that it is the log.
    [[ $(id -u) == 0 ]] || skip "mounts need root"
    mkdir source view
    mv X.LOG source/X.LOG
    mount_sshfs_or_skip source view
    target=view/X.LOG
  fi
  log_file=$target
  [[ $case_name != name_flip_view ]] || log_file=source/X.LOG
  cp "$log_file" log.before
  ln -s /dev/null link
  # MIRTAK X.MX link for a swap, MIRTAK source/X.LOG link for the log itself; held for 3 s as
  # soon as it has looked at the name.
  run_log=X.MX
  [[ $case_name != name_flip_view ]] || run_log=source/X.LOG
  traced_run flip.trace -P link -e trace=%file -e inject=%file:delay_exit=3s:when=1 -- \
    "$run_log" link
  await_trace flip.trace '"link"'
  sleep 0.5
  ln -s "$target" link.new
  mv -T link.new link
  set +e
  wait "$pid"
  status=$?
  set -e
  if cmp -s "$log_file" log.before; then
    echo "the run ended with status $status; the log is unchanged"
  else
    fail "the log was changed (status $status)"
  fi
  ;;
*)
  echo "unknown case $case_name" >&2
  exit 2
  ;;
esac
finish "$case_name"
