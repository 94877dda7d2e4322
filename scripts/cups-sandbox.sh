#!/usr/bin/env bash
# A private cupsd for the tests, never the machine's own.
#   cups-sandbox.sh start STATEFILE   starts it; STATEFILE gets its settings
#   cups-sandbox.sh stop STATEFILE    stops it by its PID and removes it
# STATEFILE is a shell fragment to source: CUPS_SERVER, CUPS_SERVERROOT,
# CUPS_STATEDIR, HOME for the clients; FB_CUPS_DIR, FB_CUPS_PID and
# FB_CUPS_OUTPUT (the folder where the queue "FB_Test_PDF" leaves each job
# as job-<id>.pdf).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

start() {
  local state=$1
  [ -f "$state" ] && stop "$state"
  # Filters run as lp, so every folder above the sandbox must be
  # searchable by others; the socket path must stay under 108 bytes.
  local dir
  dir=$(mktemp -d /tmp/fb-cups.XXXXXX)
  chmod 0755 "$dir"
  mkdir -p "$dir"/{etc/ppd,spool/tmp,state/certs,cache,log,lib,output,home}
  chmod 0755 "$dir/output"
  for sub in filter cgi-bin daemon notifier monitor driver; do
    [ -e "/usr/lib/cups/$sub" ] && ln -s "/usr/lib/cups/$sub" "$dir/lib/$sub"
  done
  mkdir -p "$dir/lib/backend"
  install -m 0700 "$here/cups/pdffolder" "$dir/lib/backend/pdffolder"
  # The virtual printer's port "Kavero Port" is the installer's backend; its
  # driver needs nothing here (the spooler uploads the PPD with each printer).
  local kavero="$here/../prninst/cups/kavero"
  if [ -f "$kavero" ]; then install -m 0700 "$kavero" "$dir/lib/backend/kavero"; fi

  cat > "$dir/cupsd.conf" <<CONF
Listen $dir/cups.sock
LogLevel warn
ErrorPolicy abort-job
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
    Allow all
  </Limit>
</Policy>
CONF
  cat > "$dir/cups-files.conf" <<CONF
ServerRoot $dir/etc
RequestRoot $dir/spool
TempDir $dir/spool/tmp
StateDir $dir/state
CacheDir $dir/cache
ServerBin $dir/lib
DataDir /usr/share/cups
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap $dir/etc/printcap
FileDevice Yes
SystemGroup root
CONF
  cp "$dir/cupsd.conf" "$dir/etc/cupsd.conf"

  cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" > "$dir/log/cupsd.out" 2>&1 &
  local pid=$!
  cat > "$state" <<STATE
export CUPS_SERVER=$dir/cups.sock
export CUPS_SERVERROOT=$dir/etc
export CUPS_STATEDIR=$dir/state
export HOME=$dir/home
FB_CUPS_DIR=$dir
FB_CUPS_PID=$pid
FB_CUPS_OUTPUT=$dir/output
STATE

  local env=(CUPS_SERVER="$dir/cups.sock" CUPS_SERVERROOT="$dir/etc" CUPS_STATEDIR="$dir/state" HOME="$dir/home")
  local tries=0
  # lpstat -r succeeds either way; only its words tell whether cupsd listens.
  until [[ "$(env "${env[@]}" lpstat -r 2>/dev/null)" == "scheduler is running"* ]]; do
    tries=$((tries + 1))
    if ! kill -0 "$pid" 2>/dev/null || [ "$tries" -gt 100 ]; then
      echo "cups-sandbox: cupsd did not start; its log:" >&2
      cat "$dir/log/cupsd.out" "$dir/log/error_log" >&2 2>/dev/null || true
      stop "$state"
      return 1
    fi
    sleep 0.1
  done
  # lpadmin warns that printer drivers are deprecated; only its status counts.
  env "${env[@]}" lpadmin -p FB_Test_PDF -v "pdffolder:$dir/output" -P "$here/cups/pdffolder.ppd" -E \
    2>"$dir/log/lpadmin.err" || { cat "$dir/log/lpadmin.err" >&2; stop "$state"; return 1; }
  env "${env[@]}" lpadmin -d FB_Test_PDF
  echo "cups-sandbox: cupsd $pid on $dir/cups.sock"
}

stop() {
  local state=$1
  [ -f "$state" ] || return 0
  local FB_CUPS_PID="" FB_CUPS_DIR=""
  # shellcheck disable=SC1090
  . "$state"
  if [ -n "$FB_CUPS_PID" ] && kill -0 "$FB_CUPS_PID" 2>/dev/null; then
    kill "$FB_CUPS_PID"
    for _ in $(seq 50); do kill -0 "$FB_CUPS_PID" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$FB_CUPS_PID" 2>/dev/null || true
  fi
  case "$FB_CUPS_DIR" in /tmp/fb-cups.*) rm -rf "$FB_CUPS_DIR" ;; esac
  rm -f "$state"
}

case "${1:-}" in
  start) [ "$#" -eq 2 ] && start "$2" ;;
  stop) [ "$#" -eq 2 ] && stop "$2" ;;
  *) echo "usage: $0 start|stop STATEFILE" >&2; exit 2 ;;
esac
