import mmap

import numpy
import pytest

import qel_package as qp
from conftest import profiled_package


def test_records_have_the_library_defaults():
    application = qp.Application()
    assert application.compiler_version == "0.1.0"
    assert application.tiles == [] and application.host_exchange == qp.HostExchange()
    assert qp.Segment() == qp.Segment(address=0, memory_size=0, data=b"", flags=0)
    # Every list is the record's own.
    application.tiles.append(qp.TileImage())
    assert qp.Application().tiles == []


def test_records_compare_and_render_by_field():
    segment = qp.Segment(address=1, memory_size=8, data=b"\x01", flags=5)
    assert segment == qp.Segment(address=1, memory_size=8, data=b"\x01", flags=5)
    assert segment != qp.Segment(address=1, memory_size=8, data=b"\x02", flags=5)
    assert repr(segment) == "Segment(address=1, memory_size=8, data=b'\\x01', flags=5)"
    step = qp.ProfileStep(kind=qp.StepKind.Compute)
    assert "kind=<StepKind.Compute: 1>" in repr(step)
    with pytest.raises(TypeError):
        qp.Segment(1, 8)  # fields are keyword-only
    with pytest.raises(AttributeError):
        segment.adress = 3  # a misspelt field is refused, not added


def test_tiles_in_another_order_are_another_package(package):
    reordered = profiled_package()
    reordered.tiles.reverse()
    assert reordered != package


@pytest.mark.parametrize("wrap", [bytes, bytearray, memoryview, "mmap", "numpy"])
def test_a_package_survives_writing_and_reading_from_any_buffer(package, wrap, tmp_path):
    data = package.write()
    assert isinstance(data, bytes)
    if wrap == "mmap":
        path = tmp_path / "app.qel"
        path.write_bytes(data)
        with open(path, "rb") as file:
            mapped = mmap.mmap(file.fileno(), 0, access=mmap.ACCESS_READ)
            assert qp.Application.read(mapped) == package
            mapped.close()
        return
    buffer = numpy.frombuffer(data, dtype=numpy.uint8) if wrap == "numpy" else wrap(data)
    assert qp.Application.read(buffer) == package


def test_reading_ignores_bytes_after_the_message(package):
    assert qp.Application.read(package.write() + b"trailing") == package


def test_reading_keeps_every_field(package):
    package.host_exchange = qp.HostExchange(
        startup_mark=7, command_page=0, command_offset=8,
        pages=[qp.HostPage(index=0, size=64)], attach_order=[0],
        calls=[qp.HostCall(name="fetch", command=3, phases=1,
                           inputs=[qp.HostSlice(page=0, page_offset=16, file_offset=0, size=8)],
                           invocations=1, input_batch_ends=[1])])
    package.inputs = [qp.Binding(name="x", dtype="f32", shape=[2, 1], slices=[
        qp.RegionSlice(tile=1, tile_address=qp.TILE_MEMORY_BASE + 0x300, file_offset=0, size=8)])]
    package.weights = [qp.Binding(name="w", dtype="f32", shape=[1])]
    package.device_config_writes = [qp.DeviceConfigWrite(offset=4, value=0xFFFFFFFF)]
    package.debug_regions = [qp.DebugRegion(physical_tile=0xFFFFFFFF, address=0, size=4,
                                            name="shared")]
    read = qp.Application.read(package.write())
    assert read == package
    assert read.host_exchange.calls[0].inputs[0].page_offset == 16
    assert read.profile_tiles[0].steps[0].exchange_activities[0].kind is \
        qp.ExchangeActivityKind.Receive


def test_tile_image_is_a_uint8_array(package):
    image = package.tile_image(1)
    assert image.dtype == numpy.uint8
    assert image.tolist() == [1, 1, 2, 3] + [0] * 8
    with pytest.raises(qp.InvalidPackageError) as error:
        package.tile_image(9)
    assert error.value.message == "unknown tile 9"


def test_output_binding_is_the_element_of_outputs(package):
    binding, base = package.output_binding("profile.cycles")
    assert binding is package.outputs[1]
    assert base == 8
    assert binding.byte_len() == 24
    with pytest.raises(qp.InvalidPackageError) as error:
        package.output_binding("absent")
    assert str(error.value) == "application has no absent output binding"


