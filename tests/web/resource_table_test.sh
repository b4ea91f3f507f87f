#!/usr/bin/env bash
# The wasm build's resource table hands out every resource of the list byte for byte, and
# finds nothing for a name under another type or a name the list lacks.
# Usage: resource_table_test.sh NODE RESOURCE_PROBE_JS RESOURCES_LIST
set -uo pipefail
node=$1 probe=$2 list=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
status=0
while read -r type name file; do
  [ -n "$type" ] || continue
  [[ $file = /* ]] || file="$(dirname "$list")/$file"
  said=$("$node" "$probe" "$type" "$name" "$out/blob") || { echo "$type $name: not found"; status=1; continue; }
  [ "$said" = "$type $name $(stat -c %s "$file")" ] || { echo "$type $name: '$said'"; status=1; }
  cmp "$file" "$out/blob" || status=1
done < <(sed 's/#.*//' "$list")
for missing in "MODMUSIC REDDISH" "TEXTURE NOSUCH"; do
  if "$node" "$probe" $missing "$out/missing" >/dev/null; then
    echo "$missing: found, though the list has no such resource"
    status=1
  fi
done
exit $status
