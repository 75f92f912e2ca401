// The companion never loses a user's file: one row per way it once did,
// through the real binary on a copy of the example data. Each row is a shell
// script (POSIX sh) with $T the binary, $D the data directory (with its
// separator), $S a scratch directory; it sets things up, runs $T, and ends in
// its checks. The row passes when the script exits 0, so every check is a
// command that fails when the file was lost or touched.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_support.h"

namespace linesynth::tools {
namespace {

using linesynth::testing::TempDir;

struct SafetyRow {
    const char* fault;
    const char* script;
};

// Shared by the scripts: the status and standard error of one run.
//   run ARGS...        -> $status, $err (standard output goes to $S/out);
//                         a run that hangs ends after 60 s with status 124
//   expect STATUS TEXT -> fails unless the run ended with STATUS and its
//                         standard error holds TEXT
constexpr const char* helpers = R"sh(
run() { timeout 60 "$T" "$@" >"$S/out" 2>"$S/err"; status=$?; err=$(cat "$S/err"); }
expect() {
  [ "$status" = "$1" ] || { echo "status $status, not $1: $err"; exit 1; }
  case "$err" in *"$2"*) ;; *) echo "standard error without \"$2\": $err"; exit 1;; esac
}
cp "$D/synthesis.txt" "$S/hand-set"
)sh";

