#!/usr/bin/env python3
"""Records the files that other programs read from a run of the real dorvane
(console front end) and the real kkora1, on fixed scenarios, and compares two
such records.

  compare_files.py run --dorvane BIN --kkora1 BIN --dest DIR [--keep DIR] [--only NAME,...]
  compare_files.py diff OLD_DIR NEW_DIR

`run` writes, per scenario, every file left in a fresh folder tree (event
log, results, exchange files, settings, status file, ledger, ...) rendered as
text with what varies from run to run masked, plus snapshots taken while a
job is held. `diff` prints the differences and exits 1, or prints a summary
and exits 0. Standard library only.
"""

import argparse
import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

# The driver's program under a name of its own: DORVANE finds KORA1 by its
# process name, and a kkora1 that tests or a demo run meanwhile must not pass
# for ours.
KORA1_NAME = "kkcompare"
DATA = "data/ZTKKORA1"
WAIT_S = 30.0


class Trouble(Exception):
    """A scenario step that did not happen in time; recorded, not fatal."""


# ---------------------------------------------------------------- masking

JOB_ID = re.compile(rb"\b\d{14}-[0-9a-f]{8}\b")
DATETIME = re.compile(rb"\d{4}-\d{2}-\d{2}[ T]\d{2}:\d{2}:\d{2}(?:[.,]\d+)?(?:Z|[+-]\d{2}:?\d{2})?")
# The selection key (YYYYMMDD_HHMMSS) and the Itineris log's YYMMDD_HHMMSS.
STAMP = re.compile(rb"\b(?:\d{8}|\d{6})_\d{6}\b")
DATE = re.compile(rb"\b(?:\d{4}-\d{2}-\d{2}|\d{2}/\d{2}/\d{4})\b")
TIME = re.compile(rb"\b\d{2}:\d{2}:\d{2}\b")
PID = re.compile(rb'("pid"\s*:\s*)\d+')
PREC = re.compile(rb'"prec":"([0-9a-f]{64})"')
MONTH_FILE = re.compile(r"DORVREG-\d{4}-\d{2}\.jsonl")
NO_PREVIOUS = b"0" * 64


def mask(data: bytes, root: bytes) -> bytes:
    # The tree is new each run: its path is not the programs' doing.
    data = data.replace(root, b"<ROOT>")
    # Job ids are the time taken plus a hash of the monotonic clock.
    data = JOB_ID.sub(b"<JOBID>", data)
    data = DATETIME.sub(b"<DATETIME>", data)
    data = STAMP.sub(b"<STAMP>", data)
    data = DATE.sub(b"<DATE>", data)
    data = TIME.sub(b"<TIME>", data)
    return PID.sub(rb"\1<PID>", data)


def mask_ledger(data: bytes, root: bytes) -> bytes:
    """A month file: each "prec" is the SHA-256 of the line before, which
    holds masked times, so it varies too. It is checked here against the
    unmasked line before and replaced by the verdict, so that a broken
    chain still shows."""
    out = []
    previous = None
    for line in data.split(b"\n"):
        body = line[:-1] if line.endswith(b"\r") else line

        def verdict(m):
            value = m.group(1)
            if previous is None and value == NO_PREVIOUS:
                return b'"prec":"' + NO_PREVIOUS + b'"'
            if previous is not None and value == hashlib.sha256(previous).hexdigest().encode():
                return b'"prec":"<SHA-256 OF THE LINE BEFORE>"'
            return b'"prec":"<SHA-256 NOT OF THE LINE BEFORE>"'

        out.append(PREC.sub(verdict, line))
        if body:
            previous = body
    return mask(b"\n".join(out), root)


def render(data: bytes) -> str:
    """Bytes as diffable text: CR LF is the plain line end; any other line
    end, a missing last one, control and non-ASCII bytes are spelled out, so
    that a change of a single byte shows."""
    lines = data.split(b"\n")
    last = lines.pop()  # after the final LF: empty, or a line without end
    out = []

    def spell(chunk: bytes) -> str:
        return "".join(
            chr(b) if 0x20 <= b < 0x7F or b == 0x09 else "<x%02X>" % b for b in chunk
        )

    for line in lines:
        out.append(spell(line[:-1]) if line.endswith(b"\r") else spell(line) + "<LF>")
    if last:
        out.append(spell(last) + "<NO LINE END>")
    return "".join(s + "\n" for s in out)


# ---------------------------------------------------------------- the tree


def now_frac():
    t = time.time()
    return t - int(t)


