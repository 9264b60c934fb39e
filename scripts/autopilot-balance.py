#!/usr/bin/env python3
"""Plays the whole game with the autopilot for many seeds, as the careful player (the route with
its grinds) and as the novice (`--novice`: no grinding, only the battles on the way), and prints
the balance table (Markdown) that assets/data/README.md keeps: play time, grinding, battles,
game overs and where they happen, and the level on arrival at each boss.

  scripts/autopilot-balance.py [--game build/release/game] [--seeds 1-20] [--jobs 2]
                               [--pilots careful,novice]
"""
import argparse
import collections
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

BOSS = re.compile(r"at the boss (\S+) \(enemy (\d+)\): level (\d+)")
FELL = re.compile(r"the hero fell to (\S+) \(enemy (\d+)\) on (\S+) \((\d+), (\d+)\), level (\d+)(?:, area (\d+))?")
TOTAL = re.compile(r"total: game (\d+):(\d+):(\d+)\s+wall\s+([\d.]+) s.*battles (\d+).*deaths (\d+)")
GRIND = re.compile(r"grinding: game (\d+):(\d+):(\d+)")
CHAPTER = re.compile(r"novice (.+?)\s+arrived at level\s+(\d+)\s+battles\s+(\d+)\s+game overs (\d+)")


def play(game, seed, novice):
    work = tempfile.mkdtemp(prefix=f"ardo-autopilot-{seed}-")
    try:
        os.mkdir(os.path.join(work, "save"))
        for name in os.listdir(game):
            if name != "save" and os.path.isdir(os.path.join(game, name)):
                os.symlink(os.path.abspath(os.path.join(game, name)), os.path.join(work, name))
        env = dict(os.environ, SDL_VIDEODRIVER="dummy", SDL_AUDIODRIVER="dummy")
        cmd = [os.path.join(game, "ardo"), "--headless", "--autopilot", "--seed", str(seed), "--data", work]
        if novice:
            cmd.insert(3, "--novice")
        r = subprocess.run(cmd, cwd=work, env=env, capture_output=True, text=True, timeout=1800)
        total = [l for l in r.stdout.splitlines() if "total:" in l or "STUCK" in l]
        print(f"{'novice' if novice else 'careful'} seed {seed}: exit {r.returncode} "
              f"{total[-1].strip() if total else ''}", file=sys.stderr, flush=True)
        return seed, r.returncode, r.stdout
    finally:
        shutil.rmtree(work, ignore_errors=True)


def place(map_name, area):
    """Where a game over happened, as a player would name it: the map and its encounter area."""
    return f"{map_name} (area {area})" if area is not None else map_name


def minutes(m):
    return int(m.group(1)) * 60 + int(m.group(2)) + int(m.group(3)) / 60


def summarise(runs):
    s = {"bosses": {}, "times": [], "walls": [], "battles": [], "deaths": [], "grind": [], "failed": [],
         "places": collections.Counter(), "chapters": collections.OrderedDict(), "n": len(runs)}
    for seed, rc, out in runs:
        if rc != 0 or "the staff roll was shown" not in out:
            s["failed"].append(seed)
        seen = set()
        grind = None
        for line in out.splitlines():
            m = BOSS.search(line)
            if m:
                b = s["bosses"].setdefault(m.group(1), {"enemy": int(m.group(2)), "levels": [], "falls": 0})
                if m.group(1) not in seen:
                    seen.add(m.group(1))
                    b["levels"].append(int(m.group(3)))
            m = FELL.search(line)
            if m:
                s["places"][place(m.group(3), m.group(7))] += 1
                for b in s["bosses"].values():
                    if b["enemy"] == int(m.group(2)):
                        b["falls"] += 1
            m = GRIND.search(line)
            if m:
                grind = minutes(m)
            m = CHAPTER.search(line)
            if m:
                c = s["chapters"].setdefault(m.group(1).strip(), {"levels": [], "battles": [], "deaths": []})
                c["levels"].append(int(m.group(2)))
                c["battles"].append(int(m.group(3)))
                c["deaths"].append(int(m.group(4)))
            m = TOTAL.search(line)
            if m:
                s["times"].append(minutes(m))
                s["walls"].append(float(m.group(4)))
                s["battles"].append(int(m.group(5)))
                s["deaths"].append(int(m.group(6)))
        if grind is not None and s["times"]:
            s["grind"].append(100 * grind / max(s["times"][-1], 1e-9))
    return s


