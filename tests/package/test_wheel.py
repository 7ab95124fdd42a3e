"""The wheel builds, carries the package with its stubs, installs into a fresh
virtual environment and signs there.

Slow: building the wheel compiles the whole extension. Run through ctest
(label ``package``) or directly::

    PYTHONPATH=$PWD .venv/bin/python -m pytest -q tests/package/test_wheel.py
"""

import email.parser
import importlib.util
import json
import os
import pathlib
import subprocess
import sys
import textwrap
import tomllib
import zipfile

import nacl.signing
import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "python"))
from conftest import b58decode, b58encode, limit_order, message  # noqa: E402

SEED = bytes(range(101, 133))
NONCE = 1712345678901234567

# Runs inside the fresh environment: no PYTHONPATH, started outside the source tree.
SCRIPT = textwrap.dedent(
    f"""
    import json
    import vorn_keychain as vk

    signer = vk.Signer(vk.Keypair.from_bytes(bytes(range(101, 133))), "testnet")
    order = {{"type": "order", "symbol": "SOL-USD", "is_buy": False, "price": 150.5, "size": 2.0,
             "order_type": {{"type": "limit", "tif": "IOC"}}}}
    print(json.dumps({{
        "file": vk.__file__,
        "version": vk.__version__,
        "all": vk.__all__,
        "signed": signer.sign(order, nonce={NONCE}),
    }}))
    """
)

TYPED_USE = textwrap.dedent(
    """
    import vorn_keychain as vk

    signer = vk.Signer(vk.Keypair(), "devnet")
    signature: str = signer.sign_faucet()["signature"]
    wrong: int = signer.pubkey
    """
)


def run(cmd, **kwargs):
    result = subprocess.run(cmd, capture_output=True, text=True, timeout=3000, **kwargs)
    assert result.returncode == 0, f"{cmd}\n{result.stdout}\n{result.stderr}"
    return result


def clean_env():
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PYTHONHOME", "VIRTUAL_ENV")}
    env.setdefault("CMAKE_BUILD_PARALLEL_LEVEL", "2")
    return env


@pytest.fixture(scope="module")
def project():
    with (ROOT / "pyproject.toml").open("rb") as f:
        return tomllib.load(f)["project"]


@pytest.fixture(scope="module")
def wheel(tmp_path_factory):
    out = tmp_path_factory.mktemp("wheelhouse")
    run([sys.executable, "-m", "pip", "wheel", str(ROOT), "--no-build-isolation", "--no-deps", "-w", str(out)],
        env=clean_env())
    wheels = list(out.glob("*.whl"))
    assert len(wheels) == 1, wheels
    return wheels[0]


@pytest.fixture(scope="module")
def fresh_venv(tmp_path_factory, wheel):
    env_dir = tmp_path_factory.mktemp("fresh") / "venv"
    # From inside a virtual environment, venv builds on the base interpreter.
    run([sys.executable, "-m", "venv", str(env_dir)], env=clean_env())
    python = env_dir / "bin" / "python"
    run([str(python), "-m", "pip", "install", "-q", "--no-index", "--no-deps", str(wheel)], env=clean_env())
    return python


def test_wheel_name_and_files(wheel, project):
    assert wheel.name.startswith(f"vorn_keychain-{project['version']}-cp312-cp312-linux_")
    names = zipfile.ZipFile(wheel).namelist()
    dist_info = f"vorn_keychain-{project['version']}.dist-info"
    package = sorted(n for n in names if n.startswith("vorn_keychain/"))
    assert [n for n in package if not n.endswith(".so")] == [
        "vorn_keychain/__init__.py",
        "vorn_keychain/_native.pyi",
        "vorn_keychain/py.typed",
    ]
    modules = [n for n in package if n.endswith(".so")]
    assert len(modules) == 1 and modules[0].startswith("vorn_keychain/_native.cpython-312-")
    assert {f"{dist_info}/METADATA", f"{dist_info}/WHEEL", f"{dist_info}/RECORD",
            f"{dist_info}/licenses/LICENSE"} <= set(names)
    # Nothing else: no sources, tests or build files in the wheel.
    assert set(names) - set(package) == {n for n in names if n.startswith(dist_info + "/")}


def test_wheel_metadata(wheel, project):
    with zipfile.ZipFile(wheel) as z:
        meta = email.parser.Parser().parsestr(z.read(f"vorn_keychain-{project['version']}.dist-info/METADATA").decode())
    assert meta["Name"] == "vorn_keychain"
    assert meta["Version"] == project["version"]
    assert meta["Summary"] == "High-performance transaction signing for VORN DEX"
    assert meta["License-Expression"] == "MIT"
    assert meta["Requires-Python"] in (">=3.12,<3.13", "<3.13,>=3.12")
    assert meta["Author"]
    assert meta["Description-Content-Type"] == "text/markdown"
    assert "scripts/setup.sh" in meta.get_payload()
    classifiers = set(meta.get_all("Classifier"))
    assert {
        "Programming Language :: Python :: 3.12",
        "Programming Language :: C++",
        "Operating System :: POSIX :: Linux",
        "Topic :: Security :: Cryptography",
        "Typing :: Typed",
    } <= classifiers


def test_installed_wheel_imports_and_signs(fresh_venv, tmp_path, project):
    out = run([str(fresh_venv), "-c", SCRIPT], cwd=tmp_path, env=clean_env()).stdout
    result = json.loads(out)
    assert pathlib.Path(result["file"]).is_relative_to(fresh_venv.parent.parent)
    assert result["version"] == project["version"]
    assert len(result["all"]) == 28

    # Rebuild the signed message independently and check the signature with PyNaCl.
    key = nacl.signing.SigningKey(SEED)
    pubkey = bytes(key.verify_key)
    signed = result["signed"]
    assert signed["account"] == signed["signer"] == b58encode(pubkey)
    assert signed["nonce"] == NONCE
    msg = message([limit_order("SOL-USD", False, 150.5, 2.0, tif=1)], NONCE, pubkey, domain=2)
    key.verify_key.verify(msg, b58decode(signed["signature"]))
    assert b58encode(key.sign(msg).signature) == signed["signature"]


@pytest.mark.skipif(importlib.util.find_spec("mypy") is None, reason="mypy is not installed (pip install mypy)")
def test_installed_package_is_typed(fresh_venv, tmp_path):
    # mypy finds the installed package's stubs only through its py.typed marker.
    script = tmp_path / "typed_use.py"
    script.write_text(TYPED_USE)
    cmd = [sys.executable, "-m", "mypy", "--strict", "--no-error-summary", "--python-executable", str(fresh_venv),
           "--cache-dir", str(tmp_path / "cache"), str(script)]
    result = subprocess.run(cmd, cwd=tmp_path, env=clean_env(), capture_output=True, text=True, timeout=600)
    errors = [line for line in result.stdout.splitlines() if ": error:" in line]
    assert len(errors) == 1 and "typed_use.py:6:" in errors[0] and "incompatible types" in errors[0].lower(), result.stdout
