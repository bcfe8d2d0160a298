#!/bin/sh
# Exit codes that need a shell around the program: not enough memory (a
# limit on its address space), an interrupted run (SIGINT while it draws),
# and that a run leaves no saved-inputs file anywhere it could write one.
#   check_kinds.sh CLI EXAMPLE KIND
set -u
cli=$1
example=$2
case $3 in
  memory)
    # 40,000,000 draws need 640 MB for the list of draws alone.
    out=$( (ulimit -v 400000; exec "$cli" --controls 20 --covariates 2 --draws 40000000 "$example") 2>&1 >/dev/null)
    rc=$?
    [ "$rc" -eq 7 ] || { echo "exit code $rc, expected 7: $out"; exit 1; }
    case $out in *"Not enough memory"*) ;; *) echo "no memory message: $out"; exit 1 ;; esac
    ;;
  interrupt)
    "$cli" --controls 20 --covariates 2 --draws 30000000 "$example" >/dev/null 2>"$4" &
    pid=$!
    sleep 1
    kill -INT $pid
    wait $pid
    rc=$?
    [ "$rc" -eq 8 ] || { echo "exit code $rc, expected 8: $(cat "$4")"; exit 1; }
    grep -q "Interrupted" "$4" || { echo "no interruption message: $(cat "$4")"; exit 1; }
    ;;
  no_saved_inputs)
    # A copy of the program in a folder of its own, run from there.
    dir=$4
    rm -rf "$dir" && mkdir -p "$dir/home" && cp "$cli" "$dir/" || exit 1
    (cd "$dir" && HOME="$dir/home" XDG_DATA_HOME="$dir/home" ./"$(basename "$cli")" \
      --controls 20 --covariates 2 --draws 2000 "$example" >/dev/null 2>&1) || exit 1
    found=$(find "$dir" -name Quorvane.txt)
    [ -z "$found" ] || { echo "the run left $found"; exit 1; }
    ;;
esac
exit 0
