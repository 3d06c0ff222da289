#!/usr/bin/env bash
# The CTest fixture "pgserver": a private PostgreSQL cluster in the build folder for the team history's
# tests (tests/support/pg-cluster), with the roles docs/team-server.md has a server make: quarvel_owner
# (who makes the schema; here also CREATEDB, so each test makes a database of its own) and, in
# quarvel_technicians, ann and bob. The passwords are in DIR/password (one for all). `stop` always removes the cluster.
#   pg_fixture.sh start DIR | stop DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cluster="$here/../support/pg-cluster"
case "${1:-}" in
  start)
    "$cluster" remove "$2"  # what an interrupted run left
    "$cluster" start "$2"
    pw="$(cat "$2/password")"
    "$cluster" sql "$2" "
      CREATE ROLE quarvel_owner LOGIN CREATEDB PASSWORD '$pw';
      CREATE ROLE quarvel_technicians NOLOGIN;
      CREATE ROLE ann LOGIN PASSWORD '$pw' IN ROLE quarvel_technicians;
      CREATE ROLE bob LOGIN PASSWORD '$pw' IN ROLE quarvel_technicians;"
    ;;
  stop) "$cluster" remove "$2" ;;
  *) echo "usage: pg_fixture.sh start|stop DIR" >&2; exit 2 ;;
esac
