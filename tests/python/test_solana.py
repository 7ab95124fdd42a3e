"""Solana USDC deposit and withdrawal-intent instructions and their unsigned
transactions, checked against the reference Solana implementation in solders
(associated token accounts, the on-curve test, legacy message compilation and
the transaction wire format)."""

import base64
import random

import nacl.signing
import pytest
from solders.hash import Hash
from solders.instruction import AccountMeta, Instruction
from solders.message import Message
from solders.pubkey import Pubkey
from solders.signature import Signature
from solders.token.associated import get_associated_token_address
from solders.transaction import Transaction

from conftest import b58encode

from vorn_keychain import _native as vk

TOKEN_PROGRAM = Pubkey.from_string("TokenkegQfeZyiNwAJbNbGKPFXCWuBvf9Ss623VQ5DA")
USDC_MINT = Pubkey.from_string("EPjFWdd5AufqSSqeM2qN1xzybapC8G4wEGGkZwyTDt1v")
ATA_PROGRAM = Pubkey.from_string("ATokenGPvbdGVxr1b2hvZbsiqW5xWH25efTNsLJA8knL")
P = 2**255 - 19
PREFIX = "invalid Solana instruction: "


def wallet(rng: random.Random) -> str:
    seed = bytes(rng.getrandbits(8) for _ in range(32))
    return str(Pubkey(bytes(nacl.signing.SigningKey(seed).verify_key)))


def blockhash(rng: random.Random) -> str:
    return str(Hash(bytes(rng.getrandbits(8) for _ in range(32))))


def reference_ata(owner: str) -> Pubkey:
    return get_associated_token_address(Pubkey.from_string(owner), USDC_MINT)


def to_solders(ix: dict) -> Instruction:
    metas = [AccountMeta(Pubkey.from_string(a["pubkey"]), a["is_signer"], a["is_writable"]) for a in ix["accounts"]]
    return Instruction(Pubkey.from_string(ix["program_id"]), ix["data"], metas)


def decode_tx(b64: str) -> Transaction:
    return Transaction.from_bytes(base64.b64decode(b64, validate=True))


def encode_y(y: int, sign: bool = False) -> bytes:
    b = bytearray(y.to_bytes(32, "little"))
    if sign:
        b[31] |= 0x80
    return bytes(b)


# ---- associated token accounts ----


def test_associated_token_account_matches_reference_for_many_owners():
    rng = random.Random(20240611)
    for _ in range(300):
        owner = wallet(rng)
        expected = reference_ata(owner)
        pda, _bump = Pubkey.find_program_address(
            [bytes(Pubkey.from_string(owner)), bytes(TOKEN_PROGRAM), bytes(USDC_MINT)], ATA_PROGRAM
        )
        assert pda == expected
        for build in (vk.build_deposit_instruction, vk.build_withdraw_intent_instruction):
            ix = build(owner, 1)
            assert ix["accounts"][1]["pubkey"] == str(expected)


# ---- the on-curve test ----


def test_owner_on_curve_check_agrees_with_reference_on_random_bytes():
    rng = random.Random(7)
    seen = {True: 0, False: 0}
    for _ in range(400):
        raw = bytes(rng.getrandbits(8) for _ in range(32))
        on_curve = Pubkey(raw).is_on_curve()
        seen[on_curve] += 1
        owner = str(Pubkey(raw))
        if on_curve:
            assert vk.build_deposit_instruction(owner, 1)["accounts"][0]["pubkey"] == owner
        else:
            with pytest.raises(ValueError, match="^invalid Solana instruction: owner must be an on-curve wallet$"):
                vk.build_deposit_instruction(owner, 1)
    assert seen[True] > 50 and seen[False] > 50


