#!/usr/bin/env bash
# The shell completions: bash completes options and the .qn files of the folder named on the
# command line; the zsh one is at least well-formed.
#   test_completion.sh SOURCE_DIR
set -euo pipefail
source_dir=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

source "$source_dir/packaging/completion/qnverify.bash"

# complete WORD...: the completions for the last word, one per line, sorted.
complete_words() {
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _qnverify
  printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort
}

[ "$(complete_words qnverify --j)" = $'--jobs\n--json' ] || fail "--j: $(complete_words qnverify --j)"
[ "$(complete_words qnverify -r --no-id3)" = $'--no-id3v1\n--no-id3v2' ] || fail "--no-id3"

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/Top 6" "$folder/here"
cd "$folder/here"  # an empty current folder: nothing of it among the completions
touch "$folder/Top 6/Top 6.qn" "$folder/Top 6/Other.qn" "$folder/Top 6/u1964_001 - A - B.mp3"
[ "$(complete_words qnverify "$folder/Top 6" --qn "")" = $'Other.qn\nTop 6.qn' ] \
  || fail "--qn: $(complete_words qnverify "$folder/Top 6" --qn "")"
[ "$(complete_words qnverify "$folder/To")" = "$folder/Top 6" ] || fail "a path with a blank"

if command -v zsh >/dev/null; then
  zsh -n "$source_dir/packaging/completion/_qnverify" || fail "zsh completion does not parse"
fi
echo "completion: OK"
