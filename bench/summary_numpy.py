#!/usr/bin/python3
"""The group sums and means of bench_summary_bench, computed with numpy on the same cells.

Reads DIR/cells.f32, DIR/layout.txt and DIR/summary.f32 written by bench_summary_bench
(VEROLA_BENCH_EXPORT=DIR), times the computation and checks it against Summarize's result.
"""
import sys
import time

import numpy as np

MISSING = np.float32(-999.0)


def read_layout(path):
    with open(path) as f:
        dims = [int(x) for x in f.readline().split()]
        groups = []
        for line in f:
            parts = line.split()
            groups.append((int(parts[0]), parts[1], int(parts[2]), [int(x) for x in parts[3:]]))
    return dims, groups


def as_index(children):
    """A slice when the children are consecutive (a view, no copy), else the list."""
    if children == list(range(children[0], children[-1] + 1)):
        return slice(children[0], children[-1] + 1)
    return children


def summarize(a, groups):
    # Higher axes first, positions from the last to the first, as Summarize does.
    # Array axes: [axis 2][axis 1][axis 0].
    for axis in (1, 0):
        for _, rule, g, children in sorted((x for x in groups if x[0] == axis), key=lambda x: -x[2]):
            index = as_index(children)
            sub = a[:, index, :] if axis == 1 else a[:, :, index]
            along = 1 if axis == 1 else 2
            present = sub != MISSING
            total = np.where(present, sub, np.float32(0)).sum(axis=along, dtype=np.float32)
            count = present.sum(axis=along)
            value = total / np.maximum(count, 1) if rule == "AVER" else total
            value = np.where(count > 0, value, MISSING).astype(np.float32)
            if axis == 1:
                a[:, g, :] = value
            else:
                a[:, :, g] = value
    return a


def main():
    folder = sys.argv[1]
    dims, groups = read_layout(folder + "/layout.txt")
    cells = np.fromfile(folder + "/cells.f32", dtype="<f4").reshape(dims[2], dims[1], dims[0])
    ours = np.fromfile(folder + "/summary.f32", dtype="<f4").reshape(cells.shape)
    best = best_cpu = None
    for _ in range(5):
        work = cells.copy()
        start, start_cpu = time.perf_counter(), time.process_time()
        result = summarize(work, groups)
        elapsed, cpu = time.perf_counter() - start, time.process_time() - start_cpu
        best = elapsed if best is None else min(best, elapsed)
        best_cpu = cpu if best_cpu is None else min(best_cpu, cpu)
    same_missing = np.array_equal(result == MISSING, ours == MISSING)
    present = result != MISSING
    scale = np.maximum(np.abs(result[present]), 1.0)
    difference = float(np.max(np.abs(result[present] - ours[present]) / scale)) if present.any() else 0.0
    print(f"numpy {np.__version__}: group sums and means of {cells.size} cells in {best * 1000:.1f} ms, "
          f"CPU {best_cpu * 1000:.1f} ms (best of 5)")
    print(f"agrees with Summarize: missing cells {'identical' if same_missing else 'DIFFER'}, "
          f"largest relative difference {difference:.2e}")
    return 0 if same_missing and difference < 1e-4 else 1


if __name__ == "__main__":
    sys.exit(main())
