import sys
import threading

import pytest

import qel_package as qp


def large_package():
    """About 38 MiB: 64 tiles of one 600 KiB segment each."""
    size = 600 * 1024
    return qp.Application(tiles=[
        qp.TileImage(physical_tile=tile, segments=[
            qp.Segment(address=qp.TILE_MEMORY_BASE, memory_size=size, data=bytes(size))])
        for tile in range(64)])


LARGE = large_package()
LARGE_BYTES = LARGE.write()


@pytest.mark.parametrize("operation", [
    lambda: qp.Application.read(LARGE_BYTES),
    lambda: LARGE.write(),
], ids=["read", "write"])
def test_another_thread_runs_while_a_large_package_is_read_or_written(operation):
    # With a switch interval this long the interpreter never takes the GIL from a thread, so
    # the other thread can only run where a thread gives the GIL up: inside the operation.
    state = {"busy": False, "ran_while_busy": None}
    go = threading.Event()

    def other():
        go.wait()
        state["ran_while_busy"] = state["busy"]

    interval = sys.getswitchinterval()
    thread = threading.Thread(target=other)
    thread.start()
    sys.setswitchinterval(1000)
    try:
        go.set()
        for _ in range(50):
            state["busy"] = True
            operation()
            state["busy"] = False
            if state["ran_while_busy"] is not None:
                break
    finally:
        sys.setswitchinterval(interval)
        thread.join()
    assert state["ran_while_busy"] is True
