#!/usr/bin/env bash
# Runs MIRTAK where the value file's name leads to the log, or to a file another run is writing,
# by ways a file's name and metadata cannot tell: mounts that renumber files, FUSE views (one
# that still shows the log empty after it was written), a case-insensitive file system, a
# second device node, a second run at once. Every refusal must
# be status 1 with "Can not create NAME file" and leave the log and the old value file byte for
# byte as they were. The memory case sweeps a memory limit instead: each run converts completely
# or changes no file.
# Mounts need root; where the system refuses one the case prints "SKIPPED:" and the reason.
# Everything mounted is unmounted on the way out, whatever happens.
# Usage: refusal_case.sh CASE TOOL SAMPLE_LOG WORK [EMULATOR WORD...]
set -euo pipefail
case_name=$1 tool=$2 sample=$3 work=$4
shift 4
emulator=("$@")

# shellcheck source=tests/e2e/case_lib.sh
source "$(dirname "$0")/case_lib.sh"
loops=() cgroup='' writer=''
cleanup() {
  [[ -n $writer ]] && kill "$writer" 2>/dev/null && wait "$writer" 2>/dev/null
  unmount_all
  local i
  for i in "${loops[@]}"; do losetup -d "$i" 2>/dev/null || true; done
  [[ -n $cgroup ]] && rmdir "$cgroup" 2>/dev/null
  return 0
}
trap cleanup EXIT

# A file's bytes as a checksum, or "absent".
bytes_of() { if [[ -e $1 ]]; then sha256sum <"$1"; else echo absent; fi; }

# MIRTAK LOG VALUE must be refused with both files unchanged.
expect_refusal() {
  local log=$1 value=$2 log_before value_before
  log_before=$(bytes_of "$work/$log")
  value_before=$(bytes_of "$work/$value")
  run_tool "$log" "$value"
  [[ $status == 1 ]] || fail "MIRTAK $log $value: status $status"
  [[ $shown == *$'\r\n'"Can not create $value file" ]] ||
    fail "MIRTAK $log $value printed: ${shown##*$'\r\n\r\n'}"
  [[ $(bytes_of "$work/$log") == "$log_before" ]] || fail "MIRTAK $log $value changed the log"
  [[ $(bytes_of "$work/$value") == "$value_before" ]] ||
    fail "MIRTAK $log $value changed the value file"
}

# Both directions: the log under either name.
expect_refusals() {
  expect_refusal "$1" "$2"
  expect_refusal "$2" "$1"
}

fresh_work
# The log with a NUL in its header line: not text, so only its content can tell it is the log.
{ printf 'HEADER\0\r\n'; tail -n +2 "$sample"; } >sample.log
sample=$work/sample.log
[[ $(id -u) == 0 || $case_name == two_runs ]] || skip "mounts need root"

case $case_name in
overlay_copy_up)
  # The merged view keeps the lower file's inode number; the upper copy has another.
  mkdir lower upper scratch merged
  cp "$sample" lower/a.log
  mount_or_skip "an overlay" merged mount -t overlay overlay \
    -o "lowerdir=$work/lower,upperdir=$work/upper,workdir=$work/scratch" merged
  touch merged/a.log
  expect_refusals merged/a.log upper/a.log
  ;;
overlay_xino)
  # Layers on two file systems: the merged inode number carries the layer in its high bits.
  mkdir lower upper merged
  mount_or_skip "a tmpfs" lower mount -t tmpfs -o size=4m tmpfs lower
  mkdir upper/files upper/scratch
  cp "$sample" lower/a.log
  mount_or_skip "an overlay with xino=on" merged mount -t overlay overlay \
    -o "xino=on,lowerdir=$work/lower,upperdir=$work/upper/files,workdir=$work/upper/scratch" merged
  expect_refusals merged/a.log lower/a.log
  ;;