const SafetyRow rows[] = {
    {"-o naming a device replaced it with a regular file",
     R"sh(run plot --dir "$D" -o /dev/full
          expect 1 "/dev/full is not a regular file; it is left alone"
          test -c /dev/full)sh"},
    {"-o naming a FIFO replaced it with a regular file",
     R"sh(mkfifo "$S/pipe"
          run report --dir "$D" -o "$S/pipe"
          expect 1 "is not a regular file; it is left alone"
          test -p "$S/pipe")sh"},
    {"a link at FILE.new had its target overwritten, and FILE became the link",
     R"sh(echo victim >"$S/victim"; ln -s "$S/victim" "$S/out.svg.new"
          run plot --dir "$D" -o "$S/out.svg"
          expect 0 ""
          [ "$(cat "$S/victim")" = victim ] && test -f "$S/out.svg" && ! test -L "$S/out.svg")sh"},
    {"a link at synthesis.txt.bak had the old weights written through it",
     R"sh(echo victim >"$S/victim"; ln -s "$S/victim" "$D/synthesis.txt.bak"
          run fit --dir "$D" --write
          expect 0 "the old file is synthesis.txt.bak.1"
          [ "$(cat "$S/victim")" = victim ] && test -L "$D/synthesis.txt.bak"
          cmp "$D/synthesis.txt.bak.1" "$S/hand-set")sh"},
    {"two fit --write at once tore synthesis.txt or lost the hand-set weights",
     R"sh("$T" fit --dir "$D" >"$S/fitted"
          for round in 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20; do
            rm -f "$D"/synthesis.txt.bak*; cp "$S/hand-set" "$D/synthesis.txt"
            "$T" fit --dir "$D" --write 2>"$S/err1" & "$T" fit --dir "$D" --write --wait 2>"$S/err2"
            second=$?; wait $!; first=$?
            [ "$second" = 0 ] || { echo "round $round: --wait gave $second"; exit 1; }
            [ "$first" = 0 ] || grep -q "is locked by another linesynth-tools --write" "$S/err1" ||
              { echo "round $round: $(cat "$S/err1")"; exit 1; }
            cmp -s "$D/synthesis.txt" "$S/fitted" || { echo "round $round: torn"; exit 1; }
            cmp -s "$D/synthesis.txt.bak" "$S/hand-set" || { echo "round $round: lost"; exit 1; }
          done)sh"},
    {"a second fit --write put the first one's weights into .bak",
     R"sh(run fit --dir "$D" --write; expect 0 "the old file is synthesis.txt.bak"
          run fit --dir "$D" --write; expect 0 "the old file is synthesis.txt.bak.1"
          cmp "$D/synthesis.txt.bak" "$S/hand-set")sh"},
    {"a read-only synthesis.txt was replaced without a word",
     R"sh(chmod a-w "$D/synthesis.txt"
          run fit --dir "$D" --write
          expect 1 "synthesis.txt is read-only; it is left alone"
          cmp "$D/synthesis.txt" "$S/hand-set" && ! test -e "$D/synthesis.txt.bak")sh"},
    {"fit --write gave the new file and the backup the default permissions",
     R"sh(chmod 600 "$D/synthesis.txt"
          run fit --dir "$D" --write
          expect 0 "the old file is synthesis.txt.bak"
          [ "$(stat -c %a "$D/synthesis.txt")" = 600 ] && [ "$(stat -c %a "$D/synthesis.txt.bak")" = 600 ])sh"},
    {"-o naming an input, or its .new name, replaced it",
     R"sh(cp "$D/vlt.txt" "$S/vlt"
          run plot --dir "$D" -o "$D/vlt.txt"
          expect 1 "vlt.txt is a file that linesynth or linesynth-tools reads or writes"
          run plot --dir "$D" -o "$D/vlt.txt.new"
          expect 1 "vlt.txt.new is a file that linesynth or linesynth-tools reads or writes"
          cmp "$D/vlt.txt" "$S/vlt" && ! test -e "$D/vlt.txt.new")sh"},
    {"report --mask m.new -o m moved the mask onto the output",
     R"sh(echo "6541.05 6541.05" >"$S/m.new"
          run report --dir "$D" --mask "$S/m.new" -o "$S/m"
          expect 0 ""
          [ "$(cat "$S/m.new")" = "6541.05 6541.05" ])sh"},
    {"-o naming the summary page or a backup wiped it",
     R"sh(cp "$D/vltOut.htm" "$S/summary"; echo old >"$D/synthesis.txt.bak"
          run report --dir "$D" -o "$D/vltOut.htm"
          expect 1 "is a file that linesynth or linesynth-tools reads or writes"
          run plot --dir "$D" -o "$D/synthesis.txt.bak"
          expect 1 "is a file that linesynth or linesynth-tools reads or writes"
          cmp "$D/vltOut.htm" "$S/summary" && [ "$(cat "$D/synthesis.txt.bak")" = old ])sh"},
    {"survey -o replaced its own --from list, or a directory's mask or sigma file",
     R"sh(printf '%s\n' "$D" >"$S/dirs.csv"; cp "$S/dirs.csv" "$S/list"
          run survey --from "$S/dirs.csv" -o "$S/dirs.csv"
          expect 1 "dirs.csv is a file that linesynth or linesynth-tools reads or writes"
          echo "6541.05 6541.05" >"$D/mask.csv"; cp "$D/sigma.txt" "$D/sigma.csv"
          run survey "$D" --mask-name mask.csv -o "$D/mask.csv"
          expect 1 "mask.csv is a file that linesynth or linesynth-tools reads or writes"
          run survey --from "$S/list" --sigma-name sigma.csv -o "$D/sigma.csv"
          expect 1 "sigma.csv is a file that linesynth or linesynth-tools reads or writes"
          cmp "$S/dirs.csv" "$S/list" && cmp "$D/sigma.csv" "$D/sigma.txt" &&
            [ "$(cat "$D/mask.csv")" = "6541.05 6541.05" ])sh"},
    {"survey took a FIFO or a dangling link under --mask-name or --sigma-name as absent",
     R"sh(mkfifo "$D/mask.txt"; ln -s nowhere "$D/sigma.csv"
          run survey "$D" --mask-name mask.txt; expect 1 "1 of 1 directories failed"
          grep -q ',mask_file,".*mask.txt is not a regular file' "$S/out"
          run survey "$D" --sigma-name sigma.csv; expect 1 "1 of 1 directories failed"
          grep -q ',sigma_file,".*sigma.csv is not a regular file' "$S/out")sh"},
    {"one directory that never finished held up the whole survey",
     R"sh([ -z "$ASAN" ] && [ -n "$STALLED_OPEN" ] || exit 0
          mkdir "$S/slow"; cp "$D"/*.txt "$S/slow/"
          export LD_PRELOAD="$STALLED_OPEN" LINESYNTH_STALLED_PATH=slow/continum.txt \
                 LINESYNTH_STALL_SECONDS=30
          start=$(date +%s); run survey --time-limit 1 "$S/slow" "$D"; took=$(($(date +%s) - start))
          unset LD_PRELOAD
          expect 1 "1 of 2 directories failed"
          grep -q ',timeout,.*--time-limit' "$S/out" && grep -q ',ok,' "$S/out" &&
            [ "$took" -lt 20 ])sh"},
    {"a termination or hang-up during a write left the temporary behind",
     R"sh([ -z "$ASAN" ] && [ -n "$STALLED_OPEN" ] || exit 0
          # Not SIGINT: a shell without job control starts its background
          # commands with interrupts ignored, and the companion keeps that.
          for signal in TERM:143 HUP:129; do
            LD_PRELOAD="$STALLED_OPEN" LINESYNTH_STALL_FSYNC=1 LINESYNTH_STALL_SECONDS=30 \
              "$T" fit --dir "$D" --write >"$S/out" 2>"$S/err" &
            waited=0
            until ls "$D" | grep -q '[.]new-'; do
              sleep 0.1; waited=$((waited + 1))
              [ "$waited" -lt 100 ] || { echo "no temporary appeared"; exit 1; }
            done
            kill -"${signal%:*}" $!; wait $!; status=$?
            [ "$status" = "${signal#*:}" ] || { echo "$signal: status $status"; exit 1; }
            ! ls "$D" | grep '[.]new-' && cmp "$D/synthesis.txt" "$S/hand-set" || exit 1
          done)sh"},
    {"survey aborted (status 134) when threads or memory ran short",
     R"sh([ -z "$ASAN" ] || exit 0
          for limit in 100000 150000 200000 300000; do
            (ulimit -v $limit; exec "$T" survey --jobs 256 "$D" "$D" "$D" >"$S/out" 2>"$S/err")
            status=$?
            [ "$status" -le 1 ] || { echo "limit $limit: status $status, $(cat "$S/err")"; exit 1; }
          done)sh"},
    {"a byte-order mark at the start of a --from list was taken as part of a name",
     R"sh(printf '\357\273\277%s\r\n' "$D" >"$S/list"
          run survey --from "$S/list"; expect 0 ""
          grep -q ",ok," "$S/out")sh"},
    {"explore wrote its own FILE.new, and replaced an input named by -o",
     R"sh(echo victim >"$S/victim"; ln -s "$S/victim" "$S/page.html.new"
          run explore --dir "$D" -o "$S/page.html"
          expect 0 ""
          [ "$(cat "$S/victim")" = victim ] && test -f "$S/page.html"
          run explore --dir "$D" --fit -o "$D/synthesis.txt"
          expect 1 "synthesis.txt is a file that linesynth or linesynth-tools reads or writes"
          cmp "$D/synthesis.txt" "$S/hand-set")sh"},
    {"empty --dir meant the default directory, an empty --mask no mask",
     R"sh(run fit --dir "" --write; expect 2 "--dir: an empty value names no file"
          run stats --dir "$D" --mask ""; expect 2 "--mask: an empty value names no file"
          run plot --dir "$D" -o ""; expect 2 "an empty value names no file")sh"},
    {"a directory as --mask ended in an uncaught exception (status 134)",
     R"sh(run stats --dir "$D" --mask "$S"
          expect 1 ": cannot read the mask file"
          [ "$(wc -l <"$S/err")" = 1 ])sh"},
    {"--mask /dev/zero read until memory ran out",
     R"sh(run stats --dir "$D" --mask /dev/zero
          expect 1 "/dev/zero is larger than 64 MiB")sh"},
    {"a mask written with a row's own wavelength text excluded nothing",
     R"sh(echo "6541.05 6541.05" >"$S/mask"
          run stats --dir "$D" --mask "$S/mask"
          expect 0 ""
          grep -q "^compared rows: *399$" "$S/out")sh"},
    {"a mask starting with a byte-order mark was refused",
     R"sh(printf '\357\273\2776541.05 6541.05\n' >"$S/mask"
          run stats --dir "$D" --mask "$S/mask"
          expect 0 ""
          grep -q "^compared rows: *399$" "$S/out")sh"},
    {"a FIFO mask hung report, or was listed as 0 bytes with the empty digest",
     R"sh(mkfifo "$S/mask"; (echo "6541.05 6541.05" >"$S/mask" &)
          run report --dir "$D" --mask "$S/mask" -o "$S/page.html"
          expect 0 ""
          grep -q "fbd01c0c8294c6eb74ffa324e6c670b66028d39ad57b012c2ea8c4f98c949c9d" "$S/page.html")sh"},
    {"a FIFO qdqd.txt hung fit --write while it held the directory lock",
     R"sh(rm "$D/qdqd.txt"; mkfifo "$D/qdqd.txt"
          run fit --dir "$D" --write
          expect 1 "qdqd.txt is not a regular file (a FIFO, device or directory); it is not read"
          cmp "$D/synthesis.txt" "$S/hand-set")sh"},
    {"export into a closed pipe ended by SIGPIPE (status 141)",
     R"sh({ sleep 1; "$T" export --dir "$D" 2>"$S/err"; echo $? >"$S/status"; } | true
          status=$(cat "$S/status"); err=$(cat "$S/err")
          expect 1 "cannot write standard output")sh"},
    {"a file size limit killed the tool (SIGXFSZ), leaving its temporary",
     R"sh((ulimit -f 4; run export --dir "$D" -o "$S/out.csv"
           [ "$status" = 1 ] && [ "$err" = "linesynth-tools: cannot write $S/out.csv" ]) ||
            { echo "$(cat "$S/err")"; exit 1; }
          ! ls "$S"/out.csv* 2>/dev/null)sh"},
    {"fit --write said nothing was written (status 1) with standard output full",
     R"sh("$T" fit --dir "$D" --write >/dev/full 2>"$S/err"; status=$?; err=$(cat "$S/err")
          expect 3 "cannot write standard output; the files were replaced all the same"
          ! cmp -s "$D/synthesis.txt" "$S/hand-set")sh"},
    {"a pair torn between the renames of fit --write --scale stayed torn",
     R"sh(printf '2\r\n0\r\n' >"$D/qdqd.txt.new-Ab12Cd"
          printf 'synthesis.txt.new-Xy34Zw\tsynthesis.txt\nqdqd.txt.new-Ab12Cd\tqdqd.txt\n' \
            >"$D/linesynth-tools.journal"
          run fit --dir "$D" --write
          expect 0 "completed an interrupted replacement: qdqd.txt"
          [ "$(cat "$D/qdqd.txt")" = "$(printf '2\r\n0\r')" ] &&
            ! test -e "$D/linesynth-tools.journal" && ! test -e "$D/qdqd.txt.new-Ab12Cd")sh"},
    {"another user's file in a world-writable directory was replaced",
     R"sh([ "$(id -u)" = 0 ] && command -v setpriv >/dev/null || exit 0
          mkdir "$S/shared"; chmod 777 "$S/shared"; chmod 755 "$S" "$D"
          echo root-owned >"$S/shared/results.csv"; chmod 644 "$S/shared/results.csv"
          setpriv --reuid=65534 --regid=65534 --clear-groups "$T" export --dir "$D" \
            -o "$S/shared/results.csv" >"$S/out" 2>"$S/err"; status=$?; err=$(cat "$S/err")
          expect 1 "results.csv is read-only; it is left alone"
          [ "$(cat "$S/shared/results.csv")" = root-owned ])sh"},
    {"a failed write to standard output still exited 0",
     R"sh("$T" fit --dir "$D" >/dev/full 2>"$S/err"; status=$?; err=$(cat "$S/err")
          expect 1 "cannot write standard output")sh"},
};

// The address sanitizer maps terabytes of shadow memory as a program starts,
// so under an address-space limit the program cannot even begin, and it
// refuses a library preloaded before it: the rows that set either have
// nothing to learn there.
#if defined(__SANITIZE_ADDRESS__)
constexpr const char* address_sanitized = "1";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr const char* address_sanitized = "1";
#else
constexpr const char* address_sanitized = "";
#endif
#else
constexpr const char* address_sanitized = "";
#endif

#if defined(LINESYNTH_STALLED_OPEN)
constexpr const char* stalled_open = LINESYNTH_STALLED_OPEN;
#else
constexpr const char* stalled_open = "";
#endif

TEST(FileSafety, EveryRowLeavesTheUsersFilesAlone) {
    for (const SafetyRow& row : rows) {
        SCOPED_TRACE(row.fault);
        TempDir data;
        TempDir scratch;
        std::filesystem::copy(LINESYNTH_EXAMPLE_DATA, data.path(),
                              std::filesystem::copy_options::recursive);
        const std::string script = std::string(helpers) + row.script;
        linesynth::testing::write_file(scratch.file("row.sh"), script);
        const std::string command = "ASAN='" + std::string(address_sanitized) + "' STALLED_OPEN='" +
                                    stalled_open + "' T='" + std::string(LINESYNTH_TOOLS_BINARY) +
                                    "' D='" + data.dir_with_separator() + "' S='" +
                                    scratch.path().string() + "' sh " + scratch.file("row.sh") +
                                    " >" + scratch.file("log") + " 2>&1";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << linesynth::testing::read_file(scratch.file("log"));
    }
}

}  // namespace
}  // namespace linesynth::tools
