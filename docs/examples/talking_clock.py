#!/usr/bin/env python3
"""Makes a talking clock: a Zelta-900 project that says "it is <hour> o'clock"
at every full hour, from a folder of recordings, and links it.

    talking_clock.py RECORDINGS OUT [--snx zlt900-snx]

RECORDINGS holds 0.wav to 23.wav (the hour numbers), it_is.wav and
oclock.wav (any format zlt900-snx reads). OUT receives the clips, the
project clock.zlp and the image clock.cfo.
"""
import argparse
import os
import subprocess
import sys

import zlt900

HOURS = range(24)
IT_IS, OCLOCK = 24, 25           # word numbers after the 24 hour numbers
LAST_CLOCK_TRIGGER = 7935        # clock triggers are T7808 to T7935


def encode(snx, recordings, out):
    """Encodes every recording as OUT/clips/<name>.snx; returns the word table."""
    names = {h: str(h) for h in HOURS}
    names.update({IT_IS: "it_is", OCLOCK: "oclock"})
    inputs = [os.path.join(recordings, names[w] + ".wav") for w in sorted(names)]
    os.makedirs(os.path.join(out, "clips"), exist_ok=True)
    subprocess.run([snx, "-q", "--seed", "1", "-o", os.path.join(out, "clips") + "/", *inputs],
                   check=True)
    return {w: "clips/%s.snx" % names[w] for w in names}


def project_text(words):
    lines = ["[ZLP.Head]", "Signature=NVK", "Version=1.0", "",
             "[ZLP.System]", "Target=ZELTA_900",
             "TG_Mode=TGM_BIN_M2",  # a mode whose firmware reads the clock triggers
             "Description=Talking clock", "", "[ZLP.Word]"]
    lines += ["W%04d=%s" % (w, path) for w, path in sorted(words.items())]
    lines += ["", "[ZLP.Sentence]"]
    # Sentence h: "it is", the hour, "o'clock".
    lines += ["S%04d=W%04d+W%04d+W%04d" % (h, IT_IS, h, OCLOCK) for h in HOURS]
    lines += ["", "[ZLP.Trigger]"]
    # One clock trigger per hour, every day at h:00.
    lines += ["T%04d=LUN + S%04d + %d:0" % (LAST_CLOCK_TRIGGER - h, h, h) for h in HOURS]
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("recordings")
    parser.add_argument("out")
    parser.add_argument("--snx", default="zlt900-snx", help="the clip encoder to run")
    args = parser.parse_args()

    words = encode(args.snx, args.recordings, args.out)
    with open(os.path.join(args.out, "clock.zlp"), "w", encoding="utf-8") as f:
        f.write(project_text(words))
    os.chdir(args.out)  # clip paths in the project are relative to it
    result = zlt900.link("clock.zlp", "clock.cfo")
    if not result.success:
        print("\n".join(result.lines), file=sys.stderr)
        return 1
    print("Linked %s/clock.cfo: %d words, %d sentences, %d clock triggers"
          % (args.out, len(words), len(HOURS), len(HOURS)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
