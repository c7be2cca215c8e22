#!/usr/bin/python3
"""Sets the DXF load and save benchmarks against ezdxf reading and writing the same drawings.

usage: bench/dxf_ezdxf_compare.py [BUILD_DIR] [ROOMS]   (default: build 10000)
Runs bench_dxf_io (which writes the drawings), times ezdxf.readfile and saveas on the room plan of
ROOMS spaces in the same run, and prints both, the ratios, the growth of the load and save times from
5,000 to 10,000 to 20,000 spaces, the memory per MB of file and the peak while saving over the peak
while loading (each measured in a new process of the benchmark, as a host would be).
"""
import json
import os
import subprocess
import sys
import tempfile
import time

import ezdxf


def best(runs, name):
    return min(r["cpu_time"] for r in runs if r["name"].startswith(name + "/"))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    rooms = int(sys.argv[2]) if len(sys.argv) > 2 else 10000
    base = os.path.join(tempfile.gettempdir(), "kelmo_dxf_bench.dxf")
    env = dict(os.environ, KELMO_BENCH_DXF=base)
    out = subprocess.run([os.path.join(build, "bench", "bench_dxf_io"), "--benchmark_format=json",
                          "--benchmark_filter=BM_Plan"], check=True, capture_output=True, text=True, env=env).stdout
    runs = [b for b in json.loads(out)["benchmarks"] if b.get("run_type") == "iteration"]
    # Processor time, the best of the repetitions: the machine is shared, and ezdxf is timed alike.
    load = {n: best(runs, "BM_PlanLoad/%d" % n) / 1000.0 for n in (5000, 10000, 20000)}
    save = {n: best(runs, "BM_PlanSave/%d" % n) / 1000.0 for n in (5000, 10000, 20000)}
    for n in (5000, 10000, 20000):
        r = [b for b in runs if b["name"].startswith("BM_PlanLoad/%d/" % n)][0]
        s = [b for b in runs if b["name"].startswith("BM_PlanSave/%d/" % n)][0]
        print("%5d spaces: %.1f MB, load %.3f s, save %.3f s, peak memory %.2f MB per MB of file, held %.2f, "
              "peak saving %.2f times the peak loading" %
              (n, r["file_MB"], load[n], save[n], r["peak_per_file_byte"], r["held_per_file_byte"],
               s["save_peak_over_load_peak"]))
    print("growth 5,000 -> 10,000 -> 20,000: load x%.2f, x%.2f; save x%.2f, x%.2f" %
          (load[10000] / load[5000], load[20000] / load[10000], save[10000] / save[5000], save[20000] / save[10000]))
    path = "%s.plan%d.dxf" % (base, rooms)
    start = time.process_time()
    doc = ezdxf.readfile(path)
    ez_load = time.process_time() - start
    start = time.process_time()
    doc.saveas(path + ".ezdxf.dxf")
    ez_save = time.process_time() - start
    print("ezdxf on %d spaces: readfile %.2f s, saveas %.2f s" % (rooms, ez_load, ez_save))
    print("ratio: load %.1f times faster than ezdxf, save %.1f times" % (ez_load / load[rooms], ez_save / save[rooms]))


if __name__ == "__main__":
    main()
