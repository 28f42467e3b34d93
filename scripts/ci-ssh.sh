#!/usr/bin/env bash
# CI for the README's many-machines recipe (batch=hosts) over real ssh logins: an sshd of its
# own listens on 127.0.0.2 and 127.0.0.3 alone (port 2222), takes a key and nothing else, and
# lets in one throwaway user whose home is a scratch folder. The recipe runs with those two
# addresses as its machines: every value file must come back byte for byte through
# --transferfile, --return and --cleanup, the failing log must be named, and no copy may stay
# behind on the machines. Needs root (a user, an sshd) and MIRTAK on the PATH (the Debian
# package: scripts/ci-package.sh runs this while it is installed). The sshd, the user and the
# folders are removed however the script ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/ensure-packages.sh --no-install-recommends openssh-server openssh-client rsync parallel

readonly port=2222 hosts=(127.0.0.2 127.0.0.3)

fail() {
  echo "ci-ssh: $*" >&2
  exit 1
}

[[ $(command -v MIRTAK) == /usr/bin/MIRTAK ]] || fail "MIRTAK is not installed on the PATH"
work=$(mktemp -d)
chmod 755 "$work"
user=mirtakci$$
cleanup() {
  if [[ -f $work/sshd.pid ]]; then
    kill "$(cat "$work/sshd.pid")" 2>/dev/null || true
  fi
  if id "$user" >/dev/null 2>&1; then userdel "$user" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

useradd --home-dir "$work/home" --create-home --shell /bin/sh "$user"
usermod --password "*" "$user" # no password, yet not locked: sshd turns a locked account away
mkdir -m 700 "$work/home/.ssh"
ssh-keygen -q -t ed25519 -N '' -f "$work/client_key"
ssh-keygen -q -t ed25519 -N '' -f "$work/host_key"
cp "$work/client_key.pub" "$work/home/.ssh/authorized_keys"
chown -R "$user:" "$work/home"

cat >"$work/sshd_config" <<EOF
Port $port
$(printf 'ListenAddress %s\n' "${hosts[@]}")
HostKey $work/host_key
PidFile $work/sshd.pid
AllowUsers $user
AuthenticationMethods publickey
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
X11Forwarding no
AllowTcpForwarding no
EOF
mkdir -p /run/sshd # sshd's privilege separation folder
/usr/sbin/sshd -f "$work/sshd_config" -E "$work/sshd.log" || fail "sshd did not start"

# Nothing of this sshd may listen beyond loopback: exactly the two addresses, once it has
# written its pid (it does so after it forks into the background).
expected=$(printf '%s:'"$port"'\n' "${hosts[@]}")
listening=""
for _ in {1..50}; do
  if [[ -s $work/sshd.pid ]]; then
    listening=$(ss -Hltnp | awk -v pid="pid=$(cat "$work/sshd.pid")," 'index($0, pid) { print $4 }' | sort)
    [[ $listening == "$expected" ]] && break
  fi
  sleep 0.1
done
[[ $listening == "$expected" ]] || fail "sshd listens on: ${listening:-nothing}"

# The machines, as a user names them in ~/.ssh/config.
: >"$work/known_hosts"
for i in 0 1; do
  echo "[${hosts[i]}]:$port $(cat "$work/host_key.pub")" >>"$work/known_hosts"
  cat >>"$work/ssh_config" <<EOF
Host machine$((i + 1))
  HostName ${hosts[i]}
  Port $port
  User $user
  IdentityFile $work/client_key
  IdentitiesOnly yes
  BatchMode yes
  UserKnownHostsFile $work/known_hosts
  StrictHostKeyChecking yes
EOF
done
ssh -F "$work/ssh_config" machine1 true || fail "no key login: $(tail -5 "$work/sshd.log")"

# Four logs that convert (a name with spaces among them) and one that fails.
logs=$work/logs
mkdir "$logs"
for name in one "two words" three four; do
  cp examples/QDEMOX.LOG "$logs/$name.LOG"
done
cp examples/QDEMOX.LOG "$logs/bad.LOG"
# bad.LOG fails on the machine, where a folder stands in the way of its value file.
mkdir "$work/home/bad.MX"
chown "$user:" "$work/home/bad.MX"
recipe=$(python3 tests/docs/check_commands.py block --doc README.md batch=hosts)
[[ $recipe == *"server1,server2,:"* ]] || fail "the README's batch=hosts names other machines"
recipe=${recipe//server1,server2,:/machine1,machine2}
status=0
mkdir "$work/client"
(cd "$logs" && PARALLEL_SSH="ssh -F $work/ssh_config" HOME=$work/client sh -c "$recipe") \
  >"$work/out" 2>"$work/err" || status=$?
[[ $status == 1 ]] || fail "exit status $status, not 1 for one failing log: $(cat "$work/err")"
grep -aq "Can not create bad.MX file" "$work/out" || fail "the failing log is not named: $(cat "$work/out")"
for name in one "two words" three four; do
  cmp "$logs/$name.MX" "$root/examples/QDEMOX.MX" || fail "$name.MX did not come back whole"
done
left=$(find "$work/home" -type f \( -name '*.LOG' -o -name '*.MX' \))
[[ -z $left ]] || fail "--cleanup left on the machines: $left"
used=$(grep -c 'Accepted publickey' "$work/sshd.log")
echo "ci-ssh: 4 value files back over $used ssh logins to ${hosts[*]}, bad.LOG named, nothing left"
