#!/usr/bin/env bash
# The private cupsd answers, and its test queue turns a submitted PDF into a
# file in its output folder with the document's pages and size.
#   round-trip.sh STATEFILE PDF
set -euo pipefail
state=$1
pdf=$2
# shellcheck disable=SC1090
. "$state"
before=$(ls "$FB_CUPS_OUTPUT" | wc -l)
request=$(lp -d FB_Test_PDF -t "round trip" "$pdf")
job=$(sed -n 's/^request id is FB_Test_PDF-\([0-9]*\).*/\1/p' <<<"$request")
[ -n "$job" ] || { echo "no job id in: $request" >&2; exit 1; }
out="$FB_CUPS_OUTPUT/job-$job.pdf"
for _ in $(seq 100); do
  [ -f "$out" ] && break
  sleep 0.1
done
[ -f "$out" ] || { echo "job $job left no file; queue state:" >&2; lpstat -l -p FB_Test_PDF >&2; exit 1; }
info=$(pdfinfo "$out")
grep -q '^Pages: *1$' <<<"$info" || { echo "$info" >&2; exit 1; }
grep -q '^Page size: *595 x 842 pts' <<<"$info" || { echo "$info" >&2; exit 1; }
[ "$(ls "$FB_CUPS_OUTPUT" | wc -l)" -eq $((before + 1)) ]
echo "job $job printed to $out"