def test_constants():
    assert (qp.SCHEMA_VERSION, qp.TARGET) == (5, "qel21")
    assert (qp.TILE_MEMORY_BASE, qp.TILE_MEMORY_SIZE, qp.TILE_MEMORY_END) == \
        (0x4C000, 0x9C000, 0xE8000)


@pytest.mark.parametrize("change, error_type, text", [
    (lambda app: setattr(app.tiles[1].segments[0], "address", -1), ValueError,
     "tiles[1].segments[0].address: -1 does not fit in an unsigned 32-bit integer"),
    (lambda app: setattr(app.outputs[0].slices[0], "size", 2**64), ValueError,
     "outputs[0].slices[0].size: 18446744073709551616 does not fit in an unsigned 64-bit "
     "integer"),
    (lambda app: setattr(app.tiles[0], "entry_point", 1.5), TypeError,
     "tiles[0].entry_point: expected an integer, got float"),
    (lambda app: setattr(app, "compiler_version", b"1.0"), TypeError,
     "compiler_version: expected str, got bytes"),
    (lambda app: setattr(app, "compiler_version", "\ud800"), ValueError,
     "compiler_version: text cannot be encoded as UTF-8"),
    (lambda app: setattr(app.tiles[0].segments[0], "data", "text"), TypeError,
     "tiles[0].segments[0].data: expected a bytes-like object, got str"),
    (lambda app: setattr(app, "tiles", {}), TypeError, "tiles: expected a list, got dict"),
    (lambda app: app.tiles.append(qp.Segment()), TypeError,
     "tiles[2]: expected TileImage, got Segment"),
    (lambda app: setattr(app.profile_tiles[0].steps[1], "kind", 7), ValueError,
     "profile_tiles[0].steps[1].kind: 7 is not a valid StepKind"),
    (lambda app: setattr(app.profile_tiles[0].steps[0].exchange_activities[0], "paired", 1),
     TypeError, "profile_tiles[0].steps[0].exchange_activities[0].paired: expected bool, got int"),
])
def test_a_field_that_does_not_convert_is_named(package, change, error_type, text):
    change(package)
    with pytest.raises(error_type) as error:
        package.write()
    assert str(error.value) == text


def test_fields_take_any_integer_and_bytes_like_value(package):
    package.tiles[0].segments[0].data = bytearray(b"\x09\x08")
    package.tiles[0].physical_tile = numpy.uint32(0)
    package.profile_tiles[1].steps[0].kind = 2
    read = qp.Application.read(package.write())
    assert read.tiles[0].segments[0].data == b"\x09\x08"
    assert read.profile_tiles[1].steps[0].kind is qp.StepKind.Synchronization


def test_validate_host_batch_ends():
    call = qp.HostCall(name="fetch", invocations=1)
    qp.validate_host_batch_ends(call, "input", [2], 2)
    with pytest.raises(qp.InvalidPackageError) as error:
        qp.validate_host_batch_ends(call, "input", [1], 2)
    assert error.value.message == "host call fetch input batches cover 1 of 2 slices"


@pytest.mark.parametrize("call, error_type, text", [
    (lambda app: app.tile_image(-1), ValueError,
     "physical_tile: -1 does not fit in an unsigned 32-bit integer"),
    (lambda app: app.output_binding(3), TypeError, "name: expected str, got int"),
    (lambda app: app.profile_report(b"", "fast"), TypeError,
     "clock_hz: expected an integer, got str"),
    (lambda app: qp.ApplicationView.open(app.write()).tile_image(2**32), ValueError,
     "physical_tile: 4294967296 does not fit in an unsigned 32-bit integer"),
    (lambda app: qp.validate_host_batch_ends(qp.HostCall(), "input", [-2], 1), ValueError,
     "ends[0]: -2 does not fit in an unsigned 32-bit integer"),
])
def test_an_argument_that_does_not_convert_is_named(package, call, error_type, text):
    with pytest.raises(error_type) as error:
        call(package)
    assert str(error.value) == text
