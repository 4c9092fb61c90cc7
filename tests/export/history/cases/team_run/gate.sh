#!/usr/bin/env bash
# The gate of a run on HISTORY, with ARGS, in the file's form and the
# server's: both must say the same, the server's location named without
# its password.
#   gate.sh HISTORY ARGS...
set -u
history=$1
shift
veldora-export diff "$history" --project team "$@" | sed -E 's/[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}/<time>/g'
echo "[gate ${PIPESTATUS[0]}]"
