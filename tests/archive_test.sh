#!/usr/bin/env bash
# A release archive as an administrator gets it, unpacked into a folder whose name has spaces and
# non-ASCII letters: it holds the documents and examples it should, its programs say its version,
# every example passes the checker without a warning, the demonstration runs on the folder's
# config, and every session of its guide gives the output the guide shows (the Windows archive's
# under wine). On Linux, nothing it ships needs a shared library beyond the C and C++ runtimes and
# its own, found from where it lies, nor a symbol version newer than glibc 2.34 and GCC 11's C++
# runtime have; and its programs run with the system's spdlog and fmt out of reach. On Windows, a
# program with a console of its own waits for a key before it ends.
#
# Usage: archive_test.sh ARCHIVE
#
# The guide's sessions: a fenced block `console` is a session on Linux, `doscon` one on Windows. In
# it a line starting with the prompt ("$ ", "C:\server>") is a command, run in the unpacked folder;
# lines starting with "> " are typed into it; every other line is its output, standard output and
# standard error as they come. A fenced block right after a line "<!-- file PATH -->" is written to
# PATH in the folder when the guide reaches it. Sessions run in the guide's order, in one folder.
set -euo pipefail
shopt -s nullglob
archive="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
root="$(cd "$(dirname "$0")/.." && pwd)"
name="$(basename "$archive")"
name="${name%.zip}"
name="${name%.tar.gz}"
version="${name#Nestkeep-}"
version="${version%-*-*}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "archive test, $name: $*" >&2
  failures=$((failures + 1))
}

parent="$work/Server files, café 日本語"
mkdir -p "$parent"
case "$archive" in
  *.zip)
    (cd "$parent" && unzip -q "$archive")
    windows=1 exe=.exe session=doscon prompt='C:\server>'
    ;;
  *)
    tar -xzf "$archive" -C "$parent"
    windows='' exe='' session=console prompt='$ '
    ;;
esac
folder="$parent/$name"
[ -d "$folder" ] || { fail "it does not unpack into $name/"; exit 1; }

# ---- Linux: shared libraries and symbol versions ------------------------------------------------
runtimes=" libc.so.6 libm.so.6 libstdc++.so.6 libgcc_s.so.1 ld-linux-x86-64.so.2 "
# The newest of each family that every system with glibc 2.34 has: glibc's own, and GCC 11's C++
# runtime and libgcc_s.
newest=(GLIBC_2.34 GLIBCXX_3.4.29 CXXABI_1.3.13 GCC_7.0.0)
not_newer() { [ "$(printf '%s\n%s\n' "$1" "$2" | sort -V | tail -n 1)" = "$2" ]; }

