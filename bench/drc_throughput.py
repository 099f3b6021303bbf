#!/usr/bin/env python3
"""Born–Oppenheimer dynamics: energy conservation and throughput, beside xtb --md.

Usage: drc_throughput.py [--threads N] [--conservation-ps T] [--throughput-steps S]

1. Conservation: NVE from rest at 0.5 fs for water, methanol and hexane (20 atoms) over T ps
   (default 2), PM6 on the NDDO surface; the largest deviation of the total energy from its
   start and the end-point drift per ps, in kcal/mol.
2. Throughput: S steps (default 200) of NVE at 0.5 fs for molecules of about 10, 30 and 100
   atoms (bench/data), as ps of simulated time per day of wall time, for Quelm PM6 (in
   process) and GFN2-xTB's own MD (`xtb --md`, whole process, same time step, no SHAKE,
   hydrogen mass 1, same threads).
Prints Markdown tables.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

DATA = Path(__file__).resolve().parent / "data"
KCAL_MOL_PER_EV = 23.06054783061903
SYMBOLS = {"H": 1, "C": 6, "N": 7, "O": 8, "S": 16, "Cl": 17}


def read_xyz(path: Path):
    lines = path.read_text().splitlines()
    n = int(lines[0])
    numbers, coords = [], []
    for line in lines[2 : 2 + n]:
        symbol, x, y, z = line.split()[:4]
        numbers.append(SYMBOLS[symbol])
        coords.append([float(x), float(y), float(z)])
    return numbers, coords


def embedded(smiles: str):
    from rdkit import Chem
    from rdkit.Chem import AllChem

    mol = Chem.AddHs(Chem.MolFromSmiles(smiles))
    AllChem.EmbedMolecule(mol, randomSeed=7)
    AllChem.MMFFOptimizeMolecule(mol)
    conf = mol.GetConformer()
    numbers = [a.GetAtomicNum() for a in mol.GetAtoms()]
    return numbers, [list(conf.GetAtomPosition(i)) for i in range(len(numbers))]


def conservation(quelm_py, picoseconds: float) -> None:
    steps = round(picoseconds * 1000 / 0.5)
    print(f"\nNVE energy conservation, PM6 (NDDO), 0.5 fs, {picoseconds} ps ({steps} steps)\n")
    print("| molecule | atoms | max deviation kcal/mol | drift kcal/mol/ps | wall s |")
    print("|---|---|---|---|---|")
    for name, smiles in (("water", "O"), ("methanol", "CO"), ("hexane", "CCCCCC")):
        numbers, coords = embedded(smiles)
        start = time.perf_counter()
        run = quelm_py.drc(
            numbers, coords, total_steps=steps, use_nddo=True, recording_interval=steps
        )
        wall = time.perf_counter() - start
        print(
            f"| {name} | {len(numbers)} | {run.max_energy_drift_ev * KCAL_MOL_PER_EV:.5f} | "
            f"{run.energy_drift_ev_per_ps * KCAL_MOL_PER_EV:.5f} | {wall:.1f} |"
        )


def xtb_seconds(numbers, coords, steps: int, threads: int) -> float | None:
    xtb = shutil.which("xtb")
    if xtb is None:
        return None
    symbols = {v: k for k, v in SYMBOLS.items()}
    with tempfile.TemporaryDirectory() as work:
        xyz = Path(work) / "mol.xyz"
        xyz.write_text(
            f"{len(numbers)}\n\n"
            + "".join(
                f"{symbols[z]} {x:.6f} {y:.6f} {c:.6f}\n" for z, (x, y, c) in zip(numbers, coords)
            )
        )
        (Path(work) / "md.inp").write_text(
            "$md\n"
            f"   time={steps * 0.5 / 1000:.6f}\n   step=0.5\n   temp=298.15\n"
            "   velo=false\n   nvt=false\n   hmass=1\n   shake=0\n   dump=100000\n"
            "$end\n"
        )
        env = dict(
            os.environ,
            OMP_NUM_THREADS=str(threads),
            OMP_STACKSIZE="1G",
            OPENBLAS_NUM_THREADS=str(threads),
        )
        start = time.perf_counter()
        done = subprocess.run(
            [xtb, "mol.xyz", "--gfn", "2", "--md", "--input", "md.inp"],
            cwd=work,
            env=env,
            capture_output=True,
        )
        wall = time.perf_counter() - start
        return wall if done.returncode == 0 else None


def throughput(quelm_py, steps: int, threads: int) -> None:
    print(
        f"\nThroughput, NVE 0.5 fs, {steps} steps; ps of simulated time per day of wall time "
        f"({threads} threads)\n"
    )
    print("| molecule | atoms | Quelm PM6 ps/day | xtb GFN2 ps/day | Quelm/xtb |")
    print("|---|---|---|---|---|")
    simulated_ps = steps * 0.5 / 1000
    for name in ("alkane_c3", "water_10", "alkane_c10", "peptide_ala3", "alkane_c33", "water_33"):
        numbers, coords = read_xyz(DATA / f"{name}.xyz")
        start = time.perf_counter()
        quelm_py.drc(numbers, coords, total_steps=steps, use_nddo=True, recording_interval=steps)
        ours = simulated_ps / (time.perf_counter() - start) * 86400
        xtb = xtb_seconds(numbers, coords, steps, threads)
        theirs = simulated_ps / xtb * 86400 if xtb else None
        ratio = f"{ours / theirs:.2f}" if theirs else "n/a"
        theirs_text = f"{theirs:.0f}" if theirs else "n/a"
        print(f"| {name} | {len(numbers)} | {ours:.0f} | {theirs_text} | {ratio} |")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--threads", type=int, default=1)
    parser.add_argument("--conservation-ps", type=float, default=2.0)
    parser.add_argument("--throughput-steps", type=int, default=200)
    args = parser.parse_args()
    os.environ["OPENBLAS_NUM_THREADS"] = str(args.threads)
    import quelm_py

    conservation(quelm_py, args.conservation_ps)
    throughput(quelm_py, args.throughput_steps, args.threads)


if __name__ == "__main__":
    sys.exit(main())