@pytest.mark.parametrize(
    "raw",
    [encode_y(1), encode_y(1, True), encode_y(P - 1), encode_y(P - 1, True), encode_y(0), encode_y(0, True)]
    + [encode_y(P + k, s) for k in range(19) for s in (False, True)]
    + [encode_y(y, s) for y in range(2, 40) for s in (False, True)]
    + [
        bytes.fromhex("26e8958fc2b227b045c3f489f2ef98f0d5dfac05d3c63339b13802886d53fc05"),
        bytes.fromhex("c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac03fa"),
    ],
)
def test_owner_edge_encodings_agree_with_reference(raw):
    # Small-order points, x = 0 with the sign bit, y >= p: all as the chain decides.
    owner = str(Pubkey(raw))
    if Pubkey(raw).is_on_curve():
        assert vk.build_withdraw_intent_instruction(owner, 3)["accounts"][0]["pubkey"] == owner
    else:
        with pytest.raises(ValueError, match="owner must be an on-curve wallet"):
            vk.build_withdraw_intent_instruction(owner, 3)


def test_program_derived_owner_is_refused():
    owner = wallet(random.Random(1))
    with pytest.raises(ValueError) as err:
        vk.export_deposit_transaction(str(reference_ata(owner)), 5, blockhash(random.Random(2)))
    assert str(err.value) == PREFIX + "owner must be an on-curve wallet"


# ---- instruction dicts ----


def test_deposit_instruction_dict():
    owner = wallet(random.Random(11))
    ix = vk.build_deposit_instruction(owner, 1)
    assert list(ix) == ["program_id", "accounts", "data"]
    assert isinstance(ix["program_id"], str)
    Pubkey.from_string(ix["program_id"])
    assert ix["data"] == bytes.fromhex("020100000000000000")
    accounts = ix["accounts"]
    assert len(accounts) == 6
    for a in accounts:
        assert list(a) == ["pubkey", "is_signer", "is_writable"]
        assert type(a["is_signer"]) is bool and type(a["is_writable"]) is bool
        Pubkey.from_string(a["pubkey"])
    flags = [(a["is_signer"], a["is_writable"]) for a in accounts]
    assert flags == [(True, True), (False, True), (False, False), (False, False), (False, True), (False, False)]
    assert accounts[0]["pubkey"] == owner
    assert accounts[1]["pubkey"] == str(reference_ata(owner))
    assert accounts[3]["pubkey"] == str(USDC_MINT)
    assert accounts[5]["pubkey"] == str(TOKEN_PROGRAM)


def test_withdraw_intent_instruction_dict():
    owner = wallet(random.Random(12))
    ix = vk.build_withdraw_intent_instruction(owner, 1)
    deposit = vk.build_deposit_instruction(owner, 1)
    assert list(ix) == ["program_id", "accounts", "data"]
    assert ix["data"] == bytes.fromhex("040100000000000000")
    accounts = ix["accounts"]
    assert len(accounts) == 5
    flags = [(a["is_signer"], a["is_writable"]) for a in accounts]
    assert flags == [(True, True)] + [(False, False)] * 4
    # Same program and the same accounts as the deposit, minus the token program.
    assert ix["program_id"] == deposit["program_id"]
    assert [a["pubkey"] for a in accounts] == [a["pubkey"] for a in deposit["accounts"][:5]]
    assert accounts[1]["pubkey"] == str(reference_ata(owner))
    assert accounts[3]["pubkey"] == str(USDC_MINT)


def test_amount_is_little_endian_base_units():
    owner = wallet(random.Random(13))
    assert vk.build_deposit_instruction(owner, 1_500_000)["data"] == b"\x02" + (1_500_000).to_bytes(8, "little")
    assert vk.build_withdraw_intent_instruction(owner, 2**64 - 1)["data"] == b"\x04" + b"\xff" * 8
    assert vk.build_deposit_instruction(owner, True)["data"] == bytes.fromhex("020100000000000000")


def test_owner_is_returned_in_canonical_base58():
    # Leading zero bytes come back as '1's, however the caller wrote them.
    raw = encode_y(4)
    owner = str(Pubkey(raw))
    assert vk.build_deposit_instruction(owner, 1)["accounts"][0]["pubkey"] == owner


