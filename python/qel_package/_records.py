"""The package and profile records: plain values with the C++ field names."""

import sys
from dataclasses import dataclass, field
from enum import IntEnum
from typing import List, Tuple

import numpy

from . import _native

StepKind = IntEnum("StepKind", _native.step_kinds(), module=__name__)
StepKind.__doc__ = "What a tile does during one step. The numbers are the wire values."

ExchangeActivityKind = IntEnum(
    "ExchangeActivityKind", _native.exchange_activity_kinds(), module=__name__)
ExchangeActivityKind.__doc__ = "The role of a tile in one exchange activity."

_record = dataclass(kw_only=True, slots=True)


@_record
class Segment:
    """One loadable piece of tile memory; bytes past ``data`` up to ``memory_size`` are zero."""

    address: int = 0
    memory_size: int = 0
    data: bytes = b""
    flags: int = 0


@_record
class TileImage:
    """The memory image of one tile."""

    physical_tile: int = 0
    entry_point: int = 0
    command_address: int = 0
    diagnostic_address: int = 0
    segments: List[Segment] = field(default_factory=list)


@_record
class RegionSlice:
    """``size`` bytes at ``file_offset`` of a binding, held at ``tile_address`` on ``tile``."""

    tile: int = 0
    tile_address: int = 0
    file_offset: int = 0
    size: int = 0


@_record
class Binding:
    """A named input, output or weight tensor."""

    name: str = ""
    dtype: str = ""
    shape: List[int] = field(default_factory=list)
    slices: List[RegionSlice] = field(default_factory=list)

    def byte_len(self) -> int:
        """The binding's extent: the furthest ``file_offset + size`` over its slices."""
        return _native.binding_byte_len(self)


@_record
class HostPage:
    """One host page."""

    index: int = 0
    size: int = 0


@_record
class HostSlice:
    """One piece of a host page."""

    page: int = 0
    page_offset: int = 0
    file_offset: int = 0
    size: int = 0


@_record
class HostCall:
    """One call that the device makes on the host, with its batch boundaries."""

    name: str = ""
    command: int = 0
    phases: int = 0
    inputs: List[HostSlice] = field(default_factory=list)
    outputs: List[HostSlice] = field(default_factory=list)
    invocations: int = 0
    input_batch_ends: List[int] = field(default_factory=list)
    output_batch_ends: List[int] = field(default_factory=list)


@_record
class HostExchange:
    """The host transfer protocol."""

    startup_mark: int = 0
    command_page: int = 0
    command_offset: int = 0
    pages: List[HostPage] = field(default_factory=list)
    attach_order: List[int] = field(default_factory=list)
    calls: List[HostCall] = field(default_factory=list)


@_record
class EntryPoint:
    """A named entry point of the application."""

    name: str = ""
    command: int = 0
    external_syncs: int = 0


@_record
class DeviceConfigWrite:
    """A value written to a device configuration register."""

    offset: int = 0
    value: int = 0


@_record
class DebugSymbol:
    """A named address for debuggers."""

    name: str = ""
    address: int = 0


@_record
class DebugRegion:
    """A named memory range for debuggers; ``physical_tile`` 0xFFFFFFFF belongs to no tile."""

    physical_tile: int = 0
    address: int = 0
    size: int = 0
    name: str = ""


@_record
class ProfileMetadata:
    """A name and value pair describing a step."""

    name: str = ""
    value: str = ""


@_record
class ProfileExchangeActivity:
    """One exchange activity of a step."""

    fanout: int = 0
    paired: bool = False
    kind: ExchangeActivityKind = ExchangeActivityKind.Send
    start_cycle: int = 0
    end_cycle: int = 0


@_record
class ProfileStep:
    """One planned step of one tile."""

    local_index: int = 0
    phase: int = 0
    epoch: int = 0
    operation: str = ""
    kind: StepKind = StepKind.Exchange
    kernel: str = ""
    metadata: List[ProfileMetadata] = field(default_factory=list)
    exchange_activities: List[ProfileExchangeActivity] = field(default_factory=list)
    exchange_event_cycles: int = 0


@_record
class TileProfilePlan:
    """The profile plan of one tile: its steps in execution order."""

    physical_tile: int = 0
    steps: List[ProfileStep] = field(default_factory=list)


@_record
class CycleSample:
    """One planned step as it was measured; ``end_cycle`` is below ``start_cycle`` after a wrap."""

    step: ProfileStep = field(default_factory=ProfileStep)
    start_cycle: int = 0
    end_cycle: int = 0


@_record
class TileProfile:
    """The measured steps of one tile."""

    physical_tile: int = 0
    samples: List[CycleSample] = field(default_factory=list)


@_record
class CycleTotal:
    """A number of samples and their cycles (each modulo 2^32, as the counter wraps)."""

    samples: int = 0
    cycles: int = 0


