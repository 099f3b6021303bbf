#!/usr/bin/env python3
"""First bright π→π* transitions of ethylene, butadiene, hexatriene and benzene against
gas-phase experiment (idealised geometries, active space of 4 orbitals by default).

Usage: PYTHONPATH=build/dev/quelm_py bench/first_bright_transitions.py [ACTIVE_ORBITALS]

Experimental band maxima (eV): ethylene 7.66, trans-butadiene 5.92, trans-hexatriene 4.93,
benzene ¹B2u 4.9 and ¹B1u 6.2 (both symmetry-forbidden: compared with the two lowest
singlets, which are dark here too) and ¹E1u 6.9, benzene's first allowed band.
"""

import sys
from pathlib import Path

import quelm_py

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "quelm_py" / "tests"))
from conftest import benzene, polyene  # noqa: E402

MOLECULES = [
    ("ethylene", polyene(1), 7.66),
    ("butadiene", polyene(2), 5.92),
    ("hexatriene", polyene(3), 4.93),
]


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 4
    print(f"active orbitals: {n}\n")
    print("| molecule | method | state | E calc (eV) | λ calc (nm) | f | E exp (eV) |")
    print("|---|---|---|---|---|---|---|")
    for method in ("PM6", "AM1"):
        for name, (z, xyz), experiment in MOLECULES:
            states = quelm_py.meci(z, xyz, method=method, active_orbitals=n).states
            s = next(s for s in states[1:] if s.multiplicity == 1 and s.oscillator_strength > 0.01)
            print(
                f"| {name} | {method} | first bright | {s.excitation_energy_ev:.2f} | "
                f"{s.wavelength_nm:.0f} | {s.oscillator_strength:.3f} | {experiment} |"
            )
        states = quelm_py.meci(*benzene(), method=method, active_orbitals=max(n, 4)).states
        singlets = [s for s in states[1:] if s.multiplicity == 1]
        for label, s, experiment in [
            ("lowest singlet (dark)", singlets[0], 4.9),
            ("second singlet (dark)", singlets[1], 6.2),
        ]:
            print(
                f"| benzene | {method} | {label} | {s.excitation_energy_ev:.2f} | "
                f"{s.wavelength_nm:.0f} | {s.oscillator_strength:.2e} | {experiment} |"
            )
        bright = next(s for s in singlets if s.oscillator_strength > 0.01)
        print(
            f"| benzene | {method} | first bright (¹E1u) | {bright.excitation_energy_ev:.2f} | "
            f"{bright.wavelength_nm:.0f} | {bright.oscillator_strength:.3f} | 6.9 |"
        )


if __name__ == "__main__":
    main()
