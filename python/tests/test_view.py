import gc
import mmap

import numpy
import pytest

import qel_package as qp
from conftest import CLOCK_HZ, run_output


@pytest.fixture
def mapped(package, tmp_path):
    path = tmp_path / "app.qel"
    path.write_bytes(package.write())
    with open(path, "rb") as file:
        return mmap.mmap(file.fileno(), 0, access=mmap.ACCESS_READ)


def test_a_view_over_a_mapping_reads_what_the_records_hold(package, mapped):
    view = qp.ApplicationView.open(mapped)
    assert view.message_bytes() == len(mapped)
    assert view.to_application() == package
    assert view.compiler_version() == "1.2.3"
    assert [tile.physical_tile() for tile in view.tiles()] == [0, 1]
    segment = view.tiles()[-1].segments()[0]
    assert (segment.address(), segment.memory_size(), segment.flags()) == \
        (qp.TILE_MEMORY_BASE + 0x10, 12, 5)
    assert bytes(segment.data()) == b"\x01\x01\x02\x03"
    step = view.profile_tiles()[0].steps()[0]
    assert (step.operation(), step.kind(), step.kernel()) == \
        ("accumulate", qp.StepKind.Compute, "gemm_f32_accumulate")
    assert step.to_step() == package.profile_tiles[0].steps[0]
    assert step.exchange_activities()[0].kind() is qp.ExchangeActivityKind.Receive
    assert [(m.name(), m.value()) for m in step.metadata()] == [("innerBlock", "8")]
    binding = view.outputs()[1]
    assert (binding.name(), binding.dtype(), binding.shape(), binding.byte_len()) == \
        ("profile.cycles", "u32", [6], 24)
    assert [s.file_offset() for s in binding.slices()] == [0, 16]
    assert view.entry_points()[0].name() == "main"
    assert view.debug_symbols()[0].address() == qp.TILE_MEMORY_BASE
    assert len(view.debug_regions()) == 0 and len(view.weights()) == 0
    with pytest.raises(IndexError):
        view.tiles()[2]


def test_segment_data_borrows_the_mapping_read_only(package, mapped):
    data = qp.ApplicationView.open(mapped).tiles()[0].segments()[0].data()
    gc.collect()  # the view is gone; the array keeps it, and the mapping, alive
    assert isinstance(data, numpy.ndarray) and data.dtype == numpy.uint8
    assert not data.flags.writeable and not data.flags.owndata
    assert data.tolist() == [0, 1, 2, 3]
    # The array lies inside the mapping: nothing was copied.
    start = numpy.frombuffer(mapped, dtype=numpy.uint8).ctypes.data
    assert start <= data.ctypes.data < start + len(mapped)
    with pytest.raises(ValueError):
        data[0] = 9


def test_an_element_outlives_its_view_and_list(package, mapped):
    tile = qp.ApplicationView.open(mapped).tiles()[1]
    gc.collect()
    assert tile.physical_tile() == 1
    assert tile.segments()[0].memory_size() == 12
    with pytest.raises(BufferError):
        mapped.close()  # the view still borrows it
    del tile
    gc.collect()
    mapped.close()


def test_a_view_gives_what_the_records_give(package, mapped):
    view = qp.ApplicationView.open(mapped)
    for tile in (0, 1):
        assert view.tile_image(tile).tolist() == package.tile_image(tile).tolist()
    binding, base = view.output_binding("profile.cycles")
    assert (binding.name(), base) == ("profile.cycles", 8)
    output = run_output([10, 15, 15, 40], [7, 9])
    assert view.profile_report(output, CLOCK_HZ) == package.profile_report(output, CLOCK_HZ)
    for call in (lambda source: source.tile_image(9),
                 lambda source: source.output_binding("absent"),
                 lambda source: source.profile_report(output[:-1], CLOCK_HZ)):
        with pytest.raises(qp.InvalidPackageError) as from_view:
            call(view)
        with pytest.raises(qp.InvalidPackageError) as from_records:
            call(package)
        assert from_view.value.message == from_records.value.message


@pytest.mark.parametrize("damage", [
    lambda data: data[:20],
    lambda data: data.replace(b"1.2.3", b"1.\xff.3"),
    lambda data: b"",
])
def test_opening_fails_as_reading_does(package, damage):
    data = damage(package.write())
    with pytest.raises(qp.PackageError) as from_read:
        qp.Application.read(data)
    with pytest.raises(qp.PackageError) as from_view:
        qp.ApplicationView.open(data)
    assert type(from_view.value) is type(from_read.value)
    assert str(from_view.value) == str(from_read.value)


def test_a_view_opens_unaligned_bytes(package):
    data = bytearray(b"x" + package.write())
    view = qp.ApplicationView.open(memoryview(data)[1:])
    assert view.to_application() == package


@pytest.mark.parametrize("wrap", [bytearray, lambda data: numpy.frombuffer(
    bytearray(data), dtype=numpy.uint8)])
def test_a_view_over_a_writable_buffer_reads_a_copy(package, wrap):
    buffer = wrap(package.write())
    view = qp.ApplicationView.open(buffer)
    data = view.tiles()[0].segments()[0].data()
    memoryview(buffer)[:] = bytes(len(buffer))  # the checked bytes cannot change under the view
    assert view.to_application() == package
    assert data.tolist() == [0, 1, 2, 3]
