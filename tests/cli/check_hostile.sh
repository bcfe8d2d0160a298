#!/usr/bin/env bash
# quorvane-cli against inputs and outputs that try to break it: files that
# never end or are not text, folders, FIFOs nobody writes, bad draw counts,
# outputs that are no regular file or cannot be written, a full disk, a
# standard output that fails. Each case checks the exit code, a fragment of
# the message and, for outputs, that nothing was destroyed.
#   check_hostile.sh CLI EXAMPLE SMALL_DISK_SCRIPT CASE
set -u
cli=$1
example=$2
small_disk=$3
case_name=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$case_name: $*"; exit 1; }

# run EXPECTED_RC FRAGMENT ARGS...: the exit code and a fragment of standard error.
run() {
  local expected=$1 fragment=$2
  shift 2
  timeout -k 5 20 "$cli" "$@" >"$work/out" 2>"$work/err"
  local rc=$?
  [ "$rc" -eq "$expected" ] || fail "exit code $rc, expected $expected: $(cat "$work/err")"
  grep -qF -- "$fragment" "$work/err" || fail "no \"$fragment\" in: $(cat "$work/err")"
}

# interrupted ARGS...: started, given SIGINT after half a second, it must end
# with exit code 8 within a second of the signal.
interrupted() {
  "$cli" "$@" >"$work/out" 2>"$work/err" &
  local pid=$!
  sleep 0.5
  local start
  start=$(date +%s%N)
  kill -INT "$pid"
  local waited=0
  while kill -0 "$pid" 2>/dev/null && [ $waited -lt 100 ]; do sleep 0.01; waited=$((waited + 1)); done
  kill -0 "$pid" 2>/dev/null && { kill -KILL "$pid"; fail "still running a second after SIGINT"; }
  wait "$pid"
  local rc=$?
  local ms=$((($(date +%s%N) - start) / 1000000))
  [ "$rc" -eq 8 ] || fail "exit code $rc after SIGINT, expected 8: $(cat "$work/err")"
  grep -q "Interrupted" "$work/err" || fail "no interruption message: $(cat "$work/err")"
  echo "$case_name: ended $ms ms after SIGINT"
}

