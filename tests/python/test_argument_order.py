"""Which of several bad arguments a call reports: the first, in parameter order,
except where a row says "stays" (keys decode after every argument has its type,
payload keys after the network and account, and a few payloads are read last).
"""

import pytest

from vorn_keychain import _native as vk

PK = vk.Keypair(bytes(range(1, 33))).pubkey
SIGNER = vk.Signer(vk.Keypair(bytes(range(1, 33))), "devnet")
DOMAIN = "invalid signature domain ''; expected mainnet, testnet, or devnet"
BASE58 = "invalid base58: provided string contained invalid character '0' at byte 2"
NOT_LIST = "argument 'orders': 'dict' object cannot be converted to 'list'"
NONCE_TYPE = "argument 'nonce': 'str' object cannot be interpreted as an integer"

CASES = [
    # The list of orders converts first, elements included.
    (vk.py_prepare_all_orders, ({}, "", ""), TypeError, NOT_LIST),
    (vk.py_prepare_order_group, ({}, "", ""), TypeError, NOT_LIST),
    (vk.py_prepare_all_orders, ([1], "", ""), TypeError, "'int' object cannot be converted to 'dict'"),
    # The first key's type is checked before the network and the account decode.
    (vk.py_prepare_revoke_builder_code, (1, "", ""), TypeError,
     "argument 'to_pubkey': 'int' object cannot be converted to 'str'"),
    (vk.py_prepare_revoke_commission_fee, (1, "", ""), TypeError,
     "argument 'to_pubkey': 'int' object cannot be converted to 'str'"),
    (vk.py_prepare_remove_sub_account, (1, "", ""), TypeError,
     "argument 'to_remove': 'int' object cannot be converted to 'str'"),
    # Stays: the order of py_prepare_order is read after the other arguments.
    (vk.py_prepare_order, (1, "", ""), ValueError, DOMAIN),
    (vk.py_prepare_order, (1, "devnet", 1), TypeError,
     "argument 'account': 'int' object cannot be converted to 'str'"),
    (vk.py_prepare_update_liquidator_config, (1, "", ""), TypeError,
     "argument 'config': 'int' object cannot be converted to 'dict'"),
    # Stays: the Signer reads the configuration after the nonce.
    (SIGNER.sign_update_liquidator_config, (1, ""), TypeError, NONCE_TYPE),
    # Stays: compute_order_id_from_order reads the order after the nonce and
    # the account's type, but before the account decodes.
    (vk.compute_order_id_from_order, (1, "", PK), TypeError, NONCE_TYPE),
    (vk.compute_order_id_from_order, (1, 5, "zz0"), TypeError,
     "argument 'order': 'int' object cannot be converted to 'dict'"),
    # Stays: payload keys decode after the network; types come before any key.
    (vk.py_prepare_approve_builder_code, ("zz0", 1, "", PK), ValueError, DOMAIN),
    (vk.py_prepare_approve_builder_code, ("zz0", "", "devnet", PK), TypeError,
     "argument 'fee': 'str' object cannot be interpreted as an integer"),
    (vk.py_prepare_approve_builder_code, ("zz0", 99, "devnet", PK), ValueError, BASE58),
    (SIGNER.sign_revoke_commission_fee, ("zz0", ""), TypeError, NONCE_TYPE),
    # Stays: the transfer kind's type is checked first, its value after the keys.
    (vk.py_prepare_transfer, ("zz0", PK, 1.0, "devnet", PK, 1), TypeError,
     "argument 'kind': 'int' object cannot be converted to 'str'"),
    (vk.py_prepare_transfer, ("zz0", PK, 1.0, "devnet", PK, "sideways"), ValueError, BASE58),
]


@pytest.mark.parametrize(("function", "args", "error", "text"), CASES)
def test_first_bad_argument_is_reported(function, args, error, text):
    with pytest.raises(error) as raised:
        function(*args)
    assert type(raised.value) is error and str(raised.value) == text
