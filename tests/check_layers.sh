#!/usr/bin/env bash
# The layers, checked over the sources: each library includes only its own folder and the
# folders below it, and nothing outside the engine includes an engine file (app/, screens/, or
# an engine/ subfolder of an area). The include roots of the build already refuse most of
# this; this check also covers the engine/ subfolders, which the roots cannot tell apart, and
# keeps the screens off the engine object.
# Usage: check_layers.sh SRC_DIR
set -u
src=$1
declare -A below=(
  [platform]="platform"
  [resource]="resource platform"
  [graphics]="graphics resource platform"
  [audio]="audio resource platform"
  [save]="save resource platform"
  [scene]="scene graphics resource platform"
  [script]="script save resource platform"
  [movie]="movie graphics audio resource platform"
  [setup]="setup resource platform"
)
bad=0
for folder in "${!below[@]}"; do
  [ -d "$src/$folder" ] || continue
  while IFS= read -r file; do
    case "$file" in */engine/*) continue ;; esac
    while IFS= read -r line; do
      target=${line#*\"}
      target=${target%%\"*}
      top=${target%%/*}
      allowed=0
      for ok in ${below[$folder]}; do [ "$top" = "$ok" ] && allowed=1; done
      case "$target" in */engine/*) allowed=0 ;; esac
      if [ $allowed = 0 ]; then
        echo "$file: includes \"$target\", above its layer ($folder sees: ${below[$folder]})"
        bad=1
      fi
    done < <(grep -E '^#include "[a-z_]+/' "$file")
  done < <(find "$src/$folder" -name '*.cpp' -o -name '*.h')
done
# A screen gets what it needs by reference: only CADV's glue files (adv_*_glue.cpp) include
# the engine object or the process.
if [ -d "$src/screens" ]; then
  while IFS= read -r file; do
    name=${file##*/}
    case "$name" in adv_*_glue.cpp) continue ;; esac
    if grep -qE '^#include "app/(adv|process)\.h"' "$file"; then
      echo "$file: a screen includes the engine object; its glue file is the place for that"
      bad=1
    fi
  done < <(find "$src/screens" -name '*.cpp' -o -name '*.h')
fi
[ $bad = 0 ] && echo "layers: every include points down"
exit $bad
