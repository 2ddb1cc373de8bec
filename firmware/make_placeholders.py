#!/usr/bin/env python3
"""Writes the fifteen placeholder firmware images into this folder.

The real firmware of the module is not part of this repository. These files
stand in for it: each has exactly the size of the image of its trigger mode,
starts with a text that marks it as a placeholder, and is filled with bytes
from a small deterministic generator seeded by the mode's resource id, so all
fifteen differ and every run of this script writes the same bytes.
"""
import os
import sys

MODES = [
    ("TGM_SINGLE_M0", 4097, 37744), ("TGM_CYCLE_M0", 4098, 37790),
    ("TGM_BIN_M0", 4099, 37918), ("TGM_BIN_M2", 4100, 38926),
    ("TGM_BIN10_M0", 4101, 37918), ("TGM_PBIN_M0", 4102, 37982),
    ("TGM_PBIN_M2", 4103, 38974), ("TGM_PBIN10_M0", 4104, 37984),
    ("TGM_RUART_M0", 4105, 38096), ("TGM_RUART_M2", 4106, 39102),
    ("TGM_FUART_M0", 4107, 38370), ("TGM_FUART_M2", 4108, 39378),
    ("TGM_AUART_M0", 4109, 38534), ("TGM_HGPS2_M0", 4110, 38414),
    ("TGM_HGPS2_M2", 4111, 39422),
]


def placeholder(name, rid, size):
    head = (f"ZLT900 PLACEHOLDER FIRMWARE - NOT A REAL MODULE IMAGE - "
            f"{name} id {rid} size {size}\n").encode("ascii")
    out = bytearray(head)
    state = rid * 2654435761 & 0xFFFFFFFF or 1
    while len(out) < size:
        # xorshift32
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        out.append(state & 0xFF)
    return bytes(out[:size])


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for name, rid, size in MODES:
        with open(os.path.join(folder, name + ".bin"), "wb") as f:
            f.write(placeholder(name, rid, size))


if __name__ == "__main__":
    main()
