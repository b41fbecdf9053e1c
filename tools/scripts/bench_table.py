#!/usr/bin/env python3
"""The table of "make bench": each figure's median next to the floor it is read
against, from the JSON that the benchmark programs wrote into one folder. A
figure's floor is the one measured right before its program (floor_bench.before.
<program>), when there is one; the floors' own rows are from the first run."""
import json
import pathlib
import sys

# (figure, program, benchmark, floor program, floor benchmark); a floor of None has no ratio.
ROWS = [
    ("warm `Activate` round trip to QuillNotification, toast committed", "server_bench",
     "WarmActivateRoundTrip", "floor_bench", "UnixSocketPingPong/spinning:0/real_time"),
    ("warm round trip to the test server (transport only)", "com_bench",
     "WarmActivateRoundTrip", "floor_bench", "UnixSocketPingPong/spinning:0/real_time"),
    ("cold activation of QuillNotification, until the toast is stored", "server_bench",
     "ColdActivation/iterations:30", "floor_bench", "SpawnAndReap/real_time"),
    ("cold activation of the test server", "com_bench",
     "ColdActivation/iterations:20", "floor_bench", "SpawnAndReap/real_time"),
    ("`pal com activate` as a whole process, cold", "process_bench",
     "PalComActivateCold/iterations:30/real_time", "floor_bench", "SpawnAndReap/real_time"),
    ("`pal reg query` as a whole process", "process_bench",
     "PalRegQuery/real_time", "floor_bench", "SpawnAndReap/real_time"),
    ("registry value read", "registry_bench",
     "ValueRead/real_time", "floor_bench", "SqlitePointQuery/real_time"),
    ("registry value write (synchronous=FULL)", "registry_bench",
     "ValueWrite/real_time", "floor_bench", "SqliteWalInsert/full:1/real_time"),
    ("`DeliverToast` into the store, 1 thread", "toast_bench",
     "DeliverIntoStore/real_time", "floor_bench", "SqliteWalInsert/full:0/real_time"),
    ("folding the inbox into the store, per toast (background work of each toast shown)", "toast_bench",
     "FoldIntoStore/iterations:200/manual_time", "floor_bench", "SqliteWalInsert/full:0/real_time"),
    ("Unix-socket ping-pong between two processes (floor)", "floor_bench",
     "UnixSocketPingPong/spinning:0/real_time", None, None),
    ("the same ping-pong, each side spinning up to 50 µs before it sleeps (for comparison)", "floor_bench",
     "UnixSocketPingPong/spinning:1/real_time", None, None),
    ("starting and reaping `/bin/true` (floor)", "floor_bench", "SpawnAndReap/real_time", None, None),
    ("one SQLite WAL insert, synchronous=NORMAL (floor)", "floor_bench",
     "SqliteWalInsert/full:0/real_time", None, None),
    ("one SQLite WAL insert, synchronous=FULL (floor)", "floor_bench",
     "SqliteWalInsert/full:1/real_time", None, None),
    ("one SQLite point query (floor)", "floor_bench", "SqlitePointQuery/real_time", None, None),
]

TO_MICROSECONDS = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}


def load(folder):
    medians, counters = {}, {}
    for path in pathlib.Path(folder).glob("*.json"):
        for entry in json.loads(path.read_text())["benchmarks"]:
            if entry.get("aggregate_name") != "median":
                continue
            key = (path.stem, entry["run_name"])
            medians[key] = entry["real_time"] * TO_MICROSECONDS[entry["time_unit"]]
            counters[key] = entry
    return medians, counters


def shown(microseconds):
    if microseconds >= 1000:
        return f"{microseconds / 1000:.2f} ms"
    return f"{microseconds:.1f} µs"


def main(folder):
    medians, counters = load(folder)
    print("| Figure | Median | Floor | Ratio | Above the floor |")
    print("|---|---|---|---|---|")
    for figure, program, name, floor_program, floor_name in ROWS:
        value = medians.get((program, name))
        if value is None:
            print(f"| {figure} | not measured | | | |")
            continue
        floor = None
        if floor_program:
            floor = medians.get((f"{floor_program}.before.{program}", floor_name), medians.get((floor_program, floor_name)))
        if floor is None:
            print(f"| {figure} | {shown(value)} | | | |")
        else:
            print(f"| {figure} | {shown(value)} | {shown(floor)} | {value / floor:.2f}× | {shown(value - floor)} |")
    rss = counters.get(("server_bench", "WarmActivateRoundTrip"), {}).get("server_rss_kib")
    if rss:
        print(f"| idle server resident memory | {rss / 1024:.1f} MiB | | | |")


if __name__ == "__main__":
    main(sys.argv[1])