class Run:
    """One scenario's folder tree, its two programs and its record."""

    def __init__(self, base: Path, name: str, dorvane: str, kkora1: str, dest: Path):
        self.name = name
        self.root = base / name / "tree"
        self.logs = base / name
        self.dorvane_bin = dorvane
        self.dest = dest / name
        self.notes = []
        self.kora1 = None
        self.dorvane = None
        for d in ("app", DATA, "config", "run", "home", "in", "out", "err"):
            (self.root / d).mkdir(parents=True, exist_ok=True)
        os.chmod(self.root / "run", 0o700)
        shutil.copy2(kkora1, self.root / "app" / KORA1_NAME)

    def p(self, rel: str) -> Path:
        return self.root / rel

    def env(self):
        return {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "HOME": str(self.p("home")),
            "LANG": "C.UTF-8",
            "DORVANE_HOME": str(self.p("app")),
            "XDG_DATA_HOME": str(self.p("data")),
            "XDG_CONFIG_HOME": str(self.p("config")),
            "XDG_RUNTIME_DIR": str(self.p("run")),
        }

    # DORVCONF.txt, its eighteen lines by number (src/settings/config.cpp).
    def configure(self, **lines):
        conf = {
            1: "1",  # port
            2: "*.001",  # input filter
            3: "  ",  # name prefix: none
            4: str(self.p("in")),
            5: str(self.p("out")),
            6: str(self.p("err")),
            7: ".OUT",  # output extension
            8: " 0 ",  # close KORA1 on exit
            9: " 1 ",  # event log
            10: ".ERR",  # error extension
            11: "0.05",  # cycle, seconds
            12: "0",  # input layout: 0 Sarema, 1 Fasy Vola, 2 Itineris
            13: " 0 ",  # Fasy Vola: discounts after a return inverted
            14: " ",  # KORA1's program folder: the one it registered
            15: KORA1_NAME + ".exe",  # KORA1's process name
            16: " 0 ",  # automatic error reset
            17: " 0 ",  # .BTO session result
            18: " 0 ",  # AdHoc compatibility
        }
        for key, value in lines.items():
            conf[int(key[1:])] = value
        text = "".join(conf[n] + "\r\n" for n in range(1, 19))
        self.p("app/DORVCONF.txt").write_bytes(text.encode("cp1252"))

    def note(self, text):
        self.notes.append(text)

    def wait_for(self, what, test, timeout=WAIT_S):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if test():
                return True
            time.sleep(0.01)
        raise Trouble("not seen within %gs: %s" % (timeout, what))

    def start_kora1(self, *options):
        argv = [str(self.p("app") / KORA1_NAME), "0", "--dump-ms", "100", "--poll-ms", "10", *options]
        with open(self.logs / "kkora1.txt", "wb") as out:
            self.kora1 = subprocess.Popen(argv, env=self.env(), stdin=subprocess.DEVNULL, stdout=out,
                                          stderr=subprocess.STDOUT, cwd=self.root)
        # Ready before DORVANE looks: no "KORA1 NON CONNESSO" round.
        self.wait_for("SR_MATR.001", lambda: self.p(DATA + "/SR_MATR.001").exists(), 10)

    def drop(self, *files):
        """Writes the receipts in one second of their own, then returns in
        that second: DORVANE orders receipts by creation second, then by
        listing order, so receipts written across a second boundary would
        change the order from run to run."""
        for _ in range(5):
            # 50 ms into a fresh second: clear of the kernel's coarse clock.
            time.sleep(1.05 - now_frac())
            start = time.time()
            for name, data in files:
                self.p("in/" + name).write_bytes(data)
            end = time.time()
            if int(start) == int(end) and end - int(end) < 0.9:
                # The next group, or DORVANE's start, comes in a later second.
                return
            for name, _ in files:
                self.p("in/" + name).unlink(missing_ok=True)
        raise Trouble("could not write %d receipts within one second" % len(files))

    def start_dorvane(self):
        argv = [self.dorvane_bin, "--headless", "/NONID", "--exit-when-done"]
        with open(self.logs / "dorvane.txt", "wb") as out:
            self.dorvane = subprocess.Popen(argv, env=self.env(), stdin=subprocess.DEVNULL, stdout=out,
                                            stderr=subprocess.STDOUT, cwd=self.root)

    def snapshot(self, label, rels):
        for rel in rels:
            path = self.p(rel)
            target = self.dest / label / (rel + ".txt")
            target.parent.mkdir(parents=True, exist_ok=True)
            if path.exists():
                target.write_text(render(mask(path.read_bytes(), str(self.root).encode())))
            else:
                target.write_text("<MISSING>\n")

    def control(self, *lines):
        """kkora1's control file, renamed into place whole; read in order."""
        tmp = self.p(DATA + "/KKORA1.tmp")
        tmp.write_bytes(crlf(*lines))
        os.rename(tmp, self.p(DATA + "/KKORA1.CTL"))

    def status_word(self):
        try:
            return re.search(r'"stato_parola": "([^"]*)"', self.p(DATA + "/DORVSTAT.json").read_text("latin-1")).group(1)
        except (OSError, AttributeError):
            return None

    def finish(self):
        codes = []
        if self.dorvane:
            try:
                codes.append("dorvane exit code %d" % self.dorvane.wait(timeout=60))
            except subprocess.TimeoutExpired:
                self.dorvane.kill()
                self.dorvane.wait()
                codes.append("dorvane did not end within 60s: killed")
        if self.kora1:
            if self.kora1.poll() is None:
                self.kora1.send_signal(signal.SIGTERM)
            try:
                codes.append("kkora1 exit code %d" % self.kora1.wait(timeout=10))
            except subprocess.TimeoutExpired:
                self.kora1.kill()
                self.kora1.wait()
                codes.append("kkora1 did not end within 10s: killed")
        return codes

    def kill(self):
        for proc in (self.dorvane, self.kora1):
            if proc and proc.poll() is None:
                proc.kill()
                proc.wait()

    def collect(self, codes):
        """Every file of the tree but the driver's program, masked and
        rendered; the names of every folder's files in one list."""
        root = str(self.root).encode()
        files = self.dest / "files"
        names = []
        for path in sorted(self.root.rglob("*")):
            rel = path.relative_to(self.root).as_posix()
            if rel == "app/" + KORA1_NAME:
                continue
            shown = MONTH_FILE.sub("DORVREG-YYYY-MM.jsonl", rel)
            if path.is_dir():
                names.append(shown + "/")
                continue
            names.append(shown)
            data = path.read_bytes()
            masked = mask_ledger(data, root) if shown != rel else mask(data, root)
            target = files / (shown + ".txt")
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_text(render(masked))
        (self.dest / "names.txt").write_text("".join(n + "\n" for n in names))
        (self.dest / "run.txt").write_text("".join(line + "\n" for line in codes + self.notes))


