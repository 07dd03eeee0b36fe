#!/usr/bin/env bash
# Checks the GUI-free folders against the link graph the build wrote:
# every "folder/header.h" a folder includes is its own or one of a library it
# links, and no control name is spelled outside base/control_names.h.
# Arguments: the source root and the manifest ("folder linked-folder ...").
set -u
root=$1
manifest=$2
[ -f "$manifest" ] || { echo "no manifest at $manifest"; exit 1; }
cd "$root" || exit 1

status=0
while read -r folder allowed; do
    [ -n "$folder" ] || continue
    for file in "$folder"/*.h "$folder"/*.cpp; do
        [ -f "$file" ] || continue
        while IFS= read -r included; do
            dir=$(dirname "$included")
            [ "$dir" = "." ] && continue
            ok=0
            for a in "$folder" $allowed; do
                [ "$dir" = "$a" ] && ok=1 && break
            done
            if [ "$ok" -eq 0 ]; then
                echo "$file includes $included, but $folder does not link $dir"
                status=1
            fi
        done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
    done
done <"$manifest"

patterns=$(mktemp)
trap 'rm -f "$patterns"' EXIT
sed -n 's/.*= "\([^"]*\)";.*/"\1"/p' base/control_names.h >"$patterns"
folders=$(cut -d' ' -f1 "$manifest")
for folder in $folders; do
    hits=$(grep -n -F -f "$patterns" "$folder"/*.h "$folder"/*.cpp 2>/dev/null |
           grep -v '^base/control_names.h:')
    if [ -n "$hits" ]; then
        echo "control names spelled outside base/control_names.h:"
        echo "$hits"
        status=1
    fi
done

[ "$status" -eq 0 ] && echo "layering: $(wc -l <"$manifest") folders checked"
exit "$status"
