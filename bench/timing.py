"""Timing shared by the benchmarks: functions take turns batch by batch, so
a busy machine slows them all alike, and the best batch of each counts."""

import time


def calls_per_batch(fn, batch_seconds):
    """Calls per batch so that one batch takes about `batch_seconds`."""
    fn()
    start = time.perf_counter()
    fn()
    once = max(time.perf_counter() - start, 1e-7)
    return max(1, int(batch_seconds / once))


def best_seconds(fns, rounds, batch_seconds):
    """Best seconds per call of each function (called without arguments)."""
    batches = [calls_per_batch(fn, batch_seconds) for fn in fns]
    best = [float("inf")] * len(fns)
    for _ in range(rounds):
        for i, fn in enumerate(fns):
            n = batches[i]
            start = time.perf_counter()
            for _ in range(n):
                fn()
            best[i] = min(best[i], (time.perf_counter() - start) / n)
    return best
