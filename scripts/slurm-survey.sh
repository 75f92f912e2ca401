#!/usr/bin/env bash
# A survey of many data directories on a Slurm cluster:
#   scripts/slurm-survey.sh [OPTIONS] DIRS.txt OUTPUT.ecsv [-- SURVEY OPTIONS]
# DIRS.txt names one data directory per line (relative to the folder the
# script is started in, blanks allowed; empty lines are skipped). The script
# submits one job array whose tasks each take a block of consecutive
# directories and run linesynth on them with GNU parallel over the task's
# cores, then one job that waits for them all and runs
#   linesynth-tools survey --fit --jobs CORES --from DIRS -o OUTPUT.ecsv [SURVEY OPTIONS]
# (for example `-- --sigma-name sigma.txt`). Every job starts in the folder
# the script was started in.
#
# Few tasks rather than one per directory: a scheduler spends about a second
# on each task, and sites count each task as a job. The block size is the
# smallest that keeps the array within the cluster's MaxArraySize (from
# `scontrol show config`) and within --tasks, and at least --block.
#
# Resumable: each task keeps a GNU parallel joblog per block in the state
# folder and runs with --resume, so the same command submitted again after a
# task was killed (a lost node, a time limit) runs only the directories that
# no task finished. A run that a signal ended counts as unfinished; a run that
# failed on its data is finished, and its survey row says why. The state
# folder also keeps the list and the block size of the first submission: a
# different list is refused, so that a block never means other directories.
#
# Options:
#   -p, --partition NAME   partition of every job
#   -t, --time LIMIT       time limit of each task (sbatch --time)
#   -c, --cpus N           cores per task and for the survey (default 4)
#   -n, --tasks N          at most N tasks (default 100)
#   -b, --block N          at least N directories per task (default 20)
#   --sbatch ARG           one more argument for every sbatch (repeatable)
#   --state DIR            state folder (default OUTPUT without .ecsv, plus .slurm)
#   --wait                 wait for the survey job and exit with its status
#   --dry-run              print the sbatch commands; submit and write nothing
# The programs are LINESYNTH and LINESYNTH_TOOLS when set, else linesynth and
# linesynth-tools on the PATH; they, GNU parallel and the folders must be
# reachable from the compute nodes under the same names.
set -euo pipefail

# The comment above, as the help text; a usage error gets it on standard
# error and status 2.
usage() {
  sed -n '2,/^set -euo/p' "$0" | sed -e '/^set -euo/d' -e 's/^# \{0,1\}//'
}
usage_error() {
  echo "slurm-survey.sh: $1" >&2
  usage >&2
  exit 2
}

# One array task: the directories of block SLURM_ARRAY_TASK_ID of the list.
run_block() {
  local state=$1 block=$2 linesynth=$3
  local index=$SLURM_ARRAY_TASK_ID
  local first=$((index * block + 1))
  local last=$((first + block - 1))
  local joblog="$state/joblog-$block-$index.txt"
  # A run ended by a signal (the task was cancelled under it) may have left
  # its directory half written: drop it from the joblog so that it runs again.
  # The joblog shows a signal in its own column, or as the status 128 + n of
  # the shell that ran the command; linesynth itself exits with 0 or 1.
  if [[ -f "$joblog" ]]; then
    awk -F'\t' 'NR == 1 || ($7 >= 0 && $7 < 128 && $8 == 0)' "$joblog" >"$joblog.new"
    mv "$joblog.new" "$joblog"
  fi
  local status=0
  # The command in single quotes: the job's own shell expands $LINESYNTH.
  # shellcheck disable=SC2016
  sed -n "${first},${last}p" "$state/dirs.txt" |
    LINESYNTH="$linesynth" parallel --halt never --jobs "${SLURM_CPUS_PER_TASK:-1}" \
      --joblog "$joblog" --resume \
      'TAVO_DIR={} "$LINESYNTH" </dev/null >{}/console.txt 2>&1' || status=$?
  # parallel's status counts the runs that failed (up to 101): those are
  # finished, and the survey reports them. Anything above is its own failure.
  if ((status > 101)); then
    exit "$status"
  fi
  exit 0
}

# The survey job: given as arguments rather than a command line, so that no
# name is ever parsed by a shell.
collect() {
  local tools=$1
  shift
  exec "$tools" survey --fit "$@"
}

case "${1:-}" in
  --task) shift && run_block "$@" ;;
  --collect) shift && collect "$@" ;;
esac

partition=()
time_limit=()
cpus=4
max_tasks=100
min_block=20
extra=()
state=""
wait_for_survey=()
dry_run=false
while (($#)); do
  case "$1" in
    -p | --partition) partition=("--partition=${2:?}") && shift 2 ;;
    -t | --time) time_limit=("--time=${2:?}") && shift 2 ;;
    -c | --cpus) cpus=${2:?} && shift 2 ;;
    -n | --tasks) max_tasks=${2:?} && shift 2 ;;
    -b | --block) min_block=${2:?} && shift 2 ;;
    --sbatch) extra+=("${2?}") && shift 2 ;;
    --state) state=${2:?} && shift 2 ;;
    --wait) wait_for_survey=(--wait) && shift ;;
    --dry-run) dry_run=true && shift ;;
    -h | --help) usage && exit 0 ;;
    --) break ;;
    -*) usage_error "unknown option $1" ;;
    *) break ;;
  esac
