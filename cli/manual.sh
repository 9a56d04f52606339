#!/bin/sh
# Writes the zttools(1) manual page and the bash completion from the command's own help, so that
# both always describe the command as built: ./manual.sh ZTTOOLS MANPAGE COMPLETION
set -eu
zttools=$1
manpage=$2
completion=$3

# The commands of the overview: "group" for one-word commands, "group sub" for the others.
commands() {
  "$zttools" --help | awk '/^  [a-z]/ { print $1 }' | uniq | while read -r group; do
    if "$zttools" "$group" --help | head -n 1 | grep -q "SUBCOMMAND"; then
      "$zttools" "$group" --help | awk -v group="$group" '/^  [a-z]/ { print group " " $1 }'
    else
      echo "$group"
    fi
  done
}

# The options a command's usage line names, with the ones every command takes.
options() {
  # shellcheck disable=SC2086  # the command's words are split on purpose
  "$zttools" $1 --help | head -n 1 | grep -o -- '--[a-z][a-z-]*' | sort -u | tr '\n' ' '
  echo "--help -h"
}

# Help text as roff: backslashes and hyphens escaped, control words at line starts defused.
roff() {
  sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^[.']/\\\\\\&&/"
}

version=$("$zttools" --version | head -n 1 | cut -d ' ' -f 2)
list=$(commands)
{
  echo ".TH ZTTOOLS 1 \"\" \"zttools $version\" \"User Commands\""
  echo ".SH NAME"
  echo "zttools \\- the tools of libzttools from the shell"
  echo ".SH SYNOPSIS"
  echo ".B zttools"
  echo "COMMAND [SUBCOMMAND] [OPTIONS] [ARGUMENTS]"
  echo ".br"
  echo ".B zttools"
  echo "\\-\\-version"
  echo ".SH DESCRIPTION"
  echo ".nf"
  "$zttools" --help | roff
  echo ".fi"
  echo ".SH COMMANDS"
  echo "$list" | while read -r command; do
    echo ".SS \"zttools $command\""
    echo ".nf"
    # shellcheck disable=SC2086
    "$zttools" $command --help | roff
    echo ".fi"
  done
  echo ".SH FILES"
  echo "The bash completion is installed as share/bash\\-completion/completions/zttools."
  echo ".SH SEE ALSO"
  echo "docs/CLI.md in the source tree describes every command with examples."
} >"$manpage"

groups=$(echo "$list" | cut -d ' ' -f 1 | uniq | tr '\n' ' ')
{
  echo "# bash completion for zttools, written from the command's help by cli/manual.sh."
  echo "_zttools() {"
  echo "  local cur=\${COMP_WORDS[COMP_CWORD]} words"
  echo "  if [ \"\$COMP_CWORD\" -eq 1 ]; then"
  echo "    words=\"${groups}--help -h --version\""
  echo "  else"
  echo "    case \"\${COMP_WORDS[1]}\" in"
  for group in $groups; do
    subs=$(echo "$list" | awk -v group="$group" '$1 == group && NF == 2 { printf "%s ", $2 }')
    echo "      $group)"
    if [ -n "$subs" ]; then
      echo "        if [ \"\$COMP_CWORD\" -eq 2 ]; then"
      echo "          words=\"${subs}--help -h\""
      echo "        else"
      echo "          case \"\${COMP_WORDS[2]}\" in"
      for sub in $subs; do
        echo "            $sub) words=\"$(options "$group $sub")\" ;;"
      done
      echo "          esac"
      echo "        fi"
    else
      echo "        words=\"$(options "$group")\""
    fi
    echo "        ;;"
  done
  echo "    esac"
  echo "    # Past the command's name, words that are not options are files and folders."
  echo "    case \$cur in -*) ;; *) [ \"\$COMP_CWORD\" -gt 2 ] && words=\"\" ;; esac"
  echo "  fi"
  echo "  COMPREPLY=(\$(compgen -W \"\$words\" -- \"\$cur\"))"
  echo "}"
  echo "complete -o default -F _zttools zttools"
} >"$completion"
