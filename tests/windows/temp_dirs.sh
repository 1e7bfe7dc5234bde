# Sourced by the Wine scripts that check the player cleans up after itself.
# $temp is Wine's temporary directory. The engine's tests running beside a
# script make private folders of their own there for a moment, so a count
# would miss or invent one: names are compared instead.

# The players' private folders there now, one name a line.
player_dirs() { ls "$temp" | grep '^demoplayer-' | sort || true; }

# Those there now that were not in $1 (player_dirs before the player ran).
# The player's own is gone by the time it has exited; a folder of a test
# beside this one is given two seconds to go.
left_behind() {
  local now tries=0
  while now=$(comm -13 <(printf '%s\n' "$1") <(player_dirs)) && [ -n "$now" ] && [ $tries -lt 20 ]; do
    sleep 0.1; tries=$((tries + 1))
  done
  printf '%s' "$now" | tr '\n' ' '
}
