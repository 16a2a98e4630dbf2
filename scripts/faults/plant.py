#!/usr/bin/env python3
"""Plants each fault of faults.py in a checkout, builds, runs ctest, records failing tests, reverts.
Usage: plant.py CHECKOUT OUTFILE [fault ids...]; scripts/plant-faults runs it on a fresh clone."""
import os, re, shutil, subprocess, sys, pathlib
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from faults import FAULTS

checkout = pathlib.Path(sys.argv[1]).resolve()
out = pathlib.Path(sys.argv[2]).resolve()
only = set(sys.argv[3:])
build = checkout / "build"
env = dict(os.environ, QT_QPA_PLATFORM="offscreen")

def norm(name):
    # Test renames: tst_X became test_X.
    return re.sub(r"^tst_", "test_", name)

def sources():
    for p in sorted((checkout / "src").rglob("*")):
        if p.is_file() and p.suffix in (".cpp", ".h"):
            yield p

def run(cmd, timeout=None):
    return subprocess.run(cmd, cwd=checkout, env=env, capture_output=True, text=True, timeout=timeout)

def ctest():
    r = run(["ctest", "--test-dir", str(build), "-j2", "--timeout", "120"], timeout=1800)
    failed = sorted({norm(m.group(1)) for m in re.finditer(r"^\s*\d+ - (\S+) \(", r.stdout, re.M)})
    return failed

def plant(pairs):
    """Applies every (snippet, replacement); returns originals {path: text} or an error."""
    originals = {}
    for snippet, replacement in pairs:
        hits = []
        for p in sources():
            text = originals.get(p) if p in originals else p.read_text()
            current = p.read_text()
            n = current.count(snippet)
            if n:
                hits.append((p, n))
        if len(hits) != 1 or hits[0][1] != 1:
            for p, t in originals.items():
                p.write_text(t)
            return None, "snippet %r found %s" % (snippet[:40], [(str(p.relative_to(checkout)), n) for p, n in hits])
        p = hits[0][0]
        originals.setdefault(p, p.read_text())
        p.write_text(p.read_text().replace(snippet, replacement, 1))
    return originals, None

def main():
    if not (build / "build.ninja").exists():
        launcher = ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"] if shutil.which("ccache") else []
        subprocess.run(["cmake", "-S", str(checkout), "-B", str(build), "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=RelWithDebInfo"] + launcher, check=True)
    r = run(["cmake", "--build", str(build), "-j2"])
    if r.returncode != 0:
        sys.exit("clean build fails:\n" + r.stdout[-3000:])
    clean = ctest()
    rows = []
    with open(out, "w") as f:
        f.write("id\tdescription\tfailing tests\n")
        f.write("clean\tno fault\t%s\n" % (",".join(clean) or "-"))
        f.flush()
        for fid, desc, pairs in FAULTS:
            if only and fid not in only:
                continue
            originals, err = plant(pairs)
            if err:
                f.write("%s\t%s\tNOT PLANTED: %s\n" % (fid, desc, err)); f.flush(); continue
            try:
                b = run(["cmake", "--build", str(build), "-j2"])
                if b.returncode != 0:
                    result = "BUILD FAILED"
                else:
                    failed = [t for t in ctest() if t not in clean]
                    result = ",".join(failed) or "-"
            finally:
                for p, t in originals.items():
                    p.write_text(t)
            f.write("%s\t%s\t%s\n" % (fid, desc, result)); f.flush()
            print(fid, result, flush=True)
    run(["cmake", "--build", str(build), "-j2"])

main()
