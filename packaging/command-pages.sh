#!/bin/sh
# Writes a help2man include file for a program with commands (zema-transfer):
# help2man makes the manual page of the program's own --help, which names
# the commands but not their options. This adds a section COMMANDS with each
# command's --help, and the description and examples with their lines kept
# as the program prints them (help2man would join the example lines and
# drop a hyphen that ends a line).
#
#   command-pages.sh PROGRAM OUTPUT
set -eu
program=$1
output=$2

# *roff escapes: backslashes, minus signs, and a leading "." or "'".
roff() {
  sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"
}

main_help=$("$program" --help)

{
  echo "[=DESCRIPTION]"
  # The lines before "Usage:", joined into one paragraph.
  printf '%s\n' "$main_help" | sed '/^Usage:/,$d' |
    awk '{ text = text (text == "" || text ~ /-$/ ? "" : " ") $0 } END { print text }' | roff
  echo
  echo "[=EXAMPLES]"
  echo ".nf"
  printf '%s\n' "$main_help" | sed -n '/^Examples:/,/^$/{/^Examples:/d;/^$/d;s/^  //;p}' | roff
  echo ".fi"
  echo
  echo "[COMMANDS]"
  for command in $(printf '%s\n' "$main_help" |
                   sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p'); do
    "$program" "$command" --help | roff | awk '
      NR == 1 { summary = $0; next }
      /^Usage:/ { usage = $0; sub(/^Usage: /, "", usage); next }
      /^Options:/ {
        print ".SS \"" usage "\""
        print summary
        part = "options"
        next
      }
      part == "options" && /^$/ { flush(); part = "notes"; next }
      part == "options" && /^  \\-/ {
        flush()
        line = substr($0, 3)
        gap = match(line, /   */)
        if (gap) { option = substr(line, 1, gap - 1); text = substr(line, gap + RLENGTH) }
        else { option = line; text = "" }
        next
      }
      part == "options" { sub(/^ */, ""); text = text (text == "" ? "" : " ") $0; next }
      # The notes end where the text shared by every command begins.
      part == "notes" && /^Exit status:/ { part = "done"; next }
      part == "notes" && /./ { print ".PP"; print; next }
      function flush() {
        if (option != "" && option !~ /^\\-h,\\-\\-help$/) { print ".TP"; print ".B " option; print text }
        option = ""; text = ""
      }'
  done
} >"$output"
