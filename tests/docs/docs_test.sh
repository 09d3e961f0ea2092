#!/usr/bin/env bash
# The generated manual pages render without warnings, and every value the shell completions offer
# (-t formats, --if-exists modes, readers, --set names and coded values) is one the converter takes.
# Usage: docs_test.sh DOCS_FOLDER WAVELORN_CLI
set -uo pipefail
docs=$1 cli=$2
failures=0 checks=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/wavelorn-docs.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

for page in wavelorn.1 wavelorn-cli.1; do
  checks=$((checks + 1))
  warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z "$docs/$page" 2>&1)
  [[ -z $warnings ]] || fail "$page: $warnings"
done

# The converter refuses an unknown value before it looks for files; a known one reaches "no files given".
accepted() {
  local err
  err=$(XDG_CONFIG_HOME="$scratch/config" HOME="$scratch" "$cli" "$@" 2>&1 >/dev/null)
  [[ $err == *"no files given"* ]]
}

# A known --set name with a value outside its range is refused for the value, naming the allowed ones.
known_name() {
  local err
  err=$(XDG_CONFIG_HOME="$scratch/config" HOME="$scratch" "$cli" "$@" 2>&1 >/dev/null)
  [[ $err == *"no files given"* || $err == *" must be "* ]]
}

# bash: what the completion function puts in COMPREPLY for the last word.
bash_complete() {
  bash -c 'source /usr/share/bash-completion/bash_completion; source "$1"; shift; compopt() { :; }
    COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _wavelorn_cli; printf "%s\n" "${COMPREPLY[@]}"' _ "$docs/wavelorn-cli.bash" wavelorn-cli "$@"
}

if [[ -r /usr/share/bash-completion/bash_completion ]]; then
  for option in -t --if-exists --reader; do
    values=$(bash_complete "$option" "")
    checks=$((checks + 1))
    [[ -n $values ]] || fail "bash offers nothing after $option"
    for v in $values; do accepted "$option" "$v" || fail "bash offers $option $v, which the converter refuses"; done
  done
  names=$(bash_complete --set "")
  checks=$((checks + 1))
  [[ $names == *"MP3BitRate="* && $names == *"MP3Tag.Artist="* ]] || fail "bash offers no --set names"
  for name in $names; do
    values=$(bash_complete --set "$name")
    known_name --set "${name}1" || fail "bash offers --set ${name}, a name the converter does not know"
    for v in $values; do accepted --set "$v" || fail "bash offers --set $v, which the converter refuses"; done
  done
  checks=$((checks + 1))
  [[ $(bash_complete --set MonoType=) == $'MonoType=0\nMonoType=1\nMonoType=2' ]] ||
    fail "bash does not offer MonoType's values"
  [[ $(bash_complete --if-exists=ov) == overwrite ]] || fail "bash does not complete --if-exists=ov"
  [[ $(bash_complete --qu) == --quiet ]] || fail "bash does not complete --qu"
else
  echo "skipped: bash-completion is not installed"
fi

if command -v fish >/dev/null; then
  checks=$((checks + 1))
  fish_complete() { fish --no-config -c "source '$docs/wavelorn-cli.fish'; complete -C '$1'" | cut -f1; }
  [[ $(fish_complete 'wavelorn-cli --if-exists ' | sort | tr '\n' ' ') == "overwrite rename skip update " ]] ||
    fail "fish does not offer the --if-exists modes"
  [[ $(fish_complete 'wavelorn-cli --set MonoType=') == $'MonoType=0\nMonoType=1\nMonoType=2' ]] ||
    fail "fish does not offer MonoType's values"
  for v in $(fish_complete 'wavelorn-cli -t '); do accepted -t "$v" || fail "fish offers -t $v"; done
else
  echo "skipped: fish is not installed"
fi

if command -v zsh >/dev/null; then
  checks=$((checks + 1))
  zsh -n "$docs/_wavelorn-cli" || fail "the zsh completion does not parse"
else
  echo "skipped: zsh is not installed"
fi

echo "$((checks - failures)) passed, $failures failed"
((failures == 0))