# ---- exported transactions ----


@pytest.mark.parametrize("deposit", [True, False])
def test_exported_transaction_matches_reference_compiler(deposit):
    rng = random.Random(99 if deposit else 98)
    build = vk.build_deposit_instruction if deposit else vk.build_withdraw_intent_instruction
    export = vk.export_deposit_transaction if deposit else vk.export_withdraw_intent_transaction
    for _ in range(40):
        owner = wallet(rng)
        bh = blockhash(rng)
        amount = rng.randrange(1, 2**64)
        b64 = export(owner, amount, bh)
        raw = base64.b64decode(b64, validate=True)
        assert base64.b64encode(raw).decode() == b64  # standard alphabet, padded
        ix = build(owner, amount)
        message = Message.new_with_blockhash([to_solders(ix)], Pubkey.from_string(owner), Hash.from_string(bh))
        assert raw == bytes(Transaction.new_unsigned(message))


def by_key_bytes(keys):
    return sorted(keys, key=lambda k: bytes(Pubkey.from_string(k)))


@pytest.mark.parametrize("export,build,tag,readonly_unsigned,count", [
    (vk.export_deposit_transaction, vk.build_deposit_instruction, 2, 4, 7),
    (vk.export_withdraw_intent_transaction, vk.build_withdraw_intent_instruction, 4, 5, 6),
])
def test_exported_layout(export, build, tag, readonly_unsigned, count):
    rng = random.Random(tag)
    owner, bh = wallet(rng), blockhash(rng)
    b64 = export(owner, 42, bh)
    raw = base64.b64decode(b64)
    assert raw[0] == 1 and raw[1:65] == bytes(64)
    assert raw[65:68] == bytes([1, 0, readonly_unsigned]) and raw[68] == count
    tx = decode_tx(b64)
    assert tx.signatures == [Signature.default()]
    msg = tx.message
    h = msg.header
    assert (h.num_required_signatures, h.num_readonly_signed_accounts,
            h.num_readonly_unsigned_accounts) == (1, 0, readonly_unsigned)
    ix = build(owner, 42)
    keys = [str(k) for k in msg.account_keys]
    assert len(keys) == count and keys[0] == owner
    # The owner, then the writable accounts, then the read-only ones with the
    # program, each group in key byte order.
    accounts = [a["pubkey"] for a in ix["accounts"]]
    writable = by_key_bytes([a["pubkey"] for a in ix["accounts"][1:] if a["is_writable"]])
    readonly = by_key_bytes([a["pubkey"] for a in ix["accounts"][1:] if not a["is_writable"]] + [ix["program_id"]])
    assert keys[1:] == writable + readonly
    assert str(msg.recent_blockhash) == bh
    assert len(msg.instructions) == 1
    compiled = msg.instructions[0]
    assert keys[compiled.program_id_index] == ix["program_id"]
    assert [keys[i] for i in compiled.accounts] == accounts
    assert compiled.data == bytes([tag]) + (42).to_bytes(8, "little")
    # The parsed message reports the same signer and writable flags.
    for a in ix["accounts"]:
        k = keys.index(a["pubkey"])
        assert msg.is_signer(k) == a["is_signer"]
        signed_writable = h.num_required_signatures - h.num_readonly_signed_accounts
        unsigned_writable_end = len(keys) - h.num_readonly_unsigned_accounts
        writable_by_header = k < signed_writable or h.num_required_signatures <= k < unsigned_writable_end
        assert writable_by_header == a["is_writable"]


