#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests and the benchmark: a new cluster in a folder of its own
# under the temporary folder, reachable only on a Unix socket in that folder (no TCP port is opened, so
# servers of parallel runs never meet). STATE is a file that holds the folder and the port.
#
#   pg-test-server.sh start STATE [SETTING...]   a new server (one left by an earlier run of STATE is
#                                                removed); each SETTING as "-c name=value"
#   pg-test-server.sh restart STATE   the same server again, after it was stopped or killed
#   pg-test-server.sh stop STATE      stops it and removes its folder
set -euo pipefail
action=$1 state=$2
shift 2
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)

# The server refuses to run as root.
as_server() {
    if [[ $(id -u) -eq 0 ]]; then runuser -u postgres -- "$@"; else "$@"; fi
}

server_start() {
    as_server "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 \
        -o "-c listen_addresses='' -c unix_socket_directories=$folder -p $port -c fsync=off $settings" start >/dev/null 2>&1 || { tail -5 "$folder/server.log" >&2; exit 1; }
}

case $action in
start)
    [[ -f $state ]] && "$0" stop "$state"
    folder=$(mktemp -d /tmp/coffer-pg-XXXXXX)
    chmod 755 "$folder"
    [[ $(id -u) -eq 0 ]] && chown postgres "$folder"
    as_server "$bin/initdb" -D "$folder/data" -U postgres --auth=trust -E UTF8 --locale=C >"$folder/initdb.log"
    # The port only names the socket file, in a folder no other server uses.
    port=$((20000 + RANDOM % 30000))
    settings="$*"
    echo "$folder $port $settings" >"$state"
    server_start
    ;;
restart)
    read -r folder port settings <"$state"
    # A killed server's process may linger until it is reaped, and the new one would take it for running.
    old=$(head -1 "$folder/data/postmaster.pid" 2>/dev/null || true)
    for _ in $(seq 300); do
        [[ -n $old ]] && kill -0 "$old" 2>/dev/null || break
        sleep 0.1
    done
    server_start
    ;;
stop)
    [[ -f $state ]] || exit 0
    read -r folder port <"$state"
    # A test that failed while the server was stopped (SIGSTOP) leaves it so.
    if pid=$(head -1 "$folder/data/postmaster.pid" 2>/dev/null); then
        pkill -CONT -P "$pid" || true
        kill -CONT "$pid" || true
    fi
    as_server "$bin/pg_ctl" -D "$folder/data" -m immediate -w stop >/dev/null 2>&1 || true
    rm -rf "$folder" "$state"
    ;;
*)
    echo "usage: $0 start|restart|stop STATE" >&2
    exit 2
    ;;
esac
