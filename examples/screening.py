"""Screen a library of small organic molecules with PM6 on a Dask cluster.

Each task turns a SMILES string into an RDKit conformer (ETKDG embedding, then MMFF) and
runs one quelm_py single point; the CalculationResult objects come back to this process by
pickling. The same tasks run once more in a plain serial loop here, and the two lists of
results must be identical.

    python3 examples/screening.py                        # 200 molecules, local cluster
    python3 examples/screening.py --size 20 --workers 2
    python3 examples/screening.py --scheduler tcp://scheduler-host:8786

With --scheduler the tasks go to an existing Dask cluster (started with `dask scheduler`
and `dask worker tcp://scheduler-host:8786` on the machines); its workers need quelm,
RDKit and dask[distributed] installed. The task function is shipped to them by value.
"""

from __future__ import annotations

import argparse
import sys
import time
from typing import Any

from dask.distributed import Client, LocalCluster
from rdkit import Chem
from rdkit.Chem import rdDistGeom, rdForceFieldHelpers

import quelm_py

CHAINS = ["C" * n for n in range(1, 21)]
END_GROUPS = ["", "O", "N", "F", "Cl", "C=O", "C(=O)O", "C#N", "OC", "c1ccccc1"]


def library(size: int) -> list[str]:
    """The first `size` of 200 molecules: chains of 1 to 20 carbons with 10 end groups."""
    return [chain + group for chain in CHAINS for group in END_GROUPS][:size]


def single_point(smiles: str, method: str = "PM6") -> quelm_py.CalculationResult:
    """One conformer of the molecule (fixed seed, so every process builds the same one)."""
    molecule = Chem.AddHs(Chem.MolFromSmiles(smiles))
    if rdDistGeom.EmbedMolecule(molecule, randomSeed=20251211) != 0:
        raise ValueError(f"no 3D conformer for {smiles}")
    rdForceFieldHelpers.MMFFOptimizeMolecule(molecule)
    atomic_numbers, coordinates = quelm_py.from_rdkit(molecule)
    return quelm_py.calculate(atomic_numbers, coordinates, method=method)


def screen(
    molecules: list[str], scheduler: str | None = None, workers: int = 2
) -> list[quelm_py.CalculationResult]:
    """Single points of all molecules on the cluster, in the order of `molecules`."""
    # dask.distributed declares no types for its client API.
    cluster: Any = None
    if scheduler is None:
        cluster = LocalCluster(  # type: ignore[no-untyped-call]
            n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=None
        )
    client: Any = Client(scheduler if cluster is None else cluster)  # type: ignore[no-untyped-call]
    try:
        results: list[quelm_py.CalculationResult] = client.gather(
            client.map(single_point, molecules, pure=False)
        )
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    return results


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size", type=int, default=200, help="number of molecules (max 200)")
    parser.add_argument("--workers", type=int, default=2, help="local worker processes")
    parser.add_argument("--scheduler", help="address of an existing Dask scheduler")
    args = parser.parse_args(argv)

    molecules = library(args.size)
    start = time.perf_counter()
    distributed = screen(molecules, args.scheduler, args.workers)
    cluster_seconds = time.perf_counter() - start
    start = time.perf_counter()
    serial = [single_point(smiles) for smiles in molecules]
    serial_seconds = time.perf_counter() - start

    print(f"{'SMILES':<32}{'dHf kcal/mol':>14}{'gap eV':>9}{'dipole D':>10}")
    for smiles, result in zip(molecules, distributed):
        print(
            f"{smiles:<32}{result.heat_of_formation_kcal:>14.3f}"
            f"{result.homo_lumo_gap_ev:>9.3f}{result.dipole_debye[3]:>10.3f}"
        )
    identical = distributed == serial
    print(
        f"{len(molecules)} molecules: cluster {cluster_seconds:.1f} s, serial loop "
        f"{serial_seconds:.1f} s; results identical: {identical}"
    )
    return 0 if identical else 1


if __name__ == "__main__":
    sys.exit(main())
