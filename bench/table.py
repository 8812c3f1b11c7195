"""Prints bench/run's results as one Markdown table: ratios, peak memory, sizes."""
import json
import math
import os
import platform
import sys

out, runs = sys.argv[1], sys.argv[2]


def load(name):
    with open(os.path.join(out, name)) as f:
        return json.load(f)


def rss(name, which):
    with open(os.path.join(out, f"{name}.{which}.rss")) as f:
        return int(f.read().strip())


def ratio(ours, theirs):
    """Our mean over theirs, and its error: relative errors add in quadrature."""
    r = ours["mean"] / theirs["mean"]
    return r, r * math.hypot(ours["stddev"] / ours["mean"], theirs["stddev"] / theirs["mean"])


def ratio_row(name, label, baseline):
    ours, theirs = load(f"{name}.json")["results"]
    r, err = ratio(ours, theirs)
    ours_kb, theirs_kb = rss(name, "ours"), rss(name, "theirs")
    return (f"| {label} | {baseline} | {r:.2f} ± {err:.2f} | "
            f"{ours_kb / 1024:.1f} / {theirs_kb / 1024:.1f} MiB ({ours_kb / theirs_kb:.2f}) |")


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown CPU"


def memory():
    try:
        with open("/proc/meminfo") as f:
            kb = int(f.readline().split()[1])
        return f"{kb / 1024 / 1024:.0f} GiB"
    except (OSError, ValueError, IndexError):
        return "unknown memory"


print(f"Machine: {cpu_model()}, {os.cpu_count()} cores, {memory()}, "
      f"Linux {platform.release()}; {runs} runs of each command after 3 warm-ups (hyperfine).")
print()
print("| measured | against | time ratio (ours / theirs) | peak memory, ours / theirs (ratio) |")
print("|---|---|---|---|")
print(ratio_row("wake", "wake and confirm 127.0.0.1 (whole program, through sh)",
                "`ping -c 1`"))
print(ratio_row("job", "wake and confirm 127.0.0.1 (whole program)", "`ping -c 1` alone"))
print(ratio_row("send", "send step alone (`send_only`)", "`/bin/true`"))
print(ratio_row("start", "usage screen (start-up cost)", "`/bin/true`"))

def against_rows(name, measured, labels, digits):
    """One row per baseline: our mean over each of theirs, with both times."""
    ours, *theirs = load(f"{name}.json")["results"]
    for label, their in zip(labels, theirs):
        r, err = ratio(ours, their)
        print(f"| {measured} | {label} | {r:.{digits}f} ± {err:.{digits}f} "
              f"({ours['mean']:.{digits}f} s / {their['mean']:.2f} s) | |")


against_rows("room254", "host list, 254 answering hosts (`/f`)",
             ("`fping -c1 -q` on the same addresses", "a loop of 254 single runs"), 3)
for name, label in (("room10k", "host list, 10,000 answering hosts"),
                    ("room10k_json", "host list, 10,000 answering hosts, `/o:json`"),
                    ("room10k_tcp", "host list, 10,000 hosts dropping pings, `/c:3389`")):
    big = load(f"{name}.json")["results"][0]
    with open(os.path.join(out, f"{name}.rss")) as f:
        big_kb = int(f.read().strip())
    print(f"| {label} | (no tool wakes and confirms a list) | "
          f"{big['mean']:.2f} ± {big['stddev']:.2f} s wall time | {big_kb / 1024:.1f} MiB |")
with open(os.path.join(out, "learn.ours")) as f:
    learned = sum(1 for _ in f)
against_rows("learn", f"learning a /20 (4,094 addresses, {learned} machines, all found by each) "
             "(`/l`)", ("`arp-scan` (its defaults: two tries, its own pace)", "`nmap -sn -n`"), 2)
with open(os.path.join(out, "learn16.time")) as f:
    seconds = f.read().split()[-1]
with open(os.path.join(out, "learn16.txt")) as f:
    learned = sum(1 for line in f if not line.startswith("#"))
print(f"| learning a /16 (65,534 addresses, {learned} of 4 machines found) (`/l`) | (one run) | "
      f"{float(seconds):.1f} s wall time | |")
if os.path.exists(os.path.join(out, "wine2500.json")):
    native, raw, helper = load("wine2500.json")["results"]
    print(f"| host list, 2,500 loopback hosts, Windows program under Wine | the native program "
          f"({native['mean']:.2f} s) | raw ICMP {raw['mean']:.2f} ± {raw['stddev']:.2f} s, "
          f"ICMP helper API {helper['mean']:.2f} ± {helper['stddev']:.2f} s wall time | |")

micro = {b["name"]: b for b in load("micro.json")["benchmarks"]}
unit = micro.get("BM_Reference_Copy102")
print()
print("| per call (Google Benchmark) | multiple of copying the 102-byte packet |")
print("|---|---|")
for name, b in micro.items():
    if name != "BM_Reference_Copy102":
        print(f"| {name.removeprefix('BM_')} | {b['cpu_time'] / unit['cpu_time']:.1f} |")

sizes = dict(line.strip().split("=") for line in open(os.path.join(out, "sizes")))
print()
print("| program size | bytes |")
print("|---|---|")
print(f"| trolvane, native, stripped, C++ runtime linked in (as in the .deb) | {int(sizes['native']):,} |")
if "windows" in sizes:
    print(f"| trolvane.exe, Windows, static, stripped (as in the .zip) | {int(sizes['windows']):,} |")
print(f"| ping (iputils) | {int(sizes['ping']):,} |")
