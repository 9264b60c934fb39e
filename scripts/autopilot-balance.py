#!/usr/bin/env python3
"""Plays the whole game with the autopilot for many seeds and prints the balance table
(Markdown) that assets/data/README.md keeps: play time, deaths, and the level on arrival at
each boss.

  scripts/autopilot-balance.py [--game build/release/game] [--seeds 1-20] [--jobs 2]
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

BOSS = re.compile(r"at the boss (\S+) \(enemy (\d+)\): level (\d+)")
FELL = re.compile(r"the hero fell to .* \(enemy (\d+)\)")
TOTAL = re.compile(r"total: game (\d+):(\d+):(\d+)\s+wall\s+([\d.]+) s.*battles (\d+).*deaths (\d+)")


def play(game, seed):
    work = tempfile.mkdtemp(prefix=f"ardo-autopilot-{seed}-")
    try:
        os.mkdir(os.path.join(work, "save"))
        for name in os.listdir(game):
            if name != "save" and os.path.isdir(os.path.join(game, name)):
                os.symlink(os.path.abspath(os.path.join(game, name)), os.path.join(work, name))
        env = dict(os.environ, SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy")
        r = subprocess.run([os.path.join(game, "ardo"), "--headless", "--autopilot", "--seed", str(seed),
                            "--data", work], cwd=work, env=env, capture_output=True, text=True, timeout=1800)
        total = [l for l in r.stdout.splitlines() if "total:" in l or "STUCK" in l]
        print(f"seed {seed}: exit {r.returncode} {total[-1].strip() if total else ''}", file=sys.stderr, flush=True)
        return seed, r.returncode, r.stdout
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--game", default="build/release/game")
    ap.add_argument("--seeds", default="1-20")
    ap.add_argument("--jobs", type=int, default=2)
    a = ap.parse_args()
    a.game = os.path.abspath(a.game)
    lo, _, hi = a.seeds.partition("-")
    seeds = range(int(lo), int(hi or lo) + 1)
    with ThreadPoolExecutor(a.jobs) as pool:
        runs = list(pool.map(lambda s: play(a.game, s), seeds))

    bosses = {}  # name -> {"enemy": id, "levels": [first arrival per seed], "falls": n, "seeds_fallen": n}
    times, walls, battles, deaths, failed = [], [], [], [], []
    for seed, rc, out in runs:
        if rc != 0:
            failed.append(seed)
        seen = {}
        fallen = {}
        for line in out.splitlines():
            m = BOSS.search(line)
            if m:
                b = bosses.setdefault(m.group(1), {"enemy": int(m.group(2)), "levels": [], "falls": 0, "seeds": 0})
                if m.group(1) not in seen:
                    seen[m.group(1)] = True
                    b["levels"].append(int(m.group(3)))
            m = FELL.search(line)
            if m:
                for name, b in bosses.items():
                    if b["enemy"] == int(m.group(1)):
                        b["falls"] += 1
                        fallen[name] = True
            m = TOTAL.search(line)
            if m:
                times.append(int(m.group(1)) * 60 + int(m.group(2)) + int(m.group(3)) / 60)
                walls.append(float(m.group(4)))
                battles.append(int(m.group(5)))
                deaths.append(int(m.group(6)))
        for name in fallen:
            bosses[name]["seeds"] += 1

    def span(xs, fmt="{:.0f}"):
        if not xs:
            return "–"
        return f"{fmt.format(min(xs))} / {fmt.format(statistics.median(xs))} / {fmt.format(max(xs))}"

    n = len(runs)
    print(f"Seeds {seeds.start}–{seeds.stop - 1} ({n} runs, {n - len(failed)} reached the staff roll"
          + (f"; failed: {', '.join(map(str, failed))}" if failed else "") + "). min / median / max:\n")
    print("| | |")
    print("|---|---|")
    print(f"| play time (game minutes) | {span(times)} |")
    print(f"| wall time (s, release build) | {span(walls, '{:.1f}')} |")
    print(f"| battles | {span(battles)} |")
    print(f"| game overs (any battle) | {span(deaths)} |")
    print()
    print("| Boss | Enemy | Level on arrival | Game overs there (all runs) | Runs with a game over there |")
    print("|---|---|---|---|---|")
    for name, b in bosses.items():
        print(f"| {name} | {b['enemy']} | {span(b['levels'])} | {b['falls']} | {b['seeds']} of {n} |")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
