#!/usr/bin/env python3
"""Writes a seed corpus of valid databases of every version into the folder given."""
import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "cli"))
from test_cli import encode, random_record  # noqa: E402

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
with open(os.path.join(out, "empty-6-bytes.DB"), "wb") as f:
    f.write(bytes([0, 5, 0, 6, 0, 0]))
for version in range(6):
    for variant in range(3):
        rng = random.Random(version * 10 + variant)
        n = [0, 3, 12][variant]
        records = {i: random_record(rng, i + 1, i + 1, rng.randrange(5)) for i in range(n)}
        with open(os.path.join(out, "v%d-%d.DB" % (version, variant)), "wb") as f:
            f.write(encode(version, n, records))