check_elf() {
  local elf="$1" shown="${1#"$folder"/}" needed runpath entry lib found versions version limit
  mapfile -t needed < <(readelf -d --wide "$elf" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
  IFS=: read -r -a runpath < <(readelf -d --wide "$elf" |
                                 sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]$/\2/p') || true
  for entry in "${runpath[@]}"; do
    [[ $entry == '$ORIGIN'* ]] || fail "$shown looks for libraries in $entry, outside the archive"
  done
  for lib in "${needed[@]}"; do
    [[ $runtimes == *" $lib "* ]] && continue
    found=''
    for entry in "${runpath[@]}"; do
      [ -f "$(dirname "$elf")${entry#'$ORIGIN'}/$lib" ] && found=1
    done
    [ -n "$found" ] || fail "$shown needs $lib, neither a C or C++ runtime nor the archive's own"
  done
  versions="$(readelf -V --wide "$elf" | sed -n 's/.*Name: \([A-Z]*_[0-9.]*\).*/\1/p' | sort -uV)"
  local highest=''
  for limit in "${newest[@]}"; do
    for version in $(grep "^${limit%%_*}_" <<<"$versions" || true); do
      not_newer "${version#*_}" "${limit#*_}" ||
        fail "$shown needs $version, newer than $limit: it would not start on every system with glibc 2.34"
    done
    highest+=" ${version:-no ${limit%%_*}}"
    version=''
  done
  echo "  $shown: needs ${needed[*]};${highest}"
}

# The system's spdlog and fmt, where they are installed, hidden behind an empty file for each
# command run: the archive's programs must not reach for them.
hidden=()
run_linux() { bash -c "$1"; }
if [ -z "$windows" ]; then
  echo "archive test, $name: the shared libraries and the newest symbol versions each file needs"
  while IFS= read -r -d '' file; do
    if [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ]; then check_elf "$file"; fi
  done < <(find "$folder" -type f -print0 | sort -z)
  mapfile -t hidden < <(ldconfig -p | sed -n 's/^\s*lib\(spdlog\|fmt\)\.so.* => //p' |
                          xargs -r -n 1 readlink -f | sort -u)
  if [ ${#hidden[@]} -gt 0 ]; then
    hide='for f in "${@:2}"; do mount --bind /dev/null "$f" || exit 99; done; exec bash -c "$1"'
    run_linux() { unshare --mount bash -c "$hide" hide "$1" "${hidden[@]}"; }
    if ! run_linux true 2>/dev/null; then
      run_linux() { unshare --map-root-user --mount bash -c "$hide" hide "$1" "${hidden[@]}"; }
    fi
    run_linux "! test -s '${hidden[0]}'" ||
      { fail "cannot put the system's spdlog and fmt out of reach (unshare --mount)"; exit 1; }
  fi
fi

# Runs one command line in the folder as the platform's shell would, with input on its standard
# input; its standard output and error together on ours.
run() {
  if [ -n "$windows" ]; then
    printf '%s' "$2" | (cd "$folder" && "$root/scripts/wine-run.sh" cmd /c "$1")
  else
    printf '%s' "$2" | (cd "$folder" && run_linux "$1")
  fi
}

# ---- What is in it ------------------------------------------------------------------------------
for f in GUIDE.md CHANGELOG.md LICENSE examples/content.txt examples/config.schema.json \
         "ArkApi/Plugins/Nestkeep/config.json" "bin/nestkeep-check$exe" "bin/nestkeep-sandbox$exe"; do
  [ -f "$folder/$f" ] || fail "$f is missing"
done
grep -qs '^MIT License$' "$folder/LICENSE" || fail "LICENSE is not the MIT licence"
changed="$(sed -n 's/^## \([0-9][0-9.]*\) .*/\1/p' "$folder/CHANGELOG.md" 2>/dev/null | head -n 1 || true)"
[ "$changed" = "$version" ] || fail "CHANGELOG.md's newest version is $changed, not $version"
for program in nestkeep-check nestkeep-sandbox; do
  said="$(run "bin/$program$exe --version" '' 2>&1 || true)"
  [ "$said" = "$program $version" ] || fail "$program --version says \"$said\", not $version"
done

# ---- The examples, and the demonstration --------------------------------------------------------
for example in "$folder"/examples/*.json; do
  file="examples/$(basename "$example")"
  [ "$file" = examples/config.schema.json ] && continue
  [ -n "$windows" ] && file="${file//\//\\}"
  said="$(run "bin/nestkeep-check$exe $file" '' 2>&1)" || fail "the checker refuses $file: $said"
  [ "$(tail -n 1 <<<"$said")" = "$file: the module would load this file (0 warnings)" ] ||
    fail "$file does not pass the checker without a warning: $said"
done
said="$(run "bin/nestkeep-sandbox$exe --demo --dir ." '' 2>&1)" || fail "the demonstration failed"
grep -q "reply id=1 type=0: Successfully reloaded!" <<<"$said" ||
  fail "the demonstration did not end with a reload: $(tail -n 20 <<<"$said")"

# ---- The guide's sessions -----------------------------------------------------------------------
# A log line's date and time are the day's.
stamp='s#^[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2} #MM/DD/YY HH:MM #'
command='' input='' expected='' sessions=0
finish_command() {
  [ -n "$command" ] || return 0
  local said status=0
  said="$(run "$command" "$input" 2>&1)" || status=$?
  # Wine's cmd does not confirm a copy or a move as Windows' own does.
  [ -n "$windows" ] && expected="$(grep -Ev '^ +1 file\(s\) (copied|moved)\.$' <<<"$expected" || true)"
  if [ "$(sed -E "$stamp" <<<"$said")" != "$(sed -E "$stamp" <<<"${expected%$'\n'}")" ]; then
    fail "the guide's session \"$command\" (exit $status) differs from the guide:"
    diff <(sed -E "$stamp" <<<"${expected%$'\n'}") <(sed -E "$stamp" <<<"$said") | sed 's/^/    /' >&2 || true
  fi
  sessions=$((sessions + 1))
  command='' input='' expected=''
}
mode='' target=''
while IFS= read -r line || [ -n "$line" ]; do
  case "$mode" in
    '')
      if [[ $line =~ ^'<!-- file '(.+)' -->'$ ]]; then
        target="${BASH_REMATCH[1]}"
      elif [[ $line == '```'* ]]; then
        if [ -n "$target" ]; then
          mode=file
          : >"$folder/$target"
        elif [ "$line" = '```'"$session" ]; then
          mode=session
        else
          mode=other
        fi
      fi
      ;;
    file)
      if [ "$line" = '```' ]; then
        mode='' target=''
      else
        printf '%s\n' "$line" >>"$folder/$target"
      fi
      ;;
    session)
      if [ "$line" = '```' ]; then
        finish_command
        mode=''
      elif [[ $line == "$prompt"* ]]; then
        finish_command
        command="${line#"$prompt"}"
      elif [[ $line == '> '* ]]; then
        input+="${line#> }"$'\n'
      else
        expected+="$line"$'\n'
      fi
      ;;
    other)
      [ "$line" = '```' ] && mode=''
      ;;
  esac
done < <(cat "$folder/GUIDE.md" 2>/dev/null)
[ "$sessions" -gt 0 ] || fail "GUIDE.md has no $session session"

# ---- Windows: a program with a console of its own waits for a key before it ends -----------------
# Run straight from a terminal, a program under wine gets a console of its own, as one double-clicked
# in Explorer does on Windows; and like that one it starts in bin/, where it finds no config.
if [ -n "$windows" ]; then
  mkfifo "$work/keys"
  (cd "$folder/bin" && exec script -qfec "'$root/scripts/wine-run.sh' nestkeep-check.exe" /dev/null \
     <"$work/keys" >"$work/window" 2>&1) &
  window=$!
  exec 3>"$work/keys"
  # Wine draws the console's text with cursor moves between the letters.
  asks() { [[ $(sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' "$work/window" | tr -d ' \r\n') == *pressakey* ]]; }
  for _ in $(seq 600); do asks && break; sleep 0.1; done
  sleep 1
  if ! asks || ! kill -0 "$window" 2>/dev/null; then
    fail "nestkeep-check in a console of its own did not wait for a key:" \
      "$(sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' "$work/window")"
  else
    printf x >&3
    for _ in $(seq 200); do kill -0 "$window" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$window" 2>/dev/null; then
      fail "nestkeep-check in a console of its own did not end when a key was pressed"
      kill "$window"
    fi
  fi
  exec 3>&-
  wait "$window" || true
fi

if [ "$failures" -gt 0 ]; then
  echo "archive test, $name: $failures failure(s)" >&2
  exit 1
fi
echo "archive test, $name: unpacked under \"$(basename "$parent")\"; contents, versions, examples," \
  "the demonstration and $sessions commands of the guide's sessions as shown"
