"""The Python module against the built library: failures come back as
results, not exceptions, and a check as its diagnostics. That the installed
module links the demo into its golden image is in tests/package."""
import math
import os
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import wave

import zlt900

SOURCE = os.environ["ZLT_SOURCE_DIR"]
HEAD = "[ZLP.Head]\nSignature=NVK\nVersion=1.0\n[ZLP.System]\nTarget=ZELTA_900\nTG_Mode=TGM_SINGLE_M0\n"


class LinkTest(unittest.TestCase):
    def setUp(self):
        work = tempfile.TemporaryDirectory()
        self.addCleanup(work.cleanup)
        shutil.copytree(os.path.join(SOURCE, "examples", "demo"), work.name, dirs_exist_ok=True)
        self.addCleanup(os.chdir, os.getcwd())
        os.chdir(work.name)

    def test_failures(self):
        pathlib.Path("bad.zlp").write_text(HEAD + "[ZLP.Sentence]\nS0000=^MOVE_R2_03\n", encoding="utf-8")
        for project, error in [("bad.zlp", "Err: Inavlid code in S0000(Step000) of file bad.zlp"),
                               ("missing.zlp", "Err: Can not load file missing.zlp")]:
            with self.subTest(project=project):
                result = zlt900.link(project, "out.cfo", timestamp=0)
                self.assertFalse(result.success)
                self.assertEqual(result.lines[-1], error)
                self.assertFalse(os.path.exists("out.cfo"))

    def test_check(self):
        self.assertEqual(zlt900.check("demo.zlp"), [])
        pathlib.Path("bad.zlp").write_text(HEAD + "[ZLP.Firmware]\nReset_Bep=1\n[ZLP.Word]\nW0001=none.snx\n",
                                           encoding="utf-8")
        found = [(d.severity, d.line, d.column, d.kind, d.link_line) for d in zlt900.check("bad.zlp")]
        self.assertEqual(found, [("warning", 8, 1, "unknown-key", ""),
                                 ("error", 10, 7, "clip-missing", "Err: Can not access file none.snx")])


class TalkingClockExampleTest(unittest.TestCase):
    """The documentation's example generates, encodes and links its project."""

    def test_example_links(self):
        with tempfile.TemporaryDirectory() as work:
            recordings = os.path.join(work, "rec")
            os.mkdir(recordings)
            for i, name in enumerate([str(h) for h in range(24)] + ["it_is", "oclock"]):
                with wave.open(os.path.join(recordings, name + ".wav"), "wb") as w:
                    w.setparams((1, 2, 8000, 800, "NONE", "not compressed"))
                    w.writeframes(struct.pack("<800h", *(int(8000 * math.sin(2 * math.pi * (200 + 20 * i) * t / 8000))
                                                         for t in range(800))))
            out = os.path.join(work, "clock")
            run = subprocess.run([sys.executable, os.path.join(SOURCE, "docs", "examples", "talking_clock.py"),
                                  recordings, out, "--snx", os.environ["ZLT_SNX_TOOL"]], capture_output=True, text=True)
            self.assertEqual(run.returncode, 0, run.stderr)
            self.assertIn("26 words, 24 sentences, 24 clock triggers", run.stdout)
            self.assertTrue(os.path.getsize(os.path.join(out, "clock.cfo")) > 0)


if __name__ == "__main__":
    sys.exit(unittest.main())
