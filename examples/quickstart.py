"""Single point of water with PM6: energies, heat of formation, charges and gradients."""

import quelm_py

atomic_numbers = [8, 1, 1]
coordinates = [  # Å
    [0.0000, 0.0000, 0.1173],
    [0.0000, 0.7572, -0.4692],
    [0.0000, -0.7572, -0.4692],
]

result = quelm_py.calculate(atomic_numbers, coordinates, method="PM6")

print(result)
print(f"Total energy        {result.total_energy_ev:14.6f} eV")
print(f"Heat of formation   {result.heat_of_formation_kcal:14.3f} kcal/mol")
print(f"HOMO / LUMO         {result.homo_energy_ev:8.3f} / {result.lumo_energy_ev:.3f} eV")
print(f"Dipole moment       {result.dipole_debye[3]:14.3f} D")
print(f"SCF                 converged={result.converged} in {result.scf_iterations} iterations")
print("Atom   Mulliken q   gradient (eV/Å)")
for z, q, g in zip(atomic_numbers, result.mulliken_charges, result.gradients_ev_angstrom):
    print(f"{z:4d} {q:12.4f}   {g[0]:9.4f} {g[1]:9.4f} {g[2]:9.4f}")
