import os
import pathlib
import subprocess

import pytest

# Set by ctest when the build installs: the build tree and the cmake that built it.
BUILD_DIR = os.environ.get("QEL_PACKAGE_BUILD_DIR")
CMAKE = os.environ.get("QEL_PACKAGE_CMAKE")
PYTHON = "/usr/bin/python3"


@pytest.mark.skipif(BUILD_DIR is None, reason="runs under ctest in a build with the install target")
@pytest.mark.parametrize("prefix", ["/usr", "/usr/local"])
def test_the_installed_module_is_where_debians_python_looks(prefix, tmp_path):
    subprocess.run([CMAKE, "--install", BUILD_DIR, "--component", "python", "--prefix", prefix],
                   env=dict(os.environ, DESTDIR=str(tmp_path)), check=True,
                   capture_output=True)
    search_path = subprocess.run([PYTHON, "-c", "import sys; print('\\n'.join(sys.path))"],
                                 env={}, check=True, capture_output=True,
                                 text=True).stdout.split()
    found = [entry for entry in search_path
             if (tmp_path / entry.lstrip("/") / "qel_package" / "__init__.py").exists()]
    assert len(found) == 1 and found[0].startswith(prefix + "/")
    installed = tmp_path / found[0].lstrip("/")
    assert sorted(path.name for path in (installed / "qel_package").iterdir()
                  if not path.name.startswith("_native.cpython")) == \
        ["__init__.py", "_errors.py", "_native.pyi", "_records.py", "py.typed"]
    result = subprocess.run(
        [PYTHON, "-c", "import qel_package as qp; print(qp.__file__, qp.Application())"],
        env={"PYTHONPATH": str(installed)}, cwd=tmp_path, check=True, capture_output=True,
        text=True)
    assert result.stdout.startswith(str(installed / "qel_package" / "__init__.py"))
