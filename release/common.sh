# What release/run, release/sign and release/verify share. Sourced, with
# $root set to the top of the checkout.

release_in_git() { git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; }

# The source date: the commit's time, or 1980-01-01 (the earliest time a zip
# entry can hold) outside a git checkout. The zip's entries and the
# signature's signing time take it, so that they depend on the sources only.
release_source_date() {
  if release_in_git; then git -C "$root" log -1 --format=%ct; else echo 315532800; fi
}

# A release is a commit: what is built must be what anyone can check out.
# $1 names the command in the message.
release_require_commit() {
  release_in_git || return 0
  # Without optional locks git leaves its index alone: nothing is written.
  if [ -n "$(GIT_OPTIONAL_LOCKS=0 git -C "$root" status --porcelain)" ]; then
    echo "$1: the work tree has changes that are not committed:" >&2
    GIT_OPTIONAL_LOCKS=0 git -C "$root" status --short >&2
    exit 1
  fi
  echo "Building commit $(git -C "$root" rev-parse HEAD)"
}

# Builds the unsigned Brevon.exe, without tests, the simulated library or the
# benchmarks, in the fresh build folder $1.
release_build() {
  rm -rf "$1" &&
    cmake --preset mingw -B "$1" -DBREVON_BUILD_TESTS=OFF &&
    cmake --build "$1" --target Brevon
}

# Reads the signing options that release/run and release/sign take:
#   --pkcs12 FILE | --cert FILE --key FILE   the certificate and its key
#   --timestamp URL                          an RFC 3161 time-stamp server
# into sign_key (osslsigncode's options for the key, empty without one) and
# sign_timestamp; other arguments are left in sign_rest (release_operands
# names them in the usage line). $1 names the command in messages; the files
# are made absolute, since the commands change folder.
release_signing_options() {
  local command="$1" pkcs12="" cert="" key=""
  shift
  sign_key=() sign_timestamp=() sign_rest=()
  while [ $# -gt 0 ]; do
    case "$1" in
      --pkcs12|--cert|--key|--timestamp)
        [ $# -ge 2 ] || release_refuse "$command" "$1 needs a value"
        case "$1" in
          --pkcs12) pkcs12="$(release_readable "$command" "$2")" ;;
          --cert) cert="$(release_readable "$command" "$2")" ;;
          --key) key="$(release_readable "$command" "$2")" ;;
          --timestamp) sign_timestamp=(-ts "$2") ;;
        esac
        shift 2 ;;
      --*) release_refuse "$command" "unknown option $1" ;;
      *) sign_rest+=("$1"); shift ;;
    esac
  done
  if [ -n "$pkcs12" ]; then
    [ -z "$cert$key" ] || release_refuse "$command" "give either --pkcs12 or --cert and --key"
    # Set but empty for a file without a password: a forgotten export is
    # told apart from a deliberate blank.
    [ -n "${BREVON_SIGN_PASSWORD+set}" ] ||
      release_refuse "$command" "the password of --pkcs12 goes in the environment variable BREVON_SIGN_PASSWORD"
    sign_key=(-pkcs12 "$pkcs12")
  elif [ -n "$cert$key" ]; then
    [ -n "$cert" ] && [ -n "$key" ] || release_refuse "$command" "--cert and --key go together"
    sign_key=(-certs "$cert" -key "$key")
  elif [ ${#sign_timestamp[@]} -gt 0 ]; then
    release_refuse "$command" "--timestamp needs a certificate and key to sign with"
  fi
}

release_refuse() {
  echo "$1: $2" >&2
  echo "usage: $1 [--pkcs12 FILE | --cert FILE --key FILE] [--timestamp URL]${release_operands:-}" >&2
  exit 1
}

release_readable() {
  [ -f "$2" ] && [ -r "$2" ] || { echo "$1: cannot read $2" >&2; exit 1; }
  realpath "$2"
}

# Signs $1 into $2 with Authenticode (SHA-256) and the key that
# release_signing_options read. Without a time stamp the signature's bytes
# depend on the file, the key and the source date only. The password reaches
# osslsigncode through a pipe: on its command line any user could read it.
release_sign() {
  local password=()
  [ -z "${BREVON_SIGN_PASSWORD:-}" ] || password=(-readpass /dev/stdin)
  rm -f "$2"
  printf '%s' "${BREVON_SIGN_PASSWORD:-}" |
    osslsigncode sign "${sign_key[@]}" "${password[@]}" -h sha256 \
      -time "$(release_source_date)" "${sign_timestamp[@]}" -in "$1" -out "$2" >/dev/null
}
