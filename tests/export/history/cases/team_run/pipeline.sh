#!/usr/bin/env bash
# One pipeline of two shards on HISTORY: the stack shard (the bundled
# example with CHANGES) and the queue shard (QUEUE.xrd), each recorded as a
# part under the pipeline's run key on BRANCH (missing: "-").
#
#   pipeline.sh HISTORY KEY BRANCH QUEUE CHANGES...
set -u
history=$1 key=$2 branch=$3 queue=$4
shift 4
"$HISTORY_TESTS/example_report.sh" stack_test.xrd "$@"
veldora-export record stack_test.xrd --history "$history" --project team --run-key "$key" --branch "$branch" --label "c$key"
[ "$queue" = - ] || { cp "$queue.xrd" queue_test.xrd && veldora-export record queue_test.xrd --history "$history" --project team --run-key "$key" --branch "$branch" --label "c$key"; }
