# bash completion for zelctl: commands, options, the values of options that
# take a fixed set, and the section names of "status --section".

_zelctl_sections() {
  # The names status accepts, as its own help lists them ("{a,b,...}" after
  # --section); nothing when this zelctl has no --section.
  "$1" status --help 2>/dev/null |
    sed -n 's/.*--section[^{]*{\([^}]*\)}.*/\1/p' | head -n 1 | tr ',' ' '
}

_zelctl() {
  local cur prev words cword
  _init_completion || return

  local commands="discover status cancel-job"
  local global="--help --help-all --version --library --json --log --log-level
    --no-progress -t --timeout -r --retries -c --community --read-community
    --write-community -p --protocol -4 -6 -v --snmp-version --v3 -u --v3-user
    -l --v3-level -a --v3-auth -A --v3-auth-pass --v3-auth-pass-file
    -x --v3-priv -X --v3-priv-pass --v3-priv-pass-file -n --v3-context"

  case $prev in
    --library | --v3-auth-pass-file | --v3-priv-pass-file)
      _filedir
      return ;;
    --log-level) COMPREPLY=($(compgen -W "error warn info debug trace" -- "$cur")); return ;;
    -p | --protocol) COMPREPLY=($(compgen -W "ipv4 ipv6 ipx" -- "$cur")); return ;;
    -v | --snmp-version) COMPREPLY=($(compgen -W "1 2c 3" -- "$cur")); return ;;
    -l | --v3-level)
      COMPREPLY=($(compgen -W "noAuthNoPriv authNoPriv authPriv" -- "$cur"))
      return ;;
    -a | --v3-auth) COMPREPLY=($(compgen -W "MD5 SHA" -- "$cur")); return ;;
    -x | --v3-priv) COMPREPLY=($(compgen -W "DES AES" -- "$cur")); return ;;
    --job-list) COMPREPLY=($(compgen -W "0 1 2" -- "$cur")); return ;;
    --section)
      COMPREPLY=($(compgen -W "$(_zelctl_sections "${words[0]}")" -- "$cur"))
      return ;;
    -t | --timeout | -r | --retries | -c | --community | --read-community | \
      --write-community | -u | --v3-user | -A | --v3-auth-pass | -X | \
      --v3-priv-pass | -n | --v3-context | -f | --filter)
      return ;;
  esac

  local command="" i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      discover | status | cancel-job) command=${words[i]}; break ;;
    esac
  done

  if [[ $cur == -* || -n $command ]]; then
    local own=""
    case $command in
      discover) own="-f --filter -6 --ipv6 -4 --all" ;;
      status) own="--job-list -4 -6 $( [ -n "$(_zelctl_sections "${words[0]}")" ] && echo --section)" ;;
      cancel-job) own="-4 -6" ;;
    esac
    if [[ $cur == -* ]]; then
      COMPREPLY=($(compgen -W "$global $own" -- "$cur"))
    else
      _known_hosts_real -- "$cur"
    fi
    return
  fi
  COMPREPLY=($(compgen -W "$commands" -- "$cur"))
}
complete -F _zelctl zelctl