counts=(--controls 20 --covariates 2)
quick=(--draws 2000)
summary="$(dirname "$example")/summary-statistics.txt"
case $case_name in
  fifo_data)
    mkfifo "$work/f" && interrupted "${counts[@]}" "$work/f" ;;
  fifo_summary)
    mkfifo "$work/f" && interrupted --summary "$work/f" ;;
  fifo_cases)
    mkfifo "$work/f" && interrupted "${counts[@]}" --cases "$work/f" "$example" ;;
  stalled_pipe)
    # A pipe whose writer holds it open without writing.
    mkfifo "$work/f"
    sleep 30 >"$work/f" &
    holder=$!
    interrupted "${counts[@]}" "$work/f"
    kill "$holder" 2>/dev/null ;;
  zero_summary) run 4 "holds a control character" --summary /dev/zero ;;
  # Endless random bytes; a Ctrl-Z would end the data where it stands (as it
  # does in any file), so the stream holds none; the first control character
  # may stand on any of the first lines.
  urandom_summary) run 4 "the file does not look like plain text" --summary <(tr -d '\032' </dev/urandom) ;;
  zero_cases) run 4 "holds a control character" "${counts[@]}" --cases /dev/zero "$example" ;;
  urandom_cases)
    run 4 "the file does not look like plain text" "${counts[@]}" \
      --cases <(tr -d '\032' </dev/urandom) "$example" ;;
  folder_data) run 4 "\": it is a folder" "${counts[@]}" "$work" ;;
  folder_summary) run 4 "\": it is a folder" --summary "$work" ;;
  folder_cases) run 4 "\": it is a folder" "${counts[@]}" --cases "$work" "$example" ;;
  control_bytes)
    printf '28 2\0008 121 14\n' >"$work/d.txt" && sed -n '2,21p' "$example" >>"$work/d.txt"
    run 4 "Invalid numeric input at line 1, column 2: \"2\\x008\" holds a control character" \
      "${counts[@]}" "$work/d.txt" ;;
  utf16_cases)
    printf 'a 9 27 84 11\n' | iconv -t UTF-16LE >"$work/c.txt"
    run 4 "is UTF-16" "${counts[@]}" --cases "$work/c.txt" "$example" ;;
  utf16_data)
    iconv -t UTF-16LE <"$example" >"$work/d.txt"
    run 4 "the raw data file is UTF-16" "${counts[@]}" "$work/d.txt" ;;
  long_case_line)
    { printf 'id'; head -c 3000000 /dev/zero | tr '\0' x; printf ' 9 27 84 11\n'; } >"$work/c.txt"
    run 4 "is longer than 1048576 characters" "${counts[@]}" --cases "$work/c.txt" "$example" ;;
  draws_octal)
    # Decimal digits only: 020000 is twenty thousand, never octal.
    run 0 "" "${counts[@]}" --draws 020000 "$example"
    grep -q "Number of posterior draws = 20000 (not the usual" "$work/out" || fail "not 20000 draws" ;;
  draws_hex) run 2 "whole number from 1 to 2147483647" "${counts[@]}" --draws 0x100 "$example" ;;
  draws_zero) run 2 "whole number from 1 to 2147483647" "${counts[@]}" --draws 0 "$example" ;;
  draws_negative) run 2 "whole number from 1 to 2147483647" "${counts[@]}" --draws -1 "$example" ;;
  draws_blank) run 2 "whole number from 1 to 2147483647" "${counts[@]}" --draws "20000 " "$example" ;;
  empty_cases)
    : >"$work/c.txt" && run 4 "holds no case" "${counts[@]}" --cases "$work/c.txt" "$example" ;;
  write_summary_with_output)
    run 2 "--output has nothing to write" "${counts[@]}" --write-summary "$work/s.txt" \
      --output "$work/o.txt" "$example" ;;
  output_names_summary)
    cp "$summary" "$work/s.txt"
    run 2 "names the input file" --summary "$work/s.txt" --output "$work/s.txt"
    cmp -s "$summary" "$work/s.txt" || fail "the summary file was changed" ;;
  plot_names_summary)
    cp "$summary" "$work/s.png"
    run 2 "names the input file" --summary "$work/s.png" --plot "$work/s.png"
    cmp -s "$summary" "$work/s.png" || fail "the summary file was changed" ;;
  stdout_full)
    timeout 20 "$cli" "${counts[@]}" "${quick[@]}" "$example" >/dev/full 2>"$work/err"
    rc=$?
    [ "$rc" -eq 6 ] || fail "exit code $rc, expected 6"
    grep -q "could not be written to standard output: No space left on device" "$work/err" \
      || fail "$(cat "$work/err")" ;;
  stdout_closed)
    timeout 20 "$cli" "${counts[@]}" "${quick[@]}" --format json "$example" >&- 2>"$work/err"
    rc=$?
    [ "$rc" -eq 6 ] || fail "exit code $rc, expected 6"
    grep -q "could not be written to standard output" "$work/err" || fail "$(cat "$work/err")" ;;
  broken_pipe)
    # The reader has gone long before the report is written (it takes a
    # fraction of a second to draw): the file is still written, and the
    # closed pipe is reported (no death by SIGPIPE).
    timeout 20 "$cli" "${counts[@]}" --draws 300000 --output "$work/o.txt" "$example" \
      2>"$work/err" | true
    rc=${PIPESTATUS[0]}
    [ "$rc" -eq 6 ] || fail "exit code $rc, expected 6: $(cat "$work/err")"
    grep -q "Bayesian point estimate" "$work/o.txt" || fail "the --output file was not written" ;;
  output_not_regular)
    mkfifo "$work/fifo"
    mkdir "$work/folder"
    targets=("$work/fifo" "$work/folder")
    if [ "$(id -u)" -eq 0 ]; then
      mknod "$work/device" c 1 3  # a null device of the test's own
      targets+=("$work/device")
    fi
    for target in "${targets[@]}"; do
      run 6 "could not be written to the file $target: it is" "${counts[@]}" "${quick[@]}" \
        --output "$target" "$example"
    done
    [ -p "$work/fifo" ] && [ -d "$work/folder" ] || fail "an output replaced a FIFO or a folder"
    if [ "$(id -u)" -eq 0 ]; then [ -c "$work/device" ] || fail "the device was replaced"; fi ;;
  output_read_only)
    echo "keep" >"$work/r.txt" && chmod 0444 "$work/r.txt"
    run 6 "the file is read-only" "${counts[@]}" "${quick[@]}" --output "$work/r.txt" "$example"
    [ "$(cat "$work/r.txt")" = keep ] || fail "the read-only file was changed"
    [ "$(stat -c %a "$work/r.txt")" = 444 ] || fail "its permissions changed" ;;
  output_symlink)
    echo old >"$work/target.txt" && ln -s target.txt "$work/link.txt"
    run 0 "" "${counts[@]}" "${quick[@]}" --output "$work/link.txt" "$example"
    [ -L "$work/link.txt" ] || fail "the link was replaced"
    grep -q "Bayesian point estimate" "$work/target.txt" || fail "the link's target was not written" ;;
  full_disk)
    # Every kind of output onto a full disk: the earlier file survives, and
    # the exit code says so.
    exec "$small_disk" bash "$0" "$cli" "$example" "$small_disk" full_disk_inside ;;
  full_disk_inside)
    disk=${QUORVANE_SMALL_DISK:?}
    for name in report.txt plots.png plots.svg plots.pdf summary.txt; do
      echo "earlier $name" >"$disk/$name"
    done
    # Fill the rest of the disk.
    dd if=/dev/zero of="$disk/filler" bs=4k 2>/dev/null
    run 6 "could not be written to the file $disk/report.txt" "${counts[@]}" "${quick[@]}" \
      --output "$disk/report.txt" "$example"
    for name in plots.png plots.svg plots.pdf; do
      run 6 "could not be written to the file $disk/$name" "${counts[@]}" "${quick[@]}" \
        --plot "$disk/$name" "$example"
    done
    run 6 "could not be written to the file $disk/summary.txt" "${counts[@]}" \
      --write-summary "$disk/summary.txt" "$example"
    for name in report.txt plots.png plots.svg plots.pdf summary.txt; do
      [ "$(cat "$disk/$name")" = "earlier $name" ] || fail "$name was damaged"
    done
    leftovers=$(find "$disk" -name '*.tmp')
    [ -z "$leftovers" ] || fail "temporary files left: $leftovers"
    rm -f "$disk"/* ;;
  *) fail "no such case" ;;
esac
exit 0
