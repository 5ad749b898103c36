import pytest

import qel_package as qp


def test_every_error_is_a_package_error():
    for kind in (qp.CapnpError, qp.IoError, qp.Utf8Error, qp.SchemaEnumError,
                 qp.InvalidPackageError):
        assert issubclass(kind, qp.PackageError)


@pytest.mark.parametrize("damage, message, location", [
    (lambda app: app.tiles[1].segments.append(
        qp.Segment(address=qp.TILE_MEMORY_BASE + 0x14, memory_size=4)),
     "overlapping segments on tile 1: 0x4c010..0x4c01c and 0x4c014..0x4c018",
     "tiles[1].segments[1]"),
    (lambda app: setattr(app.profile_tiles[0].steps[2], "local_index", 5),
     "invalid tile profile plan", "profile_tiles[0].steps[2].local_index"),
])
def test_a_broken_rule_is_invalid_with_its_message_and_location(package, damage, message,
                                                                location):
    damage(package)
    with pytest.raises(qp.InvalidPackageError) as error:
        package.validate()
    assert (str(error.value), error.value.message, error.value.location) == \
        (message, message, location)
    with pytest.raises(qp.InvalidPackageError) as written:
        package.write()
    assert (written.value.message, written.value.location) == (message, location)


def test_an_error_without_a_single_element_at_fault_has_no_location():
    with pytest.raises(qp.InvalidPackageError) as error:
        qp.Application().write()
    assert (error.value.message, error.value.location) == ("application has no tiles", "")


@pytest.mark.parametrize("length", [0, 7, 100])
def test_a_truncated_message_is_a_capnp_error(package, length):
    with pytest.raises(qp.CapnpError) as error:
        qp.Application.read(package.write()[:length])
    assert error.value.description
    assert str(error.value) == f'Capnp(Exception {{ type: Failed, description: ' \
                               f'"{error.value.description}" }})'


@pytest.mark.parametrize("replacement, valid_up_to, error_len", [
    (b"zz\xffz", 2, 1),
    (b"zzz\xe2", 3, None),  # the text ends inside a sequence
])
def test_invalid_text_is_a_utf8_error(package, replacement, valid_up_to, error_len):
    package.compiler_version = "zzzz"
    data = package.write()
    assert data.count(b"zzzz") == 1
    with pytest.raises(qp.Utf8Error) as error:
        qp.Application.read(data.replace(b"zzzz", replacement))
    assert (error.value.valid_up_to, error.value.error_len) == (valid_up_to, error_len)
    shown = "none" if error_len is None else error_len
    assert str(error.value) == \
        f"Utf8(Utf8Error {{ valid_up_to: {valid_up_to}, error_len: {shown} }})"


def test_an_enumeration_number_outside_the_schema_is_a_schema_enum_error():
    step = qp.ProfileStep(phase=0x11223344, epoch=0x55667788, kind=qp.StepKind.Idle)
    report = qp.ProfileReport(clock_hz=1, tiles=[qp.TileProfile(
        physical_tile=0, samples=[qp.CycleSample(step=step)])])
    # The step's data section: local_index, phase, epoch, then the kind as 16 bits.
    found = bytes.fromhex("44332211 88776655 0300")
    data = report.write()
    assert data.count(found) == 1
    with pytest.raises(qp.SchemaEnumError) as error:
        qp.ProfileReport.read(data.replace(found, found[:-2] + b"\x09\x00"))
    assert error.value.value == 9
    assert str(error.value) == "SchemaEnum(9)"


def test_an_object_without_the_buffer_protocol_is_refused():
    with pytest.raises(TypeError):
        qp.Application.read("not bytes")
