# Shell functions shared by the end-to-end scripts (run_case.sh and
# translations/example_run.sh): outputs made comparable with the expected
# files of a case, and the update mode that rewrites those files.
#
# Update mode: with VELDORA_UPDATE_GOLDEN=1 in the environment the scripts
# write what the program produced into the expected files instead of
# comparing, so that a deliberate change of the output is reviewed in
# `git diff`:
#
#   VELDORA_UPDATE_GOLDEN=1 ctest --test-dir build/release -R 'golden|translations.german|example'

updating() {
  [ "${VELDORA_UPDATE_GOLDEN:-}" = 1 ]
}

# mask_generation_time FILE STARTED FINISHED: FILE with its report generation
# time replaced by "<generation time>". The run wrote it in the local time
# layout of asctime ("Tue Dec  8 09:48:49 2026") at one of the seconds from
# STARTED to FINISHED (seconds since the epoch); only those texts are masked,
# so that a fixed time of the same layout, such as the compilation time of the
# bundled example, is still compared. A cell shows the time with its double
# space before a one-digit day made single.
mask_generation_time() {
  local script="" second time
  for ((second = $2; second <= $3; ++second)); do
    time=$(LC_ALL=C date -d "@$second" '+%a %b %e %H:%M:%S %Y')
    script+="s/$time/<generation time>/g;s/${time//  / }/<generation time>/g;"
  done
  sed -e "$script" "$1"
}

# XROD:NODE uses a prefix the document never declares; xmllint reports that as
# a namespace error but still exits 0. Only well-formedness counts.
check_well_formed() {
  local errors
  if ! errors=$(xmllint --noout "$1" 2>&1); then
    echo "report is not well-formed:"; grep -v 'namespace error' <<< "$errors" | head
    return 1
  fi
}

# EXPECTED takes the bytes of ACTUAL; says so when they differ.
update_expected() {
  if ! cmp -s "$2" "$1"; then
    cp "$2" "$1"
    echo "updated $1"
  fi
}
