"""The repaired wheel carries its native libraries, installs into a fresh
virtual environment with nothing else, and signs there.

scripts/test.sh builds the one stable-ABI wheel once (scripts/wheel.sh) and
points VORN_WHEELHOUSE at it; run alone, the test builds it with its own
interpreter::

    PYTHONPATH=$PWD .venv-3.12/bin/python -m pytest -q tests/package
"""

import email.parser
import json
import os
import pathlib
import platform
import shutil
import subprocess
import sys
import textwrap
import tomllib
import zipfile

import nacl.signing
import pytest
from elftools.elf.elffile import ELFFile

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "python"))
from conftest import b58decode  # noqa: E402
from test_stubs import run_stubtest  # noqa: E402

# One wheel for every CPython from 3.12 on: the stable ABI of 3.12.
TAG = "cp312-abi3"
BUNDLED = ("libsodium", "libtbb")
# A recorded signing (tests/golden/actions.json): the installed module must
# give the same result, and its signature must verify over the recorded bytes.
CASE = next(c for c in json.loads((ROOT / "tests" / "golden" / "actions.json").read_text(encoding="utf-8"))
            if c["name"] == "sign/order/limit_testnet")

# Runs inside the fresh environment, outside the source tree: signs, then
# reports where the process mapped the bundled libraries from.
SCRIPT = textwrap.dedent(
    f"""
    import json
    import vorn_keychain as vk

    signer = vk.Signer(vk.Keypair.from_bytes(bytes.fromhex({CASE["signer"]["secret"]!r})), {CASE["signer"]["domain"]!r})
    signed = signer.sign(*{CASE["args"]!r}, **{CASE["kwargs"]!r})
    with open("/proc/self/maps") as maps:
        mapped = sorted({{line.split()[-1] for line in maps if {BUNDLED!r}[0] in line or {BUNDLED!r}[1] in line}})
    print(json.dumps({{"file": vk._native.__file__, "mapped": mapped, "signed": signed}}))
    """
)


def run(cmd, **kwargs):
    result = subprocess.run(cmd, capture_output=True, text=True, timeout=1800, **kwargs)
    assert result.returncode == 0, f"{cmd}\n{result.stdout}\n{result.stderr}"
    return result


def clean_env(**extra):
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PYTHONHOME", "VIRTUAL_ENV")}
    return env | extra


def tool(name):
    return str(pathlib.Path(sys.executable).parent / name)


@pytest.fixture(scope="module")
def project():
    with (ROOT / "pyproject.toml").open("rb") as f:
        return tomllib.load(f)["project"]


@pytest.fixture(scope="module")
def wheel(project):
    house = os.environ.get("VORN_WHEELHOUSE")
    if not house:
        run([str(ROOT / "scripts" / "wheel.sh"), sys.executable], env=clean_env())
        house = ROOT / "dist"
    # This machine's wheel (dist/ may also hold one cross-built for aarch64).
    name = f"vorn_keychain-{project['version']}-{TAG}-manylinux_*_{platform.machine()}.whl"
    wheels = list(pathlib.Path(house).glob(name))
    assert len(wheels) == 1, wheels
    return wheels[0]


@pytest.fixture(scope="module")
def site(tmp_path_factory, wheel):
    """site-packages of a fresh venv with only the wheel installed."""
    env_dir = tmp_path_factory.mktemp("fresh") / "venv"
    run([sys.executable, "-m", "venv", str(env_dir)], env=clean_env())
    run([str(env_dir / "bin" / "python"), "-m", "pip", "install", "-q", "--no-index", "--no-deps", str(wheel)],
        env=clean_env())
    return next(env_dir.glob("lib/python3.*/site-packages"))


