"""Ctrl-C during a long call: SIGINT stops the engine within a second with
KeyboardInterrupt, and the module keeps working. The long call is an SCF that cannot
converge (zero tolerances, a million iterations) on a small molecule, so the test
is quick and the signal certainly arrives while the engine runs; were the signal ignored,
the call would end only after many seconds and fail the one-second check."""

import os
import signal
import subprocess
import time

import pytest
from conftest import FORMALDEHYDE, WATER

import quelm_py

NEVER_CONVERGING = {"energy_tol_ev": 0.0, "density_tol": 0.0, "max_iter": 10**6}


def interrupted_call(delay_s):
    """Runs the never-ending SCF while another process sends SIGINT after `delay_s`, as a
    terminal does on Ctrl-C (a thread of this process could not: the call holds the
    interpreter lock). Returns an upper bound of the seconds from the signal to the
    KeyboardInterrupt."""
    previous = signal.signal(signal.SIGINT, signal.default_int_handler)
    sender = None
    try:
        with pytest.raises(KeyboardInterrupt):
            sender = subprocess.Popen(
                ["sh", "-c", f"sleep {delay_s}; kill -INT {os.getpid()}"],
                stdin=subprocess.DEVNULL,
            )
            earliest_send = time.perf_counter() + delay_s
            quelm_py.calculate(*FORMALDEHYDE, **NEVER_CONVERGING)
        raised_at = time.perf_counter()
    finally:
        if sender is not None:
            sender.wait()
        signal.signal(signal.SIGINT, previous)
    return raised_at - earliest_send


def test_sigint_stops_a_long_calculate_within_a_second_and_the_next_call_works():
    before = quelm_py.calculate(*WATER)
    for delay_s in (0.2, 0.05):
        assert interrupted_call(delay_s) < 1.0
        after = quelm_py.calculate(*WATER)
        assert after == before


def test_a_handler_raising_another_exception_stops_the_call_with_it():
    class Stop(Exception):
        pass

    def raise_stop(signum, frame):
        raise Stop()

    previous = signal.signal(signal.SIGALRM, raise_stop)
    try:
        with pytest.raises(Stop):
            signal.setitimer(signal.ITIMER_REAL, 0.1)
            quelm_py.calculate(*FORMALDEHYDE, **NEVER_CONVERGING)
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0.0)
        signal.signal(signal.SIGALRM, previous)
    assert quelm_py.calculate(*WATER).converged
