import os
import pathlib
import re
import subprocess
import sys

import qel_package
from conftest import profiled_package, run_output

README = pathlib.Path(__file__).resolve().parents[2] / "README.md"


def readme_example():
    python_section = README.read_text().split("\n## Python\n", 1)[1]
    return re.search(r"```python\n(.*?)```", python_section, re.S).group(1)


def test_the_readme_example_runs_as_written(tmp_path):
    package = profiled_package()
    (tmp_path / "app.qel").write_bytes(package.write())
    (tmp_path / "run.out").write_bytes(run_output([10, 15, 15, 40], [7, 9]))
    # The example imports the module under test, wherever that was found.
    environment = dict(os.environ,
                       PYTHONPATH=str(pathlib.Path(qel_package.__file__).parents[1]))
    result = subprocess.run([sys.executable, "-c", readme_example()], cwd=tmp_path,
                            env=environment, capture_output=True, text=True)
    assert result.stderr == ""
    assert result.returncode == 0
    lines = result.stdout.splitlines()
    assert lines[:2] == ["tile 0: 12 image bytes", "tile 1: 12 image bytes"]
    assert len(lines) > 2  # the samples, as a DataFrame or an array
