#!/usr/bin/env bash
# Runs the README's network-game host, then its guest, and checks what both printed.
# Usage: net_game_example.sh HOST_PROGRAM GUEST_PROGRAM (inside in_netns.sh).
set -u
if [ "${QRN_NET_NAMESPACE:-}" != "1" ]; then
  echo "skipped: no private network namespace, and the host would connect to this machine's own address"
  exit 77
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
timeout 30 "$1" >"$out/host.txt" 2>&1 &
host=$!
for _ in $(seq 1 100); do
  grep -q "hosting" "$out/host.txt" && break
  sleep 0.05
done
timeout 20 "$2" >"$out/guest.txt" 2>&1
guest_status=$?
wait "$host"
host_status=$?
echo "--- host ($host_status)"; cat "$out/host.txt"
echo "--- guest ($guest_status)"; cat "$out/guest.txt"
expected_host=$'hosting as player 101\ngot: hello\nleft: 102\nleft: 103'
expected_guest=$'players: 2\nreply: welcome, guest'
[ "$host_status" = 0 ] && [ "$guest_status" = 0 ] &&
  [ "$(cat "$out/host.txt")" = "$expected_host" ] && [ "$(cat "$out/guest.txt")" = "$expected_guest" ]
