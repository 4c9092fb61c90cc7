# Run k of a trace: every 997th passed verdict from a place of its own
# fails and every 13th failed one passes, so runs differ as CI runs do.
#
#   awk -v k=K -f bench/vary_trace.awk run.tdf > run_k.tdf
$1 == "OT" && NF == 3 && $3 == 1 && NR % 997 == k % 997 { $3 = 0 }
$1 == "OT" && NF == 3 && $3 == 0 && NR % 13 == k % 13 { $3 = 1 }
{ print }
