#!/usr/bin/env python3
"""Chooses, from the inputs a fuzzing campaign found, the few that add the
most coverage edges to a target's corpus, and copies them into it.

    tools/fuzz_pick_inputs.py FUZZER tests/fuzz/corpus/<name> CAMPAIGN_DIR \
        [--max 25]

1. A plain merge (`-merge=1`) into a copy of the corpus keeps the campaign
   inputs that add anything at all (often hundreds).
2. The edges the corpus covers are the union of a control-file merge of
   the corpus alone (`-use_counters=0`: edges only, no hit counts).
3. Each kept input's own edges come from a control-file merge of that
   input alone: within one merge the control file lists only the edges an
   input adds to those before it, so inputs are measured one at a time.
4. Greedily, the input adding the most edges not yet covered is taken (the
   smaller on a tie), until `--max` are taken or none adds an edge.
Prints each taken input with the edges it adds.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile


def edges(fuzzer, inputs_dir, work):
    """The union of the edges the inputs of `inputs_dir` cover."""
    control = os.path.join(work, "control")
    empty = tempfile.mkdtemp(dir=work)
    subprocess.run([fuzzer, "-merge=1", "-use_counters=0",
                    "-merge_control_file=" + control, empty, inputs_dir],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   check=True)
    covered = set()
    with open(control, encoding="utf-8", errors="replace") as f:
        for line in f:
            if line.startswith("COV "):
                covered.update(int(x) for x in line.split()[2:])
    os.remove(control)
    shutil.rmtree(empty)
    return covered


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("fuzzer")
    ap.add_argument("corpus")
    ap.add_argument("campaign")
    ap.add_argument("--max", type=int, default=25)
    args = ap.parse_args()
    fuzzer = os.path.realpath(args.fuzzer)
    with tempfile.TemporaryDirectory() as work:
        merged = os.path.join(work, "merged")
        shutil.copytree(args.corpus, merged)
        before = set(os.listdir(merged))
        subprocess.run([fuzzer, "-merge=1", merged, args.campaign],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       check=True)
        kept = sorted(set(os.listdir(merged)) - before)
        covered = edges(fuzzer, args.corpus, work)
        own = {}
        for name in kept:
            single = os.path.join(work, "single")
            os.mkdir(single)
            shutil.copy(os.path.join(merged, name), single)
            own[name] = edges(fuzzer, single, work)
            shutil.rmtree(single)
        size = {n: os.path.getsize(os.path.join(merged, n)) for n in kept}
        taken = 0
        while taken < args.max and own:
            best = max(own, key=lambda n: (len(own[n] - covered), -size[n]))
            gain = len(own[best] - covered)
            if gain == 0:
                break
            covered |= own.pop(best)
            shutil.copy(os.path.join(merged, best),
                        os.path.join(args.corpus, best))
            print(f"{best}\t+{gain} edges")
            taken += 1
        print(f"{len(kept)} campaign inputs add coverage; {taken} taken",
              file=sys.stderr)


if __name__ == "__main__":
    main()
