#!/usr/bin/python3
"""Writes the seed corpus of fuzz_pack and fuzz_zlib with the independent
archive writer's payload kinds. Run from the repository root; the files are
kept in git, so this is only needed to change them."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "fixtures"))
from independent_archive import build_payload  # noqa: E402

TEXT = {"text": "seed text for the fuzzers, compressible and compressible again. " * 6}

SEEDS = {
    "fuzz_pack": {
        "one_item": ({"hex": "010000000c0000000a000000" + "41" * 10}, False),
        "extra_header": ({"pack": {"items": [{"text": "abc"}, {"text": "defgh"}],
                                   "extra_header": "eeeeeeee"}}, False),
        "odd_item_0": ({"pack": {"items": [{"text": "odd"}, {"text": "next"}]}}, False),
        "pack_of_stream": ({"pack": {"items": [
            {"zlib_stream": {"chunk_size": 256, "payload": TEXT}}, {"text": "beside"}]}}, False),
        "big_endian": ({"pack": {"items": [{"text": "big"}, {"pack": {"items": [
            {"text": "endian"}]}}]}}, True),
    },
    "fuzz_zlib": {
        "stream": ({"zlib_stream": {"chunk_size": 256, "payload": TEXT}}, False),
        "stored_chunk": ({"zlib_stream": {"chunk_size": 256, "chunks": [
            {"payload": {"repeat": [90, 124]}, "stored": True},
            {"payload": {"repeat": [91, 200]}}]}}, False),
        "stream_of_pack": ({"zlib_stream": {"chunk_size": 512, "payload": {"pack": {"items": [
            TEXT, {"text": "second"}]}}}}, False),
        "exact_multiple": ({"zlib_stream": {"chunk_size": 128, "payload": {"repeat": [7, 384]}}},
                           True),
        "broken_chunk": ({"hex": "00010000020000002c010000" + "40000000" + "0c000000" + "00" * 108
                          + "3c000000" + "ff" * 60 + "00" * 64
                          + "08000000" + "789c030000000001" + "00" * 116}, False),
    },
}


def main():
    root = os.path.join(os.path.dirname(__file__), "corpus")
    for target, seeds in SEEDS.items():
        os.makedirs(os.path.join(root, target), exist_ok=True)
        for name, (description, big_endian) in seeds.items():
            with open(os.path.join(root, target, name), "wb") as f:
                f.write(build_payload(description, big_endian))


if __name__ == "__main__":
    main()
