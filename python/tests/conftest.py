import struct

import pytest

import qel_package as qp

CLOCK_HZ = 1_500_000_000


def profiled_package():
    """Two tiles, an output "result" of 8 bytes, then "profile.cycles" holding the counters of
    tile 1's three steps and tile 0's one step."""
    steps = [
        qp.ProfileStep(local_index=0, phase=1, epoch=2, operation="accumulate",
                       kind=qp.StepKind.Compute, kernel="gemm_f32_accumulate",
                       metadata=[qp.ProfileMetadata(name="innerBlock", value="8")],
                       exchange_activities=[qp.ProfileExchangeActivity(
                           fanout=2, paired=True, kind=qp.ExchangeActivityKind.Receive,
                           start_cycle=5, end_cycle=9)]),
        qp.ProfileStep(local_index=1, operation="operation.4", kind=qp.StepKind.Exchange,
                       kernel="multicast"),
        qp.ProfileStep(local_index=2, kind=qp.StepKind.Idle),
    ]
    return qp.Application(
        compiler_version="1.2.3",
        tiles=[qp.TileImage(physical_tile=tile, entry_point=qp.TILE_MEMORY_BASE,
                            segments=[qp.Segment(address=qp.TILE_MEMORY_BASE + 0x10,
                                                 memory_size=12, data=bytes([tile, 1, 2, 3]),
                                                 flags=5)])
               for tile in (0, 1)],
        outputs=[
            qp.Binding(name="result", dtype="u8", shape=[8],
                       slices=[qp.RegionSlice(tile=0, tile_address=qp.TILE_MEMORY_BASE + 0x100,
                                              file_offset=0, size=8)]),
            qp.Binding(name="profile.cycles", dtype="u32", shape=[6], slices=[
                qp.RegionSlice(tile=1, tile_address=qp.TILE_MEMORY_BASE + 0x200,
                               file_offset=0, size=16),
                qp.RegionSlice(tile=0, tile_address=qp.TILE_MEMORY_BASE + 0x200,
                               file_offset=16, size=8),
            ]),
        ],
        entry_points=[qp.EntryPoint(name="main", command=1, external_syncs=0)],
        profile_tiles=[
            qp.TileProfilePlan(physical_tile=1, steps=steps),
            qp.TileProfilePlan(physical_tile=0, steps=[qp.ProfileStep(local_index=0)]),
        ],
        debug_symbols=[qp.DebugSymbol(name="main", address=qp.TILE_MEMORY_BASE)],
    )


def run_output(tile1_counters, tile0_counters):
    """A run's output for profiled_package: 8 result bytes, then the little-endian counters."""
    counters = list(tile1_counters) + list(tile0_counters)
    return bytes(range(8)) + struct.pack(f"<{len(counters)}I", *counters)


@pytest.fixture
def package():
    return profiled_package()