done
(($# >= 2)) || usage_error "a list of directories and an output file are needed"
list=$1
output=$2
shift 2
if (($#)); then
  [[ "$1" == "--" ]] || usage_error "survey options go after --"
  shift
fi
survey_options=("$@")
for number in "$cpus" "$max_tasks" "$min_block"; do
  [[ "$number" =~ ^[1-9][0-9]{0,8}$ ]] || usage_error "--cpus, --tasks and --block take a whole number from 1"
done
[[ -f "$list" && -r "$list" ]] ||
  { echo "slurm-survey.sh: cannot read the list $list" >&2 && exit 2; }

here=$PWD
self=$(realpath "$0")
output=$(realpath -m "$output")
state=$(realpath -m "${state:-${output%.ecsv}.slurm}")
linesynth=${LINESYNTH:-$(command -v linesynth || true)}
tools=${LINESYNTH_TOOLS:-$(command -v linesynth-tools || true)}
[[ -n "$linesynth" && -n "$tools" ]] ||
  { echo "slurm-survey.sh: linesynth and linesynth-tools are not on the PATH (or set LINESYNTH and LINESYNTH_TOOLS)" >&2 && exit 2; }
linesynth=$(realpath "$linesynth")
tools=$(realpath "$tools")

# The list as the survey reads it: a line end may be CR LF, and an empty
# line names nothing. A byte order mark is not part of the first name.
dirs=$(sed -e '1s/^\xEF\xBB\xBF//' -e 's/\r$//' -e '/^$/d' "$list")
count=$(printf '%s' "$dirs" | grep -c '' || true)
((count > 0)) || { echo "slurm-survey.sh: $list names no directory" >&2 && exit 2; }

array_limit=$(scontrol show config 2>/dev/null | awk -F= '/^MaxArraySize/ {gsub(/ /, "", $2); print $2}' || true)
if [[ ! "$array_limit" =~ ^[1-9][0-9]*$ ]]; then
  $dry_run || { echo "slurm-survey.sh: scontrol show config gives no MaxArraySize: is Slurm reachable?" >&2 && exit 1; }
  array_limit=1001
  echo "(no cluster reachable: MaxArraySize taken as Slurm's default, $array_limit)"
fi
# Task indices run from 0 to MaxArraySize - 1.
tasks_allowed=$((max_tasks < array_limit ? max_tasks : array_limit))
block=$(((count + tasks_allowed - 1) / tasks_allowed))
block=$((block > min_block ? block : min_block))
if [[ -f "$state/dirs.txt" ]]; then
  if [[ "$(cat "$state/dirs.txt")" != "$dirs" ]]; then
    echo "slurm-survey.sh: $state holds an earlier survey of another list; remove it to start afresh" >&2
    exit 2
  fi
  # The block size of the first submission, so that the joblogs still apply.
  block=$(cat "$state/block.txt")
fi
tasks=$(((count + block - 1) / block))
if ((tasks > array_limit)); then
  echo "slurm-survey.sh: the earlier blocks of $block need $tasks tasks, beyond MaxArraySize $array_limit" >&2
  exit 1
fi

common=(--chdir="$here" "${partition[@]}" "${extra[@]}")
runs=(sbatch --parsable --job-name=linesynth-runs --array="0-$((tasks - 1))"
  --cpus-per-task="$cpus" "${time_limit[@]}" --output="$state/logs/runs-%A_%a.txt"
  "${common[@]}" "$self" --task "$state" "$block" "$linesynth")
# afterok: the survey waits until every task has run its whole block; when a
# task was killed, Slurm cancels it, and the same command submitted again
# finishes the blocks and collects them.
survey=(sbatch --parsable --job-name=linesynth-survey --cpus-per-task="$cpus"
  --output="$state/logs/survey-%j.txt" --kill-on-invalid-dep=yes "${wait_for_survey[@]}"
  "${common[@]}" "$self" --collect "$tools" --jobs "$cpus" --from "$state/dirs.txt"
  -o "$output" "${survey_options[@]}")

echo "$count directories in $tasks tasks of at most $block (MaxArraySize $array_limit, --tasks $max_tasks)"
if $dry_run; then
  printf '%q ' "${runs[@]}"
  echo
  # sbatch takes its options before the script, as the live submission does.
  printf '%q ' "${survey[@]:0:2}" --dependency=afterok:RUNS_JOB "${survey[@]:2}"
  echo
  exit 0
fi

# Two submissions at once would run one block twice, into one joblog.
if [[ -f "$state/jobs.txt" ]] &&
  [[ -n "$(squeue -h --jobs="$(tr ' ' , <"$state/jobs.txt")" 2>/dev/null)" ]]; then
  echo "slurm-survey.sh: the jobs $(cat "$state/jobs.txt") of an earlier submission are still queued or running" >&2
  exit 1
fi
mkdir -p "$state/logs"
echo "$block" >"$state/block.txt"
printf '%s\n' "$dirs" >"$state/dirs.txt"
runs_job=$("${runs[@]}")
runs_job=${runs_job%%;*}
echo "$runs_job" >"$state/jobs.txt"
echo "runs job: $runs_job"
survey=("${survey[@]:0:2}" --dependency="afterok:$runs_job" "${survey[@]:2}")
# Without --wait, sbatch prints the job at once; with it, when the job ends.
status=0
survey_job=$("${survey[@]}") || status=$?
survey_job=${survey_job%%;*}
[[ -z "$survey_job" ]] || echo "$runs_job $survey_job" >"$state/jobs.txt"
echo "survey job: $survey_job"
echo "output: $output (logs in $state/logs)"
exit "$status"