def span(xs, fmt="{:.0f}"):
    if not xs:
        return "–"
    return f"{fmt.format(min(xs))} / {fmt.format(statistics.median(xs))} / {fmt.format(max(xs))}"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--game", default="build/release/game")
    ap.add_argument("--seeds", default="1-20")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--pilots", default="careful,novice")
    a = ap.parse_args()
    a.game = os.path.abspath(a.game)
    lo, _, hi = a.seeds.partition("-")
    seeds = list(range(int(lo), int(hi or lo) + 1))
    pilots = [p for p in a.pilots.split(",") if p]
    jobs = [(p, seed) for p in pilots for seed in seeds]
    with ThreadPoolExecutor(a.jobs) as pool:
        done = list(pool.map(lambda j: (j[0], play(a.game, j[1], j[0] == "novice")), jobs))
    sums = {p: summarise([r for q, r in done if q == p]) for p in pilots}

    failed = any(s["failed"] for s in sums.values())
    print(f"Seeds {seeds[0]}–{seeds[-1]}; " + "; ".join(
        f"{p}: {s['n'] - len(s['failed'])} of {s['n']} reached the staff roll"
        + (f" (failed: {', '.join(map(str, s['failed']))})" if s["failed"] else "") for p, s in sums.items())
        + ". min / median / max:\n")
    print("| | " + " | ".join(pilots) + " |")
    print("|---|" + "---|" * len(pilots))
    rows = [("play time (game minutes)", lambda s: span(s["times"])),
            ("grinding (% of the play time)", lambda s: span(s["grind"])),
            ("wall time (s, release build)", lambda s: span(s["walls"], "{:.1f}")),
            ("battles", lambda s: span(s["battles"])),
            ("game overs", lambda s: span(s["deaths"])),
            ("game overs, all runs", lambda s: str(sum(s["deaths"]))),
            ("most game overs in one place", lambda s: (
                f"{s['places'].most_common(1)[0][1]} of {sum(s['places'].values())}: {s['places'].most_common(1)[0][0]}"
                if s["places"] else "–"))]
    for label, f in rows:
        print(f"| {label} | " + " | ".join(f(sums[p]) for p in pilots) + " |")
    print()
    names = []
    for s in sums.values():
        for name in s["bosses"]:
            if name not in names:
                names.append(name)
    print("| Boss (enemy) | " + " | ".join(f"{p}: level on arrival" for p in pilots) + " | "
          + " | ".join(f"{p}: game overs there" for p in pilots) + " |")
    print("|---|" + "---|" * (2 * len(pilots)))
    for name in names:
        enemy = next(s["bosses"][name]["enemy"] for s in sums.values() if name in s["bosses"])
        lv = [span(sums[p]["bosses"][name]["levels"]) if name in sums[p]["bosses"] else "–" for p in pilots]
        falls = [str(sums[p]["bosses"][name]["falls"]) if name in sums[p]["bosses"] else "–" for p in pilots]
        print(f"| {name} ({enemy}) | " + " | ".join(lv) + " | " + " | ".join(falls) + " |")
    for p, s in sums.items():
        if s["chapters"]:
            print(f"\n{p.capitalize()}, chapter by chapter (min / median / max over the runs):\n")
            print("| Chapter | Level on arrival | Battles | Game overs (all runs) |")
            print("|---|---|---|---|")
            for name, c in s["chapters"].items():
                print(f"| {name} | {span(c['levels'])} | {span(c['battles'])} | {sum(c['deaths'])} |")
        if s["places"]:
            print(f"\n{p.capitalize()}: where the game overs happened (all runs): " +
                  ", ".join(f"{k} {v}" for k, v in s["places"].most_common()) + ".")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
