"""The type stubs and the package's re-exports agree with the live module.

The stub file is parsed with ``ast`` and every function, class member and
parameter list is compared with ``inspect.signature`` of the extension module,
in both directions, so that neither side can drift. mypy then checks the stubs,
the package and the examples, and must refuse calls that the module refuses.
"""

import ast
import importlib.util
import inspect
import os
import pathlib
import subprocess
import sys
import tomllib

import pytest

import vorn_keychain
from vorn_keychain import _native as vk

ROOT = pathlib.Path(__file__).resolve().parents[2]
STUB = ROOT / "vorn_keychain" / "_native.pyi"
NO_DEFAULT = "<no default>"

KIND_OF_AST_FIELD = {
    "posonlyargs": inspect.Parameter.POSITIONAL_ONLY,
    "args": inspect.Parameter.POSITIONAL_OR_KEYWORD,
    "vararg": inspect.Parameter.VAR_POSITIONAL,
    "kwonlyargs": inspect.Parameter.KEYWORD_ONLY,
    "kwarg": inspect.Parameter.VAR_KEYWORD,
}


def stub_tree():
    return ast.parse(STUB.read_text(), filename=str(STUB))


def decorator_names(node):
    return {d.id if isinstance(d, ast.Name) else ast.unparse(d) for d in node.decorator_list}


def is_typed_dict(node, typed_dicts):
    """A TypedDict, directly or through a TypedDict declared earlier in the stub."""
    return any(ast.unparse(base) in ("TypedDict", *typed_dicts) for base in node.bases)


def stub_params(fn: ast.FunctionDef):
    """(name, kind, default) for every parameter of a stub function, in order."""
    a = fn.args
    positional = a.posonlyargs + a.args
    defaults = [NO_DEFAULT] * (len(positional) - len(a.defaults)) + [ast.literal_eval(d) for d in a.defaults]
    out = []
    for i, arg in enumerate(positional):
        kind = KIND_OF_AST_FIELD["posonlyargs" if i < len(a.posonlyargs) else "args"]
        out.append((arg.arg, kind, defaults[i]))
    if a.vararg:
        out.append((a.vararg.arg, KIND_OF_AST_FIELD["vararg"], NO_DEFAULT))
    for arg, default in zip(a.kwonlyargs, a.kw_defaults):
        out.append((arg.arg, KIND_OF_AST_FIELD["kwonlyargs"], NO_DEFAULT if default is None else ast.literal_eval(default)))
    if a.kwarg:
        out.append((a.kwarg.arg, KIND_OF_AST_FIELD["kwarg"], NO_DEFAULT))
    return out


def live_params(obj):
    return [
        (p.name, p.kind, NO_DEFAULT if p.default is inspect.Parameter.empty else p.default)
        for p in inspect.signature(obj).parameters.values()
    ]


def stub_module():
    """Functions, runtime classes, type-only names and __all__ declared by the stub."""
    functions, classes, type_only, declared_all = {}, {}, set(), None
    for node in stub_tree().body:
        if isinstance(node, ast.FunctionDef):
            functions[node.name] = node
        elif isinstance(node, ast.ClassDef):
            if is_typed_dict(node, type_only):
                type_only.add(node.name)
            else:
                classes[node.name] = node
        elif isinstance(node, ast.AnnAssign) and ast.unparse(node.annotation) == "TypeAlias":
            type_only.add(node.target.id)
        elif isinstance(node, ast.Assign) and [ast.unparse(t) for t in node.targets] == ["__all__"]:
            declared_all = ast.literal_eval(node.value)
    return functions, classes, type_only, declared_all


STUB_FUNCTIONS, STUB_CLASSES, STUB_TYPE_ONLY, STUB_ALL = stub_module()
LIVE_PUBLIC = sorted(name for name in dir(vk) if not name.startswith("_"))
LIVE_FUNCTIONS = [name for name in vk.__all__ if not isinstance(getattr(vk, name), type)]
LIVE_CLASSES = [name for name in vk.__all__ if isinstance(getattr(vk, name), type)]


def live_members(cls):
    """The members a class defines itself: public names, the conversions it defines, the constructor."""
    names = {name for name in vars(cls) if not name.startswith("_")}
    names |= {name for name in ("__repr__", "__str__") if name in vars(cls)}
    return names | {"__init__"}


def stub_members(name):
    return {node.name: node for node in STUB_CLASSES[name].body if isinstance(node, ast.FunctionDef)}