# ---------------------------------------------------------------- receipts


def crlf(*lines):
    return "".join(line + "\r\n" for line in lines).encode("cp1252")


def sale(cents, text="ARTICOLO"):
    """A sale of n cents paid in cash; the amount tells receipts apart."""
    return crlf("PLUD,C1,N1,P%d,:%s;" % (cents, text), "CASH,V%d,:CONTANTI;" % cents)


def at(line, col, text):
    """Fasy Vola: text placed at column col (from 1) of a fixed-column record."""
    line = line.ljust(col - 1 + len(text))
    return line[: col - 1] + text + line[col - 1 + len(text):]


def fv_sale(kind, price, dept, text, qty=""):
    line = at(at(at(kind, 28, price), 38, dept), 41, text)
    return at(line, 83, qty) if qty else line


def fv_discount(text, level, kind, value):
    return at(at(at(at("4", 3, text), 45, level), 48, kind), 51, value)


def fv_payment(amount, text, code):
    return at(at(at("6", 3, amount), 13, text), 49, code)


def itineris(*rows):
    body = "".join(
        "  <DETTAGLIO>\r\n    <CODICE>%s</CODICE>\r\n    <DESCRIZIONE>%s</DESCRIZIONE>\r\n"
        "    <QTA>%s</QTA>\r\n    <PREZZO>%s</PREZZO>\r\n    <IMPORTO>%s</IMPORTO>\r\n%s  </DETTAGLIO>\r\n" % row
        for row in rows
    )
    return ('<?xml version="1.0" encoding="windows-1252"?>\r\n<SCONTRINO>\r\n' + body + "</SCONTRINO>\r\n").encode("cp1252")


# ---------------------------------------------------------------- scenarios
# Each drops its receipts before DORVANE starts and lets it end by itself
# (--exit-when-done), so no step depends on how fast a tick comes.


def plain(r: Run):
    """Sarema Language receipts printed in creation order; four of them in
    one second, where listing order decides (names not in that order)."""
    r.configure()
    r.start_kora1("--take-delay-ms", "100")
    r.drop(("R9.001", sale(101)), ("R3.001", sale(102)), ("R7.001", sale(103)), ("R1.001", sale(104)))
    r.drop(("Q5.001", crlf("PLUD,C1,N2,P250,:VINO,Q2;", "DISC,%10,:SCONTO 10.00%;", "SUBT;", "CASH,V1000,:CONTANTI;")))
    r.drop(("A2.001", crlf("PRNT,:SOLO TESTO;")), ("A1.001", crlf("PLUD,C1,N1,P150,:PANE,R;", "CASH,V0,:CONTANTI;")))
    r.start_dorvane()


