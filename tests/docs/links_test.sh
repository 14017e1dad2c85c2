#!/usr/bin/env bash
# The manual's links hold: every relative link of README.md and docs/*.md names a file that
# exists and, after a '#', a heading of that file; every script the README names exists.
#
# usage: links_test.sh SOURCE_DIR
set -uo pipefail
cd "$1" || exit 1
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# The anchor a heading gets: lower case, punctuation dropped, blanks as hyphens.
slug() {
  printf '%s' "$1" | tr '[:upper:]' '[:lower:]' | sed -e 's/[^a-z0-9 _-]//g' -e 's/ /-/g'
}

for page in README.md docs/*.md; do
  dir=$(dirname "$page")
  while IFS= read -r link; do
    target=${link%%#*}
    anchor=""
    [[ $link == *#* ]] && anchor=${link#*#}
    file=$page
    [ -n "$target" ] && file=$dir/$target
    if [ ! -e "$file" ]; then
      fail "$page links to $link: no file $file"
      continue
    fi
    [ -z "$anchor" ] && continue
    found=0
    while IFS= read -r heading; do
      [ "$(slug "${heading#"${heading%%[!#]*}"}" | sed 's/^-*//')" = "$anchor" ] && found=1
    done < <(grep -E '^#+ ' "$file")
    [ "$found" -eq 1 ] || fail "$page links to $link: no heading #$anchor in $file"
  done < <(grep -oE '\]\([^)[:space:]]+\)' "$page" | sed -e 's/^](//' -e 's/)$//' | grep -vE '^[a-z]+:')
done
while IFS= read -r script; do
  [ -e "$script" ] || fail "README.md names $script, which does not exist"
done < <(grep -oE 'scripts/[a-z_]+\.(sh|slurm)' README.md | sort -u)

[ "$failures" -eq 0 ] || exit 1
echo "links: 1 passed, 0 failed"