def test_blockhash_length_bounds():
    owner = wallet(random.Random(8))
    h44 = str(Hash(b"\xff" * 32))
    h43 = str(Hash(b"\x01" + bytes(31)))
    assert (len(h44), len(h43)) == (44, 43)
    for bh in (h44, h43, "1" * 32):
        assert str(decode_tx(vk.export_deposit_transaction(owner, 1, bh)).message.recent_blockhash) == bh
    for bh in ("1" + h44, h44 + "1", "z" * 45, "", "1" * 31, "1" * 33, "0" * 32, "z" * 44, "x" * 10000):
        for export in (vk.export_deposit_transaction, vk.export_withdraw_intent_transaction):
            with pytest.raises(ValueError) as err:
                export(owner, 1, bh)
            assert str(err.value) == PREFIX + "recent blockhash must be a base58 32-byte hash"


# ---- errors and argument conversion ----


def test_error_messages():
    owner = wallet(random.Random(9))
    bh = blockhash(random.Random(10))
    cases = [
        (lambda: vk.build_deposit_instruction(owner, 0), "amount must be positive"),
        (lambda: vk.build_withdraw_intent_instruction(owner, 0), "amount must be positive"),
        (lambda: vk.export_deposit_transaction(owner, 0, bh), "amount must be positive"),
        (lambda: vk.export_withdraw_intent_transaction(owner, 0, "bad"), "amount must be positive"),
        (lambda: vk.build_deposit_instruction(str(Pubkey(bytes(32)))[:-1], 1), "owner must be a base58 public key"),
        (lambda: vk.build_deposit_instruction("", 1), "owner must be a base58 public key"),
        (lambda: vk.build_deposit_instruction("0" * 32, 1), "owner must be a base58 public key"),
        (lambda: vk.build_deposit_instruction("1" * 45, 1), "owner must be a base58 public key"),
        (lambda: vk.export_withdraw_intent_transaction(" " + owner, 1, bh), "owner must be a base58 public key"),
        (lambda: vk.build_withdraw_intent_instruction(str(Pubkey(encode_y(2))), 1), "owner must be an on-curve wallet"),
        (lambda: vk.export_deposit_transaction(owner, 1, bh[:-2]), "recent blockhash must be a base58 32-byte hash"),
    ]
    for call, text in cases:
        with pytest.raises(ValueError) as err:
            call()
        assert str(err.value) == PREFIX + text
    # A 31-byte key and a 33-byte key.
    raw = bytes(Pubkey.from_string(owner))
    for text in (b58encode(raw[:31]), b58encode(raw + b"\x01")):
        with pytest.raises(ValueError) as err:
            vk.build_deposit_instruction(text, 1)
        assert str(err.value) == PREFIX + "owner must be a base58 public key"


def test_argument_types_and_binding():
    owner = wallet(random.Random(14))
    bh = blockhash(random.Random(15))
    with pytest.raises(TypeError, match="owner"):
        vk.build_deposit_instruction(b"owner", 1)
    with pytest.raises(TypeError, match="amount"):
        vk.build_deposit_instruction(owner, 1.0)
    with pytest.raises(TypeError, match="recent_blockhash"):
        vk.export_deposit_transaction(owner, 1, None)
    with pytest.raises(OverflowError):
        vk.build_withdraw_intent_instruction(owner, -1)
    with pytest.raises(OverflowError):
        vk.export_withdraw_intent_transaction(owner, 2**64, bh)
    assert vk.export_deposit_transaction(amount=7, recent_blockhash=bh, owner=owner) == vk.export_deposit_transaction(
        owner, 7, bh
    )
    assert vk.build_withdraw_intent_instruction(amount=7, owner=owner) == vk.build_withdraw_intent_instruction(owner, 7)


def test_results_do_not_share_state():
    owner = wallet(random.Random(16))
    first = vk.build_deposit_instruction(owner, 1)
    first["accounts"][0]["pubkey"] = "changed"
    first["accounts"].clear()
    again = vk.build_deposit_instruction(owner, 1)
    assert again["accounts"][0]["pubkey"] == owner
    assert len(again["accounts"]) == 6
    assert vk.export_deposit_transaction(owner, 3, "1" * 32) == vk.export_deposit_transaction(owner, 3, "1" * 32)