bindfs_rewritten)
  # The log rewritten just before the run: the view may serve the old time.
  command -v bindfs >/dev/null || skip "bindfs is not installed"
  mkdir source view
  cp "$sample" source/a.log
  mount_or_skip "bindfs" view bindfs source view
  stat view/a.log >/dev/null
  for _ in 1 2 3; do
    cp "$sample" source/a.log
    expect_refusal view/a.log source/a.log
    cp "$sample" source/a.log
    expect_refusal source/a.log view/a.log
  done
  ;;
bindfs_appended)
  # A writer appends to the log all through the runs; the log must keep every byte written.
  command -v bindfs >/dev/null || skip "bindfs is not installed"
  mkdir source view
  cp "$sample" source/a.log
  mount_or_skip "bindfs" view bindfs source view
  line=$'12  345  -6789\r\n'
  (while :; do printf '%s' "$line" >>source/a.log; done) &
  writer=$!
  for _ in 1 2 3 4 5; do
    run_tool view/a.log source/a.log
    [[ $status == 1 && $shown == *"Can not create source/a.log file" ]] ||
      fail "MIRTAK view/a.log source/a.log: status $status"
    run_tool source/a.log view/a.log
    [[ $status == 1 && $shown == *"Can not create view/a.log file" ]] ||
      fail "MIRTAK source/a.log view/a.log: status $status"
  done
  kill "$writer"
  wait "$writer" 2>/dev/null || true
  writer=''
  appended=$((($(stat -c %s source/a.log) - $(stat -c %s "$sample")) / ${#line}))
  { cat "$sample"; for ((i = 0; i < appended; i++)); do printf '%s' "$line"; done; } |
    cmp -s - source/a.log || fail "the log is not the sample and the lines appended to it"
  ;;
unionfs)
  command -v unionfs >/dev/null || skip "unionfs-fuse is not installed"
  mkdir source view
  cp "$sample" source/a.log
  mount_or_skip "unionfs-fuse" view unionfs source view
  expect_refusals view/a.log source/a.log
  ;;
sshfs | sshfs_stale)
  mkdir source view
  if [[ $case_name == sshfs ]]; then
    cp "$sample" source/a.log
    mount_sshfs_or_skip source view
    expect_refusals view/a.log source/a.log
  else
    # The view keeps what it saw of the log for a minute: the log empty, as it was when the view
    # first looked, while the log has since been written in place. Read through the view the
    # log is empty; the log itself named as the value file must be kept.
    : >source/a.log
    mount_sshfs_or_skip source view attr_timeout=60
    stat view/a.log >/dev/null
    cat "$sample" >source/a.log
    [[ $(stat -c %s view/a.log) == 0 && ! -s view/a.log ]] ||
      skip "the sshfs view here does not keep the log's old size"
    expect_refusal view/a.log source/a.log
    [[ $(stat -c %s view/a.log) == 0 ]] || fail "the view no longer showed the log empty"
  fi
  ;;
fusefat)
  # A FAT image through FUSE: two spellings of one name show two inode numbers.
  if ! command -v fusefat >/dev/null || ! command -v mkfs.vfat >/dev/null; then
    skip "fusefat or dosfstools is not installed"
  fi
  truncate -s 4M fat.img
  mkfs.vfat fat.img >/dev/null
  mkdir m
  mount_or_skip "fusefat" m fusefat -o rw+ fat.img m
  cp "$sample" m/DATA.LOG
  expect_refusals m/DATA.LOG m/data.log
  ;;
