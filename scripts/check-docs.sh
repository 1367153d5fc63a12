#!/usr/bin/env bash
# Checks the documentation against the program and the repository:
#  - every option that `lumora --help` lists is named in README.md or docs/, and every option of
#    `lumora-site --help` there or in site/README.md;
#  - every repository path that README.md or a page of docs/ names exists: paths in backticks
#    and in code blocks that start with a tracked top-level folder (src/, scripts/, docs/ ...),
#    and the targets of links (relative to the page).
# Prints what is missing and exits 1 when anything is. Needs the built programs:
#   scripts/check-docs.sh [BUILD_DIR]    (default build/)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
pages=(README.md docs/*.md)
missing=0
report() {
  echo "check-docs: $*"
  missing=$((missing + 1))
}

# The options a program's --help lists: each one's long name, or its short one when it has none.
options_of() {
  local help
  help=$(QT_QPA_PLATFORM=offscreen "$1" --help) || {
    echo "check-docs: $1 --help failed" >&2
    exit 2
  }
  # An option's line starts with blanks and a dash; its names end at the next two blanks.
  printf '%s\n' "$help" | sed -n 's/^ \{1,\}\(-[^ ].*\)$/\1/p' | sed 's/  .*$//' | awk -F', ' '{
    name = ""
    for (i = 1; i <= NF; i++) {
      split($i, word, " ")
      if (name == "" || word[1] ~ /^--/) name = word[1]
    }
    print name
  }'
}

check_options() {
  local program=$1
  shift
  local option
  for option in $(options_of "$program" | sort -u); do
    if ! grep -qE -- "(^|[^a-z0-9-])${option}([^a-z0-9-]|$)" "$@"; then
      report "option $option of $(basename "$program") is not documented in $*"
    fi
  done
}

for program in "$build/lumora" "$build/lumora-site"; do
  [ -x "$program" ] || {
    echo "check-docs: $program is not built" >&2
    exit 2
  }
done
check_options "$build/lumora" "${pages[@]}"
check_options "$build/lumora-site" "${pages[@]}" site/README.md

# Top-level folders of the repository: a path naming one of them is the repository's.
mapfile -t folders < <(git ls-files | sed -n 's|^\([^/]*\)/.*|\1|p' | sort -u)
folders+=(docs)
is_repo_path() {
  local folder
  for folder in "${folders[@]}"; do
    [[ $1 == "$folder"/* ]] && return 0
  done
  return 1
}

# Prints "kind<TAB>text" for each backtick span, link target and code-block word of a page.
named_in() {
  awk '
    /^ *```/ { fence = !fence; next }
    fence { n = split($0, w, /[ \t]+/); for (i = 1; i <= n; i++) if (w[i] != "") print "word\t" w[i]; next }
    {
      line = $0
      while (match(line, /`[^`]+`/)) {
        print "code\t" substr(line, RSTART + 1, RLENGTH - 2)
        line = substr(line, RSTART + RLENGTH)
      }
      line = $0
      while (match(line, /\]\([^)]+\)/)) {
        print "link\t" substr(line, RSTART + 2, RLENGTH - 3)
        line = substr(line, RSTART + RLENGTH)
      }
    }' "$1"
}

for page in "${pages[@]}"; do
  while IFS=$'\t' read -r kind text; do
    case $kind in
      link)
        target=${text%%#*}
        target=${target%% *}
        [[ -z $target || $target == *://* || $target == mailto:* ]] && continue
        path=$(realpath -m --relative-to=. "$(dirname "$page")/$target")
        ;;
      *)
        path=${text%% *}
        path=${path#./}
        path=${path%%[.,;:)]}
        is_repo_path "$path" || continue
        # A placeholder (<room>, N) names no one file.
        [[ $path == *[\<\>{}…]* ]] && continue
        ;;
    esac
    if [[ $path == *'*'* ]]; then
      compgen -G "$path" >/dev/null || report "$page names $path, which matches no file"
    elif [ ! -e "$path" ]; then
      report "$page names $path, which does not exist"
    fi
  done < <(named_in "$page")
done

if [ "$missing" -gt 0 ]; then
  echo "check-docs: $missing missing"
  exit 1
fi
echo "check-docs: every option documented, every named path there (${#pages[@]} pages)"