def refused_retry(r: Run):
    """KORA1 refuses the second job: .ERR and _ERR copies and a .BTO KO;
    the cycle stays blocked until DORVRETRY.DVN, then goes on."""
    r.configure(l17=" 1 ")
    r.start_kora1("--fail-receipts", "2")
    r.drop(("A.001", sale(201)))
    r.drop(("B.001", sale(202)))
    r.drop(("C.001", sale(203)))
    r.start_dorvane()
    r.wait_for("the refusal filed", lambda: r.p("err/B.001.BTO").exists())
    r.wait_for("DORVANE blocked", lambda: r.status_word() == "bloccato")
    r.snapshot("while-blocked", ["err/B.001.ERR", "err/B.001_ERR.ERR", DATA + "/DORVSTAT.json"])
    r.p("in/DORVRETRY.DVN").write_bytes(b"")


def refused_auto_reset(r: Run):
    """Refusals reset by themselves: a printer error and a line KORA1 finds
    wrong (department 0), then a good receipt."""
    r.configure(l16=" 1 ", l17=" 1 ")
    r.start_kora1("--fail-receipts", "1")
    r.drop(("E1.001", sale(301)))
    r.drop(("E2.001", crlf("PLUD,C1,N0,P100,:REPARTO ZERO;", "CASH,V100,:CONTANTI;")))
    r.drop(("E3.001", sale(303)))
    r.start_dorvane()


def star_extensions(r: Run):
    """Extensions typed with a leading star, "*.OK" and "*.BAD": DORVANE
    drops the star when it files."""
    r.configure(l7="*.OK", l10="*.BAD", l16=" 1 ", l17=" 1 ")
    r.start_kora1("--fail-receipts", "2")
    r.drop(("S1.001", sale(401)))
    r.drop(("S2.001", sale(402)))
    r.drop(("S3.001", sale(403)))
    r.start_dorvane()


def adhoc(r: Run):
    """AdHoc compatibility: SR_OUT.TXT, SR_ERR.TXT, finesco.001 and the
    refused job under its own name."""
    r.configure(l16=" 1 ", l17=" 1 ", l18=" 1 ")
    r.start_kora1()
    r.drop(("H1.001", sale(501)))
    r.drop(("H2.001", crlf("XXXX,:COMANDO IGNOTO;", "CASH,V100,:CONTANTI;")))
    r.drop(("H3.001", sale(503)))
    r.start_dorvane()


def fasy_vola(r: Run):
    """Fasy Vola layout: converted, a .Rep each (0 printed, 3 refused), one
    refused by KORA1 and one whose conversion fails; discounts after a
    return inverted."""
    r.configure(l12="1", l13=" 1 ", l16=" 1 ")
    r.start_kora1()
    header = "00HEADER"
    r.drop(("F1.001", crlf(header, fv_sale("01", "0000001,50", "001", "PANE", "2"),
                           fv_payment("3,00", "CONTANTI", "001"))))
    r.drop(("F2.001", crlf(header, fv_sale("01", "0000002,00", "000", "REPARTO ZERO"),
                           fv_payment("2,00", "CONTANTI", "001"))))
    r.drop(("F3.001", crlf(header, fv_sale("01", "0000005,00", "002", "VINO"),
                           fv_sale("03", "0000001,00", "001", "RESO PANE"),
                           fv_discount("SCONTO", "000", "001", "10"),
                           fv_payment("10,00", "CONTANTI", "001"))))
    r.drop(("F4.001", crlf(header, fv_sale("01", "0000001,00", "001", "PANE"),
                           fv_discount("SC,X", "000", "001", "dieci"))))
    r.start_dorvane()


def itineris_xml(r: Run):
    """Itineris XML layout: one converted and printed, one whose amount is
    not a number (ITINERIS_ERR.LOG)."""
    r.configure(l12="2", l16=" 1 ")
    r.start_kora1()
    r.drop(("X1.001", itineris(("123", "pane", "2", "1,50", "3,00", ""),
                               ("9", "latte", "1", "1,00", "1,00", "    <CAUSALE_RIGA>RESO</CAUSALE_RIGA>\r\n"))))
    r.drop(("X2.001", itineris(("7", "vino", "1", "5,00", "cinque", ""))))
    r.start_dorvane()


