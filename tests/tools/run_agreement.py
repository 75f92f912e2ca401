"""The run and `linesynth-tools stats --json` agree on how a run ends.

Usage: run_agreement.py LINESYNTH LINESYNTH_TOOLS EXAMPLE_DIR [COPIES [SEED]]

Makes COPIES mutated copies of the example data set (one or two edits each:
a value swapped for a hostile one, a count changed, a file cut short, a
calibration pair made equal), runs the run and the companion on each, and
compares the outcome each gives: the run's exit status, stop text and
run-time error number against the companion's status and message. The
outcomes are classed as

  ok              the run reaches its normal stop; stats exits 0
  stop            a calibration error stop or a refused count (status 0 with
                  a report); stats refuses with the stop's own words
  F6501, M6104..  the run-time error report with that number; stats refuses
                  with the same number in its message

Prints a table of the outcomes and exits 1 on the first disagreement.
"""

import json
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile

HOSTILE = [
    "1e6", "1e14", "-1e14", "3e38", "-3e38", "1e39", "0", "-0", "1e-45",
    "(* 1", "(5* 1", "'x'", "2*", "*", ",", "/", "x", "99999999999",
    "1.5e308", "", "16#7FFFFFFF", "-2147483648", "10001", "11", "-1",
]

INPUTS = ["synthesis.txt", "vlt.txt", "FDftn.txt", "continum.txt", "VeltoOut1.txt",
          "VeltoOut2.txt", "VeltoOut3.txt", "qdqd.txt"]


def replace_token(text, rng, new):
    tokens = list(re.finditer(r"\S+", text))
    if not tokens:
        return new
    token = rng.choice(tokens)
    return text[:token.start()] + new + text[token.end():]


def set_line(text, line, new):
    lines = text.split("\n")
    lines += [""] * (line + 1 - len(lines))  # a file cut short before
    lines[line] = new
    return "\n".join(lines)


def mutate(directory, rng):
    """One or two edits; returns what was done, for the report."""
    done = []
    for _ in range(rng.choice([1, 1, 2])):
        kind = rng.randrange(8)
        name = rng.choice(INPUTS)
        path = os.path.join(directory, name)
        with open(path, "r", encoding="latin-1", newline="") as f:
            text = f.read()
        if kind <= 2:
            new = rng.choice(HOSTILE)
            text = replace_token(text, rng, new)
            done.append(f"{name}: a token -> {new!r}")
        elif kind == 3:
            text = text[:rng.randrange(len(text) + 1)]
            done.append(f"{name}: cut")
        elif kind == 4:
            name = "vlt.txt"
            text = open(os.path.join(directory, name), encoding="latin-1").read()
            # wavelengths, pixels, flux/level pairs: make one pair equal
            line, new = rng.choice([(3, "6537.8 6537.8"), (4, "1 1"), (5, "1.0 12000"),
                                    (6, "1.0 12000 0.5"), (3, "0 0")])
            text = set_line(text, line, new)
            path = os.path.join(directory, name)
            done.append(f"{name}: line {line + 1} -> {new!r}")
        elif kind == 5:
            name = "synthesis.txt"
            path = os.path.join(directory, name)
            weights = [rng.choice(["0.5", "1e6", "-1e6", "1e30", "0", "3e38"]) for _ in range(3)]
            text = "3\n" + "\n".join(weights) + "\n"
            done.append(f"{name}: weights {weights}")
        elif kind == 6:
            name = rng.choice(["continum.txt", "VeltoOut1.txt", "FDftn.txt"])
            path = os.path.join(directory, name)
            text = open(path, encoding="latin-1").read()
            lines = text.split("\n")
            if len(lines) < 2:
                lines.append("")
            row = rng.randrange(1, len(lines))
            value = rng.choice(["1e14", "3e38", "-3e38", "1e30"])
            if name == "FDftn.txt":
                lines[row] = (lines[row].split() or ["6540"])[0] + " " + value
            else:
                lines[row] = value
            text = "\n".join(lines)
            done.append(f"{name}: row {row} -> {value}")
        else:
            new = rng.choice(["0", "1", "2", "399", "401", "10000", "10001", "-5"])
            text = set_line(text, 0, new + (" 2 4" if name == "FDftn.txt" else ""))
            done.append(f"{name}: first record -> {new}")
        with open(path, "w", encoding="latin-1", newline="") as f:
            f.write(text)
    return done


def run_outcome(linesynth, directory):
    env = dict(os.environ, TAVO_DIR=directory)
    done = subprocess.run([linesynth], input=b"\n", capture_output=True, env=env, timeout=60)
    out = done.stdout.decode("latin-1")
    err = done.stderr.decode("latin-1")
    if done.returncode == 1:
        found = re.search(r"run-time error ([FM]\d{4})", err)
        return found.group(1) if found else "error?", err.strip()
    if done.returncode == 0:
        if "CALIBRATION ERROR" in out or "TOO LONG" in out or "TOO MANY" in out:
            return "stop", out.strip().splitlines()[0]
        return "ok", ""
    return f"status {done.returncode}", err


def stats_outcome(tools, directory):
    done = subprocess.run([tools, "stats", "--json", "--dir", directory], capture_output=True,
                          timeout=60)
    if done.returncode == 0:
        return "ok", ""
    if done.returncode != 1:
        return f"status {done.returncode}", done.stderr.decode()
    error = json.loads(done.stdout)["error"]
    message = error["message"]
    run = error.get("run")
    found = re.search(r"\[([FM]\d{4})\]", message)
    if run == "fails" and found:
        return found.group(1), message
    if run == "stops" and ("calibration" in message or "the run stops" in message
                           or "more than the tables hold" in message
                           or "more than there are" in message):
        return "stop", message
    if run == "completes":
        return "ok", message
    return f"refused ({run})", message


def main():
    linesynth, tools, example = sys.argv[1:4]
    copies = int(sys.argv[4]) if len(sys.argv) > 4 else 200
    seed = int(sys.argv[5]) if len(sys.argv) > 5 else 6563
    rng = random.Random(seed)
    tally = {}
    with tempfile.TemporaryDirectory() as root:
        for copy in range(copies):
            directory = os.path.join(root, f"copy{copy}")
            shutil.copytree(example, directory)
            os.remove(os.path.join(directory, "vltOut.htm"))
            edits = mutate(directory, rng)
            companion = stats_outcome(tools, directory)
            run = run_outcome(linesynth, directory)
            if companion[0] != run[0]:
                print(f"copy {copy} disagrees: {edits}")
                print(f"  run:       {run}")
                print(f"  companion: {companion}")
                return 1
            tally[run[0]] = tally.get(run[0], 0) + 1
            shutil.rmtree(directory)
    print(f"{copies} mutated copies (seed {seed}), every outcome agreed:")
    for outcome, count in sorted(tally.items(), key=lambda item: -item[1]):
        print(f"  {outcome:8} {count}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
