#!/usr/bin/python3
"""zlt900-link --check --diagnostics-format=sarif against the SARIF 2.1.0 schema.

Usage: sarif_test.py ZLT900_LINK SCHEMA
The logs of a project with errors and warnings and of one that cannot be read
must validate, name the expected rules and lines, and a broken log must not.
"""
import json
import subprocess
import sys
import tempfile
from pathlib import Path

import jsonschema

PROJECT = """[ZLP.Head]
Signature=NVK
Version=1.0
[ZLP.System]
Target=ZELTA_900
TG_Mode=TGM_SINGLE_M0
[ZLP.Firmware.UartMode]
BaudRate=2400 ; slow
[ZLP.Wörds]
[ZLP.Word]
W0001=missing clip.snx
W0001=again.snx
"""

# (project text or None for a missing file, exit status, [(ruleId, level, startLine or None)])
CASES = [
    (PROJECT, 1, [("trailing-text", "warning", 8), ("unknown-section", "warning", 9),
                  ("clip-missing", "error", 11), ("duplicate-key", "warning", 12)]),
    (None, 1, [("project-unreadable", "error", None)]),
]


def main(tool, schema_path):
    validator = jsonschema.Draft7Validator(json.loads(Path(schema_path).read_text()))
    problems = []
    with tempfile.TemporaryDirectory() as folder:
        for number, (text, status, expected) in enumerate(CASES):
            project = Path(folder) / f"p {number}.zlp"
            if text is not None:
                project.write_text(text, encoding="utf-8")
            run = subprocess.run([tool, "--check", "--diagnostics-format=sarif", str(project)],
                                 capture_output=True, text=True, cwd=folder)
            log = json.loads(run.stdout)
            problems += [f"case {number}: {e.message}" for e in validator.iter_errors(log)]
            results = log["runs"][0]["results"]
            got = [(r["ruleId"], r["level"], r["locations"][0]["physicalLocation"].get("region", {}).get("startLine"))
                   for r in results]
            if (run.returncode, got) != (status, expected):
                problems.append(f"case {number}: exit status {run.returncode}, results {got}")
            # A log that breaks the schema must be refused, or this test proves nothing.
            results[0]["level"] = "fatal"
            if validator.is_valid(log):
                problems.append(f"case {number}: a wrong level passes the schema")
    print("\n".join(problems) or f"{len(CASES)} passed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