block_device_node)
  # A second node of the same block device.
  truncate -s 1M disk.img
  dd if="$sample" of=disk.img conv=notrunc status=none
  device=$(losetup -f --show disk.img 2>&1) || skip "cannot set up a loop device: $device"
  loops+=("$device")
  read -r major minor < <(stat -c '%t %T' "$device")
  mknod alias b $((16#$major)) $((16#$minor)) || skip "cannot make a device node here"
  ln -s "$device" device
  expect_refusals device alias
  # A user who may only write the second node: its content cannot be read, so only the device
  # both nodes name tells that it is the log.
  command -v setpriv >/dev/null || skip "setpriv is not installed"
  mknod reader b $((16#$major)) $((16#$minor))
  mknod writer b $((16#$major)) $((16#$minor))
  chown nobody reader writer
  chmod 0400 reader
  chmod 0200 writer
  chmod 0777 "$work"
  emulator=(setpriv --reuid=nobody --regid=nogroup --clear-groups "${emulator[@]}")
  expect_refusal reader writer
  ;;
two_runs)
  # The first run reads a log from a FIFO and so stays writing until the log ends; a second
  # run naming the same value file meanwhile is refused, and the first completes undisturbed.
  mkfifo log.fifo
  { printf 'HEADER\r\n'; for ((i = 0; i < 60000; i++)); do printf '%d  %d  -7\r\n' $i $((i % 30000)); done; } >whole.log
  run_tool whole.log whole.out
  [[ $status == 0 ]] || fail "the whole log did not convert"
  (cd "$work" && exec "${emulator[@]}" "$tool" log.fifo value.out >/dev/null 2>&1) &
  first=$!
  exec 3>log.fifo
  head -c 600000 whole.log >&3
  for ((i = 0; i < 300; i++)); do
    [[ -s value.out ]] && break
    sleep 0.1
  done
  sleep 0.2 # from created to locked
  cp "$sample" small.log
  expect_refusal small.log value.out
  tail -c +600001 whole.log >&3
  exec 3>&-
  wait "$first" || fail "the first run failed: status $?"
  cmp -s whole.out value.out || fail "the first run's value file was disturbed"
  ;;
memory_cgroup)
  # Memory limits from far too small to enough, on a log of tens of MB with an old value file:
  # every run either converts completely or changes no file.
  root=/sys/fs/cgroup/memory
  [[ -w $root ]] || skip "no writable cgroup v1 memory controller at $root"
  cgroup=$root/mirtak-$$
  mkdir "$cgroup" 2>/dev/null || skip "cannot make a memory cgroup"
  echo 0 >"$cgroup/memory.swappiness" 2>/dev/null || true
  { printf 'HEADER\r\n'; for ((i = 0; i < 400; i++)); do printf '%d  1  -2  300  4000  -5000  6  7  8  9\r\n' $i; done; } >block.txt
  for ((i = 0; i < 100; i++)); do cat block.txt; done >part.txt
  for ((i = 0; i < 16; i++)); do cat part.txt; done >big.log
  rm block.txt part.txt
  run_tool big.log whole.out
  [[ $status == 0 ]] || fail "the log did not convert without a limit"
  printf '\x01\x02old values\x00\xff' >old.mx
  converted=0 stopped=0
  for ((limit = 512 * 1024; limit <= 2048 * 1024; limit += 64 * 1024)); do
    cp old.mx value.out
    log_before=$(bytes_of big.log)
    echo "$limit" >"$cgroup/memory.limit_in_bytes" || skip "cannot set a memory limit"
    set +e
    sh -c 'echo $$ >"$1/cgroup.procs" && cd "$2" && exec "$3" big.log value.out' sh \
      "$cgroup" "$work" "$tool" >/dev/null 2>&1
    status=$?
    set -e
    if [[ $status == 0 ]] && cmp -s whole.out value.out; then
      converted=$((converted + 1))
    elif cmp -s old.mx value.out; then
      stopped=$((stopped + 1))
    else
      fail "limit $((limit / 1024)) KiB: status $status, the old value file changed"
    fi
    [[ $(bytes_of big.log) == "$log_before" ]] || fail "limit $((limit / 1024)) KiB changed the log"
  done
  echo "memory limits 512 KiB to 2 MiB in steps of 64 KiB: $stopped stopped before any file changed, $converted converted"
  ((stopped > 0)) || fail "no limit was too small: start lower"
  ((converted > 0)) || fail "no limit was enough: go higher"
  ;;
*)
  echo "unknown case $case_name" >&2
  exit 2
  ;;
esac
finish "$case_name"
