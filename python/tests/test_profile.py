import json
import math

import numpy
import pytest

import qel_package as qp
from conftest import CLOCK_HZ, run_output


def test_a_report_pairs_every_step_with_its_counters(package):
    report = package.profile_report(run_output([10, 15, 15, 40], [7, 9]), CLOCK_HZ)
    assert report.clock_hz == CLOCK_HZ
    assert [tile.physical_tile for tile in report.tiles] == [1, 0]
    assert [(s.start_cycle, s.end_cycle) for s in report.tiles[0].samples] == \
        [(10, 15), (15, 15), (15, 40)]
    assert report.tiles[0].samples[0].step == package.profile_tiles[0].steps[0]
    assert qp.ProfileReport.read(report.write()) == report


def test_a_short_output_is_refused(package):
    with pytest.raises(qp.InvalidPackageError) as error:
        package.profile_report(run_output([1, 2, 3, 4], [5, 6])[:-1], CLOCK_HZ)
    assert error.value.message == "profile binding exceeds runtime output"


def test_samples_are_one_structured_array(package):
    report = package.profile_report(run_output([10, 15, 15, 40], [7, 9]), CLOCK_HZ)
    samples = report.samples()
    assert isinstance(samples, numpy.ndarray)
    for name in ("tile", "index", "kind", "phase", "epoch", "start_cycle", "end_cycle",
                 "cycles", "us"):
        assert name in samples.dtype.names
    assert samples["tile"].tolist() == [1, 1, 1, 0]
    assert samples["index"].tolist() == [0, 1, 2, 0]
    assert samples["kind"].tolist() == [qp.StepKind.Compute, qp.StepKind.Exchange,
                                        qp.StepKind.Idle, qp.StepKind.Exchange]
    assert samples["phase"].tolist() == [1, 0, 0, 0]
    assert samples["epoch"].tolist() == [2, 0, 0, 0]
    assert samples["start_cycle"].tolist() == [10, 15, 15, 7]
    assert samples["end_cycle"].tolist() == [15, 15, 40, 9]
    assert samples["cycles"].tolist() == [5, 0, 25, 2]
    assert samples["us"].tolist() == pytest.approx([c * 1e6 / CLOCK_HZ for c in (5, 0, 25, 2)])


def test_cycles_are_taken_modulo_the_counter_range(package):
    report = package.profile_report(
        run_output([4294967000, 4294967200, 104, 104], [4294967295, 0]), CLOCK_HZ)
    samples = report.samples()
    assert samples["cycles"].tolist() == [200, 200, 0, 1]
    assert samples["us"][1] == pytest.approx(200 * 1e6 / CLOCK_HZ)


def test_a_clock_of_zero_hertz_gives_no_microseconds(package):
    samples = package.profile_report(run_output([1, 2, 3, 4], [5, 6]), 0).samples()
    assert samples["cycles"].tolist() == [1, 1, 1, 1]
    assert all(math.isnan(us) for us in samples["us"])


def test_an_empty_report_has_no_samples():
    samples = qp.ProfileReport().samples()
    assert samples.shape == (0,)
    assert "cycles" in samples.dtype.names


def test_samples_name_a_field_that_does_not_convert(package):
    report = package.profile_report(run_output([1, 2, 3, 4], [5, 6]), CLOCK_HZ)
    report.tiles[1].samples[0].end_cycle = -3
    with pytest.raises(ValueError) as error:
        report.samples()
    assert str(error.value) == \
        "tiles[1].samples[0].end_cycle: -3 does not fit in an unsigned 32-bit integer"


def test_summary_totals_the_samples_as_the_library_does(package):
    report = package.profile_report(
        run_output([4294967000, 4294967200, 104, 104], [7, 9]), CLOCK_HZ)
    summary = report.summary()
    assert isinstance(summary, qp.ProfileSummary)
    assert summary.clock_hz == CLOCK_HZ
    assert summary.total == qp.CycleTotal(samples=4, cycles=402)
    assert summary.kinds == [
        qp.KindTotal(kind=qp.StepKind.Exchange, total=qp.CycleTotal(samples=2, cycles=202)),
        qp.KindTotal(kind=qp.StepKind.Compute, total=qp.CycleTotal(samples=1, cycles=200)),
        qp.KindTotal(kind=qp.StepKind.Idle, total=qp.CycleTotal(samples=1, cycles=0)),
    ]
    assert summary.kernels[0] == qp.NamedTotal(name="gemm_f32_accumulate",
                                               total=qp.CycleTotal(samples=1, cycles=200))
    tile = summary.tiles[0]
    assert (tile.physical_tile, tile.busy, tile.first_start, tile.last_end) == \
        (1, qp.CycleTotal(samples=3, cycles=400), 4294967000, 4294967400)


def test_chrome_trace_is_the_library_trace(package):
    report = package.profile_report(run_output([10, 15, 15, 40], [7, 9]), CLOCK_HZ)
    trace = json.loads(report.chrome_trace())
    complete = [event for event in trace["traceEvents"]
                if event["ph"] == "X" and event["tid"] == 1]
    assert [event["name"] for event in complete][:3] == ["accumulate", "operation.4", "Idle"]
    assert json.loads(report.chrome_trace(align=True)) != trace
    report.clock_hz = 0
    with pytest.raises(qp.InvalidPackageError) as error:
        report.chrome_trace()
    assert error.value.message == \
        "report clock is 0 Hz, so its cycles have no duration in microseconds"
