"""The Python module against the built library: a failure comes back as a
result, not an exception, a check as its diagnostics, and the documentation's
example links. That the installed module links the demo into its golden image
is in tests/package."""
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


class ModuleTest(unittest.TestCase):
    def setUp(self):
        work = tempfile.TemporaryDirectory()
        self.addCleanup(work.cleanup)
        shutil.copytree(os.path.join(SOURCE, "examples", "demo"), work.name, dirs_exist_ok=True)
        self.addCleanup(os.chdir, os.getcwd())
        os.chdir(work.name)

    def test_failure(self):
        result = zlt900.link("missing.zlp", "out.cfo", timestamp=0)
        self.assertEqual((result.success, result.lines[-1]), (False, "Err: Can not load file missing.zlp"))
        self.assertFalse(os.path.exists("out.cfo"))

    def test_check(self):
        self.assertEqual(zlt900.check("demo.zlp"), [])
        pathlib.Path("bad.zlp").write_text(HEAD + "[ZLP.Firmware]\nReset_Bep=1\n[ZLP.Word]\nW0001=none.snx\n",
                                           encoding="utf-8")
        found = [(d.severity, d.line, d.column, d.kind, d.link_line) for d in zlt900.check("bad.zlp")]
        self.assertEqual(found, [("warning", 8, 1, "unknown-key", ""),
                                 ("error", 10, 7, "clip-missing", "Err: Can not access file none.snx")])

    def test_talking_clock_example(self):
        """Makes a recording of a pitch of its own for each word; the example encodes and links them."""
        os.mkdir("rec")
        for i, name in enumerate([str(h) for h in range(24)] + ["it_is", "oclock"]):
            with wave.open(os.path.join("rec", name + ".wav"), "wb") as w:
                w.setparams((1, 2, 8000, 800, "NONE", "not compressed"))
                w.writeframes(struct.pack("<800h", *((t * (i + 2) % 80 - 40) * 200 for t in range(800))))
        run = subprocess.run([sys.executable, os.path.join(SOURCE, "docs", "examples", "talking_clock.py"),
                              "rec", "clock", "--snx", os.environ["ZLT_SNX_TOOL"]], capture_output=True, text=True)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertIn("26 words, 24 sentences, 24 clock triggers", run.stdout)
        self.assertGreater(os.path.getsize(os.path.join("clock", "clock.cfo")), 0)


if __name__ == "__main__":
    sys.exit(unittest.main())