def paper_out(r: Run):
    """The roll ends halfway through the second job: held with its _ERR
    copy, resumed when paper is loaded (kkora1's control file), then the
    third prints."""
    r.configure(l17=" 1 ")
    r.start_kora1("--paper-out-after", "1", "--paper-clear", "empty")
    r.drop(("P1.001", sale(601)))
    r.drop(("P2.001", crlf("PLUD,C1,N1,P100,:UNO;", "PLUD,C1,N1,P200,:DUE;", "PLUD,C1,N1,P300,:TRE;",
                           "CASH,V600,:CONTANTI;")))
    r.drop(("P3.001", sale(603)))
    r.start_dorvane()
    r.wait_for("the paper-out copy", lambda: r.p("err/P2.001_ERR.ERR").exists())
    r.wait_for("DORVANE held", lambda: r.status_word() == "carta esaurita")
    r.snapshot("while-held", ["err/P2.001_ERR.ERR", DATA + "/SR_ERR.001", DATA + "/DORVSTAT.json"])
    # Lines printed slowly from here on: the emptied SR_ERR and the verdict
    # come a second apart, never in the same tick of DORVANE, whose log
    # tells the two orders apart. A roll without end, so P3 prints.
    r.control("line-ms=600", "paper-out-after=0", "paper=load")


SCENARIOS = {
    "plain": plain,
    "refused-retry": refused_retry,
    "refused-auto-reset": refused_auto_reset,
    "star-extensions": star_extensions,
    "adhoc": adhoc,
    "fasy-vola": fasy_vola,
    "itineris": itineris_xml,
    "paper-out": paper_out,
}


def run(args):
    names = args.only.split(",") if args.only else list(SCENARIOS)
    unknown = [n for n in names if n not in SCENARIOS]
    if unknown:
        sys.exit("no such scenario: %s (there are %s)" % (", ".join(unknown), ", ".join(SCENARIOS)))
    dest = Path(args.dest)
    if dest.exists():
        shutil.rmtree(dest)
    dest.mkdir(parents=True)
    base = Path(tempfile.mkdtemp(prefix="dorvane-files-", dir=args.keep or None))
    trouble = 0
    try:
        for name in names:
            started = time.monotonic()
            r = Run(base, name, os.path.abspath(args.dorvane), os.path.abspath(args.kkora1), dest)
            try:
                SCENARIOS[name](r)
            except Trouble as e:
                r.note("TROUBLE: " + str(e))
            except BaseException:
                r.kill()  # no program of ours outlives the script
                raise
            if r.notes:
                r.kill()
                codes = ["programs killed after the trouble below"]
            else:
                codes = r.finish()
            r.collect(codes)
            bad = [c for c in codes + r.notes if not c.endswith("exit code 0")]
            trouble += bool(bad)
            print("  %-20s %5.1fs%s" % (name, time.monotonic() - started, "  " + "; ".join(bad) if bad else ""),
                  flush=True)
    finally:
        if not args.keep:
            shutil.rmtree(base, ignore_errors=True)
        else:
            print("  trees kept in", base)
    return 2 if trouble else 0


def diff(args):
    old, new = Path(args.old), Path(args.new)
    result = subprocess.run(["diff", "-ru", str(old), str(new)], capture_output=True, text=True, errors="replace")
    scenarios = {p.name for d in (old, new) for p in d.iterdir() if p.is_dir()}
    # The programs' files; each scenario's names.txt and run.txt are ours.
    files = {p.relative_to(d) for d in (old, new) for p in d.rglob("*") if p.is_file() and len(p.relative_to(d).parts) > 2}
    if result.returncode == 0:
        print("files: %d scenarios, %d files, identical" % (len(scenarios), len(files)))
        return 0
    sys.stdout.write(result.stdout + result.stderr)
    print("files: %d scenarios, %d files, DIFFERENT (above: - %s, + %s)" % (len(scenarios), len(files), old, new))
    return 1


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("run")
    p.add_argument("--dorvane", required=True)
    p.add_argument("--kkora1", required=True)
    p.add_argument("--dest", required=True)
    p.add_argument("--keep", help="keep the folder trees under this folder")
    p.add_argument("--only", help="comma-separated scenario names: " + ",".join(SCENARIOS))
    p = sub.add_parser("diff")
    p.add_argument("old")
    p.add_argument("new")
    args = parser.parse_args()
    return run(args) if args.command == "run" else diff(args)


if __name__ == "__main__":
    sys.exit(main())