def test_wheel_contents_and_metadata(wheel, project):
    names = [n for n in zipfile.ZipFile(wheel).namelist() if not n.endswith("/")]
    package = sorted(n for n in names if n.startswith("vorn_keychain/"))
    assert [n for n in package if not n.endswith(".so")] == [
        "vorn_keychain/__init__.py", "vorn_keychain/_native.pyi", "vorn_keychain/_types.py", "vorn_keychain/py.typed"]
    assert [n.split(".")[1] for n in package if n.endswith(".so")] == ["abi3"]
    libs = sorted(n.split("/")[1].split("-")[0] for n in names if n.startswith("vorn_keychain.libs/"))
    assert tuple(libs) == BUNDLED
    dist_info = f"vorn_keychain-{project['version']}.dist-info/"
    assert {n for n in names if not n.startswith(("vorn_keychain/", "vorn_keychain.libs/"))} == {
        dist_info + f for f in ("METADATA", "WHEEL", "RECORD", "licenses/LICENSE", "sboms/auditwheel.cdx.json")}

    meta = email.parser.Parser().parsestr(zipfile.ZipFile(wheel).read(dist_info + "METADATA").decode())
    for key, expected in [("Name", "vorn_keychain"), ("Version", project["version"]), ("License-Expression", "MIT"),
                          ("Requires-Python", ">=3.12"), ("Description-Content-Type", "text/markdown"),
                          ("Summary", project["description"])]:
        assert meta[key] == expected, key
    assert "scripts/wheel.sh" in meta.get_payload()
    assert {f"Programming Language :: Python :: 3.{n}" for n in (12, 13, 14, 15)} | {"Typing :: Typed"} <= set(
        meta.get_all("Classifier"))
    run([tool("twine"), "check", "--strict", str(wheel)])


def test_auditwheel_finds_nothing_outside_the_policy(wheel):
    shown = json.loads(run([tool("auditwheel"), "show", "--json", str(wheel)]).stdout)
    assert shown["external_libs"] == {}
    assert wheel.name.endswith(f"-{shown['overall_tag']}.whl")


def test_extension_uses_only_the_stable_abi_of_3_12(wheel):
    report = json.loads(run([tool("abi3audit"), "--strict", "--assume-minimum-abi3", "3.12", "--report",
                             str(wheel)]).stdout)
    # One scanned file (the wheel), holding one extension.
    [scanned] = [entry for files in report.values() for entry in files.values()]
    assert [(e["name"], e["result"]) for e in scanned["wheel"]] == [("_native.abi3.so", {
        "is_abi3": True, "is_abi3_baseline_compatible": True, "baseline": "3.12", "computed": "3.12",
        "non_abi3_symbols": [], "future_abi3_objects": {}})]


def test_installed_extension_uses_the_bundled_libraries_and_signs(site, tmp_path):
    out = json.loads(run([str(site.parents[2] / "bin" / "python"), "-c", SCRIPT], cwd=tmp_path,
                         env=clean_env()).stdout)
    module = pathlib.Path(out["file"])
    assert module.parent == site / "vorn_keychain"
    libs_dir = site / "vorn_keychain.libs"
    bundled = sorted(p.name for p in libs_dir.iterdir())
    with module.open("rb") as f:
        dynamic = ELFFile(f).get_section_by_name(".dynamic")
        needed = [t.needed for t in dynamic.iter_tags("DT_NEEDED")]
        search = [t.rpath if t.entry.d_tag == "DT_RPATH" else t.runpath for t in dynamic.iter_tags()
                  if t.entry.d_tag in ("DT_RPATH", "DT_RUNPATH")]
    # The repair renamed the libraries and pointed the module at them.
    assert sorted(n for n in needed if n.startswith(BUNDLED)) == bundled
    assert search == ["$ORIGIN/../vorn_keychain.libs"]
    assert [pathlib.Path(p).resolve() for p in out["mapped"]] == [(libs_dir / n).resolve() for n in bundled]

    assert out["signed"] == CASE["result"]
    message = bytes.fromhex(CASE["messages"][0]["$bytes"])
    nacl.signing.VerifyKey(b58decode(out["signed"]["signer"])).verify(message, b58decode(out["signed"]["signature"]))


def test_stubs_match_the_installed_module(site, tmp_path):
    result = run_stubtest(tmp_path, site)
    assert result.returncode == 0, result.stdout + result.stderr


def test_missing_native_dependencies_stop_with_one_message(tmp_path):
    cmake = shutil.which("cmake", path=str(pathlib.Path(sys.executable).parent)) or shutil.which("cmake")
    result = subprocess.run(
        [cmake, "-S", str(ROOT), "-B", str(tmp_path), "-DVORN_BUILD_EXTENSION=OFF", "-DCMAKE_DISABLE_FIND_PACKAGE_TBB=ON"],
        env=clean_env(PKG_CONFIG_LIBDIR=str(tmp_path / "none")), capture_output=True, text=True, timeout=300)
    assert result.returncode != 0
    assert result.stderr.count("CMake Error") == 1, result.stderr
    text = " ".join(result.stderr.split())
    assert "Install the Debian packages: libsodium-dev, libtbb-dev" in text and "scripts/setup.sh" in text, text
