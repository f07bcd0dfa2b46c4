# bash completion for qnverify                                     -*- shell-script -*-

# The names of the .qn files in the folders named on the command line so far.
_qnverify_checksum_names() {
  local word file
  for word in "${COMP_WORDS[@]:1}"; do
    [[ -d $word ]] || continue
    for file in "$word"/*.qn; do
      [[ -f $file ]] && printf '%s\n' "${file##*/}"
    done
  done
}

_qnverify() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local IFS=$'\n'
  local options=(-q --problems -r --recursive --summary --json --report --qn --images --create-nfo
                 --no-id3v1 --no-id3v2 --deep --hints -j --jobs --io-depth -0 --null
                 --create --five --output --force -h --help --version)
  case $prev in
    --report | --output)
      COMPREPLY=($(compgen -f -- "$cur"))
      return
      ;;
    --qn)
      COMPREPLY=($(compgen -W "$(_qnverify_checksum_names)" -- "$cur")
                 $(compgen -f -X '!*.[qQ][nN]' -- "$cur") $(compgen -d -- "$cur"))
      return
      ;;
    -j | --jobs)
      COMPREPLY=($(compgen -W $'1\n2\n3\n4' -- "$cur"))
      return
      ;;
    --io-depth)
      COMPREPLY=($(compgen -W $'1\n4\n16\n64' -- "$cur"))
      return
      ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "${options[*]}" -- "$cur"))
    return
  fi
  COMPREPLY=($(compgen -f -- "$cur"))
}

complete -o filenames -F _qnverify qnverify
