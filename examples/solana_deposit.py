"""Build unsigned Solana transactions that move USDC into the exchange
(deposit) or file a withdrawal intent, for a wallet to sign and send.

The exchange's program id and accounts are compiled in. The default build's
are placeholders, and transactions built with them go nowhere: build with
the deployment's values (README, "Deployment constants"). This script says
on stderr when the placeholders are in use.

The module does no network I/O: the recent blockhash comes from your Solana
RPC node (``getLatestBlockhash``). A random stand-in is used here.

    PYTHONPATH=. python examples/solana_deposit.py
"""

import json
import sys

import vorn_keychain as vk

# The defaults of VORN_PROGRAM_ID, VORN_EXCHANGE_ACCOUNT_A and _B.
PLACEHOLDERS = {"VornProgram11111111111111111111111111111111", "VornExchangeAccountA11111111111111111111111",
                "VornExchangeAccountB11111111111111111111111"}

owner = vk.Keypair().pubkey  # the user's wallet address
amount = 25_000_000  # USDC base units (6 decimals): 25 USDC
recent_blockhash = vk.random_hash()  # use the blockhash from your RPC node

instruction = vk.build_deposit_instruction(owner, amount)
deposit_tx = vk.export_deposit_transaction(owner, amount, recent_blockhash)
withdraw_tx = vk.export_withdraw_intent_transaction(owner, amount, recent_blockhash)
compiled_in = {instruction["program_id"]} | {a["pubkey"] for a in instruction["accounts"]}
placeholders = sorted(compiled_in & PLACEHOLDERS)
if placeholders:
    print(f"warning: this build has placeholder deployment constants: {', '.join(placeholders)}", file=sys.stderr)

print(json.dumps({
    "owner": owner,
    "amount": amount,
    "recent_blockhash": recent_blockhash,
    "placeholder_constants": placeholders,
    "instruction": {
        "program_id": instruction["program_id"],
        "accounts": instruction["accounts"],
        "data_hex": instruction["data"].hex(),
    },
    "deposit_transaction_base64": deposit_tx,
    "withdraw_intent_transaction_base64": withdraw_tx,
}, indent=2))
