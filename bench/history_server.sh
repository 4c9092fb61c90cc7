# Sourced by the history benchmarks, with $root and $work set: a new $work
# and a PostgreSQL server of its own in $work/postgres
# (tests/export/history/test_server.py), stopped when the script ends, its
# URL in $url; and location STORE NAME, a history for one measurement: a
# new file, or a new schema on the server.
rm -rf "$work"
mkdir -p "$work"
python3 "$root/tests/export/history/test_server.py" start "$work/postgres"
trap 'python3 "$root/tests/export/history/test_server.py" stop "$work/postgres"' EXIT
url=$(cat "$work/postgres/url")

location() {
  if [ "$1" = sqlite ]; then
    echo "$work/$2.sqlite"
  else
    psql -q "$url" -c "CREATE SCHEMA $2" >/dev/null
    echo "$url?options=-csearch_path%3D$2"
  fi
}
