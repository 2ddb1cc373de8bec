"""The Python module against the built library: a link gives the golden
demo image and lines, and failures come back as results, not exceptions."""
import os
import shutil
import sys
import tempfile
import unittest

import zlt900

SOURCE = os.environ["ZLT_SOURCE_DIR"]
GOLDEN = os.path.join(SOURCE, "tests", "golden")


class LinkTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp()
        shutil.copytree(os.path.join(SOURCE, "examples", "demo"), self.work, dirs_exist_ok=True)
        self.cwd = os.getcwd()
        os.chdir(self.work)

    def tearDown(self):
        os.chdir(self.cwd)
        shutil.rmtree(self.work)

    def test_demo_gives_the_golden_image_and_lines(self):
        result = zlt900.link("demo.zlp", "out.cfo", timestamp=1700000000)
        self.assertTrue(result.success)
        with open("out.cfo", "rb") as got, open(os.path.join(GOLDEN, "demo.cfo"), "rb") as want:
            self.assertEqual(got.read(), want.read())
        with open(os.path.join(GOLDEN, "demo.log"), encoding="utf-8") as log:
            self.assertEqual(result.lines, log.read().strip("\n").split("\n"))

    def test_failures(self):
        with open("bad.zlp", "w", encoding="utf-8") as f:
            f.write("[ZLP.Head]\nSignature=NVK\nVersion=1.0\n[ZLP.System]\nTarget=ZELTA_900\n"
                    "TG_Mode=TGM_SINGLE_M0\n[ZLP.Sentence]\nS0000=^MOVE_R2_03\n")
        cases = [
            ("bad.zlp", "Err: Inavlid code in S0000(Step000) of file bad.zlp"),
            ("missing.zlp", "Err: Can not load file missing.zlp"),
        ]
        for project, error in cases:
            with self.subTest(project=project):
                result = zlt900.link(project, "out.cfo", timestamp=0)
                self.assertFalse(result.success)
                self.assertEqual(result.lines[-1], error)
                self.assertFalse(os.path.exists("out.cfo"))


if __name__ == "__main__":
    sys.exit(unittest.main())