def test_stub_declares_exactly_the_module_names():
    assert STUB_ALL == vk.__all__
    assert sorted([*STUB_FUNCTIONS, *STUB_CLASSES]) == LIVE_PUBLIC
    assert sorted(vk.__all__) == LIVE_PUBLIC
    # Names that exist only for type checkers must not shadow anything real.
    assert not STUB_TYPE_ONLY & set(dir(vk))


@pytest.mark.parametrize("name", LIVE_FUNCTIONS)
def test_function_parameters_match(name):
    assert stub_params(STUB_FUNCTIONS[name]) == live_params(getattr(vk, name))


@pytest.mark.parametrize("cls_name", LIVE_CLASSES)
def test_class_members_match(cls_name):
    assert set(stub_members(cls_name)) == live_members(getattr(vk, cls_name))


def member_cases():
    for cls_name in LIVE_CLASSES:
        for member in sorted(live_members(getattr(vk, cls_name))):
            yield pytest.param(cls_name, member, id=f"{cls_name}.{member}")


def sample_instance(cls):
    keypair = vk.Keypair()
    return keypair if cls is vk.Keypair else vk.Signer(keypair, "devnet")


@pytest.mark.parametrize(("cls_name", "member"), list(member_cases()))
def test_class_member_kind_and_parameters(cls_name, member):
    cls = getattr(vk, cls_name)
    node = stub_members(cls_name)[member]
    decorators = decorator_names(node)
    if member == "__init__":
        # The class's own signature omits the instance, which the stub spells as self.
        params = stub_params(node)
        assert params[0] == ("self", inspect.Parameter.POSITIONAL_ONLY, NO_DEFAULT)
        assert params[1:] == live_params(cls)
        return
    raw = vars(cls)[member]
    if isinstance(raw, staticmethod):
        assert decorators == {"staticmethod"}
        assert stub_params(node) == live_params(getattr(cls, member))
    elif inspect.isdatadescriptor(raw):
        assert decorators == {"property"}
        assert [p[0] for p in stub_params(node)] == ["self"]
        # A property without a setter in the stub is read-only in the module too.
        instance = sample_instance(cls)
        with pytest.raises(AttributeError):
            setattr(instance, member, "x")
        assert isinstance(getattr(instance, member), str)
    else:
        assert decorators == set()
        assert stub_params(node) == live_params(raw)


@pytest.mark.parametrize("cls_name", LIVE_CLASSES)
def test_final_classes_cannot_be_subclassed(cls_name):
    assert "final" in decorator_names(STUB_CLASSES[cls_name])
    with pytest.raises(TypeError, match="not an acceptable base type"):
        type("Derived", (getattr(vk, cls_name),), {})


def test_package_re_exports_the_module():
    assert vorn_keychain.__all__ == vk.__all__
    for name in vk.__all__:
        assert getattr(vorn_keychain, name) is getattr(vk, name)


def test_version_matches_pyproject():
    with (ROOT / "pyproject.toml").open("rb") as f:
        version = tomllib.load(f)["project"]["version"]
    assert vorn_keychain.__version__ == version


def test_py_typed_marker_is_present():
    assert (ROOT / "vorn_keychain" / "py.typed").is_file()


# ---- mypy ----

MYPY_MISSING = importlib.util.find_spec("mypy") is None
needs_mypy = pytest.mark.skipif(MYPY_MISSING, reason="mypy is not installed in this environment (pip install mypy)")


def run_mypy(tmp_path, *targets):
    env = dict(os.environ, MYPYPATH=str(ROOT))
    cmd = [sys.executable, "-m", "mypy", "--strict", "--no-error-summary", "--cache-dir", str(tmp_path / "cache")]
    return subprocess.run([*cmd, *targets], cwd=ROOT, env=env, capture_output=True, text=True, timeout=600)


@needs_mypy
def test_mypy_accepts_stubs_package_and_examples(tmp_path):
    examples = sorted(str(p.relative_to(ROOT)) for p in (ROOT / "examples").glob("*.py"))
    result = run_mypy(tmp_path, "vorn_keychain", *examples)
    assert result.returncode == 0, result.stdout + result.stderr


# Each line marked "# refused" must draw a mypy error; the other lines must not.
MISUSE = '''\
import vorn_keychain as vk

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
'''


@needs_mypy
def test_mypy_refuses_misuse(tmp_path):
    path = tmp_path / "misuse.py"
    path.write_text(MISUSE)
    result = run_mypy(tmp_path, str(path))
    flagged = {int(line.split(":")[1]) for line in result.stdout.splitlines() if ": error:" in line}
    expected = {i for i, line in enumerate(MISUSE.splitlines(), 1) if line.endswith("# refused")}
    assert flagged == expected, result.stdout
