"""The type stubs agree with the live module and serve their users.

mypy's stubtest compares every name, signature, parameter kind and default,
class member and ``@final`` marker of the package (``__all__``, ``_native.pyi``
and ``_types``) with the imported one, with no allowlist (the package test runs
it again on the installed wheel). mypy then checks the package and the
examples, must see every name through a star import, and must refuse the calls
that the module refuses.
"""

import os
import pathlib
import subprocess
import sys
import tomllib

import vorn_keychain
from vorn_keychain import _native as vk

ROOT = pathlib.Path(__file__).resolve().parents[2]


def run_stubtest(tmp_path, path_entry):
    """stubtest of the package vorn_keychain as imported from path_entry, run outside the source tree."""
    env = dict(os.environ, PYTHONPATH=str(path_entry))
    env.pop("MYPYPATH", None)
    cmd = [sys.executable, "-m", "mypy.stubtest", "vorn_keychain", "--mypy-config-file", os.devnull]
    return subprocess.run(cmd, cwd=tmp_path, env=env, capture_output=True, text=True, timeout=600)


def run_mypy(tmp_path, *targets):
    env = dict(os.environ, MYPYPATH=str(ROOT))
    cmd = [sys.executable, "-m", "mypy", "--strict", "--no-error-summary", "--cache-dir", str(tmp_path / "cache")]
    return subprocess.run([*cmd, *targets], cwd=ROOT, env=env, capture_output=True, text=True, timeout=600)


def test_stubtest_accepts_the_stubs(tmp_path):
    result = run_stubtest(tmp_path, ROOT)
    assert result.returncode == 0, result.stdout + result.stderr


def test_package_re_exports_the_module():
    assert vorn_keychain.__all__ == vk.__all__
    for name in vk.__all__:
        assert getattr(vorn_keychain, name) is getattr(vk, name)


def test_version_matches_pyproject():
    with (ROOT / "pyproject.toml").open("rb") as f:
        assert vorn_keychain.__version__ == tomllib.load(f)["project"]["version"]


def test_mypy_accepts_stubs_package_and_examples(tmp_path):
    examples = sorted(str(p.relative_to(ROOT)) for p in (ROOT / "examples").glob("*.py"))
    result = run_mypy(tmp_path, "vorn_keychain", *examples)
    assert result.returncode == 0, result.stdout + result.stderr


# Each line marked "# refused" must draw a mypy error; the other lines must not.
MISUSE = '''\
import vorn_keychain as vk
from vorn_keychain import *

keypair = vk.Keypair()
signer = vk.Signer(keypair, "devnet")
vk.Signer(keypair, "Mainnet")  # refused
signer.sign({"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 1.0, "size": 1.0}, nonce="7")  # refused
signer.sign_transfer(signer.pubkey, signer.pubkey, 1.0, kind="Internal")  # refused
vk.Signer.with_nonce_manager(keypair, "Counter", "devnet")  # refused
vk.prepare_wallet_message(vk.py_prepare_faucet_request("devnet", signer.pubkey), "RAW")  # refused
tx = signer.sign_faucet()
tx["signature"].upper()
tx["signatures"]  # refused
signed: int = signer.sign_bytes(b"x")  # refused
prepared = vk.py_prepare_faucet_request("devnet", signer.pubkey)
prepared["message_bytes"].hex()
prepared["message_bytes"].upper() + "x"  # refused
keypair.pubkey = "x"  # refused
vk.Keypair.from_bytes(bytearray(32))  # refused
vk.compute_order_id_from_order({"l": {"c": "BTC-USD", "b": True, "px": 1.0, "sz": 1.0}}, 1, signer.pubkey).upper()  # refused
orders = [{"type": "order", "symbol": "BTC-USD", "is_buy": True, "price": 1.0 + i, "size": 1.0} for i in range(3)]
signer.sign_all(orders)
stop: vk.StopDict = {"type": "stop", "symbol": "BTC-USD", "is_buy": False, "size": 1.0, "trigger_price": 9.0}
signer.sign_group([stop, {"type": "cancel_all"}])
signer.sign_all([1])  # refused
bad_stop: vk.StopDict = {"type": "stop", "symbol": "BTC-USD", "is_buy": False, "size": 1.0}  # refused
Signer(Keypair(), "devnet").sign_faucet()["signature"].upper()
validate_pubkey(1)  # refused
'''


def test_mypy_refuses_misuse(tmp_path):
    path = tmp_path / "misuse.py"
    path.write_text(MISUSE)
    result = run_mypy(tmp_path, str(path))
    flagged = {int(line.split(":")[1]) for line in result.stdout.splitlines() if ": error:" in line}
    expected = {i for i, line in enumerate(MISUSE.splitlines(), 1) if line.endswith("# refused")}
    assert flagged == expected, result.stdout