@_record
class KindTotal:
    """The total of the samples of one step kind."""

    kind: StepKind = StepKind.Exchange
    total: CycleTotal = field(default_factory=CycleTotal)


@_record
class NamedTotal:
    """The total of the samples that share a kernel or an operation name."""

    name: str = ""
    total: CycleTotal = field(default_factory=CycleTotal)


@_record
class TileSummary:
    """One tile's totals. ``first_start`` and ``last_end`` lie on the tile's unwrapped
    timeline: the first sample's start and the latest end of any sample (0 without samples)."""

    physical_tile: int = 0
    busy: CycleTotal = field(default_factory=CycleTotal)
    first_start: int = 0
    last_end: int = 0
    kinds: List[KindTotal] = field(default_factory=list)


@_record
class ProfileSummary:
    """The totals of a report: by kind (in kind order), by kernel and by operation (most
    cycles first, ties by name), and per tile (in report order)."""

    clock_hz: int = 0
    total: CycleTotal = field(default_factory=CycleTotal)
    kinds: List[KindTotal] = field(default_factory=list)
    kernels: List[NamedTotal] = field(default_factory=list)
    operations: List[NamedTotal] = field(default_factory=list)
    tiles: List[TileSummary] = field(default_factory=list)


@_record
class ProfileReport:
    """A cycle profile report."""

    clock_hz: int = 0
    tiles: List[TileProfile] = field(default_factory=list)

    @staticmethod
    def read(buffer) -> "ProfileReport":
        """Reads one framed report from the front of any buffer; later bytes are ignored."""
        return _native.read_report(buffer)

    def write(self) -> bytes:
        """The report as one framed message."""
        return _native.write_report(self)

    def samples(self) -> numpy.ndarray:
        """Every sample as one row of a numpy structured array, tile by tile in order.

        Fields: tile, index (position in the tile), kind (StepKind number), phase, epoch,
        start_cycle, end_cycle, cycles (modulo 2^32, as the counter wraps) and us (NaN when
        the clock is 0 Hz).
        """
        return _native.report_samples(self)

    def summary(self) -> ProfileSummary:
        """The report's cycle totals, as ``qelpkg profile show`` prints them."""
        return _native.report_summary(self)

    def chrome_trace(self, align: bool = False) -> str:
        """The report as a JSON document in the Chrome trace event format, one track per tile.

        ``align`` starts every tile's track at time 0. Raises InvalidPackageError for a clock
        of 0 Hz, which gives no time scale.
        """
        return _native.report_chrome_trace(self, align)


@_record
class Application:
    """One application package."""

    compiler_version: str = "0.1.0"
    tiles: List[TileImage] = field(default_factory=list)
    inputs: List[Binding] = field(default_factory=list)
    outputs: List[Binding] = field(default_factory=list)
    weights: List[Binding] = field(default_factory=list)
    host_exchange: HostExchange = field(default_factory=HostExchange)
    entry_points: List[EntryPoint] = field(default_factory=list)
    device_config_writes: List[DeviceConfigWrite] = field(default_factory=list)
    profile_tiles: List[TileProfilePlan] = field(default_factory=list)
    debug_symbols: List[DebugSymbol] = field(default_factory=list)
    debug_regions: List[DebugRegion] = field(default_factory=list)

    @staticmethod
    def read(buffer) -> "Application":
        """Reads and validates one framed package from the front of any buffer (bytes,
        bytearray, memoryview, mmap, ...); later bytes are ignored."""
        return _native.read_application(buffer)

    def write(self) -> bytes:
        """Validates the package and returns it as one framed message."""
        return _native.write_application(self)

    def validate(self) -> None:
        """Checks every structural rule of the package; raises InvalidPackageError."""
        _native.validate_application(self)

    def tile_image(self, physical_tile: int) -> numpy.ndarray:
        """The memory image of one tile (uint8), loaded at its lowest segment address."""
        return _native.application_tile_image(self, physical_tile)

    def output_binding(self, name: str) -> Tuple[Binding, int]:
        """The output binding of that name (the element of ``outputs``) and its offset in a
        run's output buffer."""
        index, base = _native.application_output_binding(self, name)
        return self.outputs[index], base

    def profile_report(self, output, clock_hz: int) -> ProfileReport:
        """Pairs every planned step with its start and end counters in a run's output."""
        return _native.application_profile_report(self, output, clock_hz)


def validate_host_batch_ends(call: HostCall, direction: str, ends: List[int],
                             slice_count: int) -> None:
    """Checks one direction of a host call's batch boundaries against its slice count."""
    _native.validate_host_batch_ends(call, direction, ends, slice_count)


_native.use_record_classes(sys.modules[__name__])
