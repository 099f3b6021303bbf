"""Per-call cost of quelm_py.calculate on water beyond the SCF iterations, and what moving a
result between processes costs. Prints one table (microseconds per call, median of runs).

    PYTHONPATH=build/dev/quelm_py python3 bench/call_overhead.py

Rows:
  calculate                the whole call (PM6, default settings)
  calculate, max_iter=0    everything but the SCF iterations: argument conversion and
                           validation, batch and workspaces, pair integrals and core
                           Hamiltonian (one guess diagonalisation), gradients, dipole,
                           Mulliken analysis and the result object; the per-call overhead
  arguments only           conversion and validation up to the engine (an odd-electron
                           molecule of the same size, refused at the last check)
  to_dict                  reading all 15 properties
  pickle round trip        pickle.dumps then pickle.loads of the result (protocol 5)
"""

import pickle
import statistics
import sys
import time
import timeit

import quelm_py

WATER_Z = [8, 1, 1]
WATER_XYZ = [[0.0, 0.0, 0.1173], [0.0, 0.7572, -0.4692], [0.0, -0.7572, -0.4692]]
# F with two H: nine valence electrons, refused after every other check.
ODD_Z = [9, 1, 1]
OVERHEAD_BUDGET_US = 50.0


def median_us(statement, number):
    # Processor time of this process: the figures hold on a machine shared with other jobs.
    runs = timeit.repeat(statement, number=number, repeat=7, timer=time.process_time)
    return statistics.median(runs) / number * 1e6


def refused_call():
    try:
        quelm_py.calculate(ODD_Z, WATER_XYZ)
    except ValueError:
        pass


def main():
    result = quelm_py.calculate(WATER_Z, WATER_XYZ)
    rows = [
        ("calculate", median_us(lambda: quelm_py.calculate(WATER_Z, WATER_XYZ), 2000)),
        (
            "calculate, max_iter=0",
            median_us(lambda: quelm_py.calculate(WATER_Z, WATER_XYZ, max_iter=0), 5000),
        ),
        ("arguments only", median_us(refused_call, 20000)),
        ("to_dict", median_us(result.to_dict, 20000)),
        ("pickle round trip", median_us(lambda: pickle.loads(pickle.dumps(result, 5)), 20000)),
    ]
    print(f"{'water, PM6':<26}{'us/call':>10}")
    for name, value in rows:
        print(f"{name:<26}{value:>10.2f}")
    overhead = rows[1][1]
    print(f"per-call overhead {overhead:.2f} us (budget {OVERHEAD_BUDGET_US:.0f} us)")
    return 0 if overhead < OVERHEAD_BUDGET_US else 1


if __name__ == "__main__":
    sys.exit(main())
