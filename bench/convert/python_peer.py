#!/usr/bin/python3
"""The Python peer of the throughput benchmark: times Python's codecs on the sample files.

Usage: python_peer.py SAMPLE_DIR REPETITIONS FROM:TO...
FROM and TO are sample file suffixes (sjis, euc, jis, utf8). For each pair it decodes the FROM
sample and encodes the text into TO, REPETITIONS times, and prints one line
"FROM:TO SECONDS OUTPUT_BYTES" with the median processor time of one whole conversion, or
"FROM:TO error MESSAGE" when the codecs refuse the bytes. The output of each pair is left in
SAMPLE_DIR/python.FROM-TO for the benchmark to compare with its own.
"""

import statistics
import sys
import time

CODECS = {"sjis": "cp932", "euc": "euc_jp", "jis": "iso2022_jp", "utf8": "utf-8"}


def main():
    sample_dir, repetitions, pairs = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    for pair in pairs:
        source, target = pair.split(":")
        data = open(f"{sample_dir}/sample.{source}", "rb").read()
        decode, encode = CODECS[source], CODECS[target]
        times, out = [], b""
        try:
            for _ in range(repetitions):
                start = time.thread_time()
                out = data.decode(decode).encode(encode)
                times.append(time.thread_time() - start)
        except UnicodeError as e:
            print(f"{pair} error {e}", flush=True)
            continue
        with open(f"{sample_dir}/python.{source}-{target}", "wb") as f:
            f.write(out)
        print(f"{pair} {statistics.median(times):.9f} {len(out)}", flush=True)


if __name__ == "__main__":
    main()
