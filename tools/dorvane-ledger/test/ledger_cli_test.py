#!/usr/bin/env python3
"""dorvane-ledger on a ledger written by the real ledger code (ledger_fixture):
verify, find, day, the CSV export read back with Python's csv module as
Excel would, the JSON Lines export, and a changed byte and a torn line.

  ledger_cli_test.py TOOL FIXTURE WORK [EMULATOR|...] [WINDOWS_PATHS]
"""
import csv
import json
import re
import shutil
import subprocess
import sys
from pathlib import Path

tool, fixture, work = sys.argv[1], sys.argv[2], Path(sys.argv[3])
emulator = [p for p in (sys.argv[4] if len(sys.argv) > 4 else '').split('|') if p]
windows = len(sys.argv) > 5 and sys.argv[5].upper() in ('1', 'ON', 'TRUE')
failures = []


def native(path):
    return 'Z:' + str(path).replace('/', '\\') if windows else str(path)


def run(program, *args, status=0):
    p = subprocess.run(emulator + [program] + [str(a) for a in args], capture_output=True)
    out, err = p.stdout.decode('utf-8'), p.stderr.decode('utf-8', 'replace')
    if p.returncode != status:
        failures.append(f'{args}: exit {p.returncode}, expected {status}; stderr: {err}')
    return out, err


def check(cond, what):
    if not cond:
        failures.append(what)


shutil.rmtree(work, ignore_errors=True)
ledger = work / 'ledger'
ledger.mkdir(parents=True)
run(fixture, native(ledger))
d = native(ledger)

out, _ = run(tool, 'verify', '--dir', d)
check(out.startswith('Registro integro: 7 record'), f'verify: {out}')

csv_file = work / 'export.csv'
run(tool, 'export', '--dir', d, '--out', native(csv_file))
raw = csv_file.read_bytes()
check(raw.startswith(b'\xef\xbb\xbf'), 'CSV without BOM')
with open(csv_file, newline='', encoding='utf-8-sig') as f:
    rows = list(csv.DictReader(f, delimiter=';'))
check(len(rows) == 7, f'{len(rows)} CSV rows')
names = [r['Input'] for r in rows]
check(names[0] == 'CAFFÈ PERCHÉ.001' and names[4] == 'PIÙ.001', f'names: {names}')
check(names[1] == "'=SOMMA(A1).001" and names[2] == "'+39 RESO.001" and names[3] == "'@CLIENTE.001", f'inert: {names}')
for r in rows:
    for k, v in r.items():
        if v[:1] in ('=', '+', '-', '@') and not re.fullmatch(r'-\d+,\d\d', v):
            failures.append(f'field {k} starts with a formula character: {v!r}')
totals = [r['Totale'] for r in rows]
check(totals == ['12,50', 'N/D', '-3,50', '', '', '', '1000,05'], f'totals: {totals}')
check(sum(float(t.replace(',', '.')) for t in totals if re.fullmatch(r'-?\d+,\d\d', t)) == 1009.05, 'sum')
check(rows[3]['Motivo'] == "'-E012: CARTA INCEPPATA", f"reason: {rows[3]['Motivo']}")
check([r['Esito'] for r in rows] == ['stampato'] * 3 + ['rifiutato', 'sconosciuto', 'fallito', 'stampato'], 'outcomes')

out, _ = run(tool, 'export', '--dir', d, '--format', 'jsonl', '--from', '2026-03-01')
lines = [json.loads(l) for l in out.splitlines()]
check([l['n'] for l in lines] == [5, 6, 7], f'jsonl from 1 March: {[l["n"] for l in lines]}')

out, _ = run(tool, 'find', '--dir', d, '--name', 'caff*')
check(out.count('\n') == 1 and 'scontrino 41  totale 12,50' in out, f'find --name: {out}')
out, _ = run(tool, 'find', '--dir', d, '--outcome', 'unknown')
check('PIÙ.001' in out and 'E599' in out, f'find --outcome: {out}')
out, _ = run(tool, 'find', '--dir', d, '--text', 'totale=n/d')
check('=SOMMA(A1).001' in out and out.count('\n') == 1, f'find --text: {out}')
run(tool, 'find', '--dir', d, '--name', 'NESSUNO.001', status=1)

out, _ = run(tool, 'day', '2026-03-01', '--dir', d)
check(out.index('ESITI SCONOSCIUTI DA CONTROLLARE: 1') < out.index('LAVORI: 3'), f'day: {out}')
check('TOTALE DEGLI SCONTRINI STAMPATI: 1000,05' in out, f'day total: {out}')
out, _ = run(tool, 'day', '28/02/2026', '--dir', d)
check('TOTALE DEGLI SCONTRINI STAMPATI: 9,00 (2 con TOTALE, 1 senza)' in out, f'day 28/02: {out}')

# A record DORVANE could not write yet: exported, marked, and counted as the day counts it.
(ledger / 'DORVREG-PENDENTI.jsonl').write_bytes(
    b'{"tipo":"lavoro","id":"job-9","esito":"stampato","chiuso":"2026-03-01 00:09:00",'
    b'"input":"ATTESA.001","totale":"2,00","archiviato":[],"ripreso":false}\r\n')
run(tool, 'export', '--dir', d, '--out', native(csv_file))
with open(csv_file, newline='', encoding='utf-8-sig') as f:
    rows = list(csv.DictReader(f, delimiter=';'))
check(len(rows) == 8 and rows[7]['N.'] == 'in attesa' and rows[7]['Input'] == 'ATTESA.001', f'pending in CSV: {rows[-1:]}')
out, err = run(tool, 'export', '--dir', d, '--format', 'jsonl', '--from', '2026-03-01')
lines = [json.loads(l) for l in out.splitlines()]
check(len(lines) == 4 and lines[3].get('in_attesa') is True and 'in_attesa' not in lines[0], f'pending in jsonl: {out}')
check('Record esportati: 4 (1 in attesa di scrittura)' in err, f'export count: {err}')
out, _ = run(tool, 'day', '2026-03-01', '--dir', d)
check('LAVORI: 4' in out, f'day with the pending record: {out}')
(ledger / 'DORVREG-PENDENTI.jsonl').unlink()

# A byte changed in February's second record, then a torn line at the end.
feb = ledger / 'DORVREG-2026-02.jsonl'
original = feb.read_bytes()
lines = original.split(b'\r\n')
lines[1] = lines[1].replace(b'"byte":', b'"byte":9', 1)
feb.write_bytes(b'\r\n'.join(lines))
out, _ = run(tool, 'verify', '--dir', d, status=1)
check('CATENA INTERROTTA: DORVREG-2026-02.jsonl riga 3 (record n. 3)' in out, f'verify changed: {out}')
feb.write_bytes(original)
mar = ledger / 'DORVREG-2026-03.jsonl'
mar.write_bytes(mar.read_bytes() + b'{"n":8,"tipo":"lav')
out, err = run(tool, 'find', '--dir', d, '--outcome', 'printed')
check(out.count('\n') == 4 and 'DORVREG-2026-03.jsonl riga 4' in err, f'find with a torn line: {out} {err}')
out, _ = run(tool, 'verify', '--dir', d, status=1)
check('REGISTRO NON INTEGRO: DORVREG-2026-03.jsonl riga 4' in out, f'verify torn: {out}')

# Names as the system has them: UTF-8 on Linux kept, Windows-1252 read as
# such; and a record of an older version that took UTF-8 bytes for
# Windows-1252. Each is found by the name as typed.
names = work / 'names'
names.mkdir()
run(fixture, native(names), 'names')
dn = native(names)
out, _ = run(tool, 'find', '--dir', dn, '--name', 'CAFFÈ-utf8name.001', '--json')
found = [json.loads(l)['input'] for l in out.splitlines()]
check(found == ['CAFFÃˆ-utf8name.001' if windows else 'CAFFÈ-utf8name.001'], f'UTF-8 name: {found}')
out, _ = run(tool, 'find', '--dir', dn, '--name', 'caffè-1252.001')
check('CAFFÈ-1252.001  scontrino 52' in out, f'Windows-1252 name: {out}')
month = next(names.glob('DORVREG-*.jsonl'))
whole = month.read_bytes()
old = json.loads(whole.split(b'\r\n')[0])
old.update(n=3, input='CAFFÃˆ-vecchio.001')
month.write_bytes(whole + json.dumps(old, ensure_ascii=False).encode() + b'\r\n')
out, _ = run(tool, 'find', '--dir', dn, '--name', 'caffè-VECCHIO.001')
check('CAFFÃˆ-vecchio.001' in out and out.count('\n') == 1, f'an older record: {out}')
month.write_bytes(whole)

# The day's summary ends with its last record's hash; verify --head sees
# that record go, which the chain alone cannot.
out, _ = run(tool, 'day', '2026-02-28', '--dir', dn)
anchor = re.search(r'ULTIMO RECORD DEL GIORNO: n\. 2, hash\n  ([0-9a-f]{64})\n', out)
check(anchor is not None, f'day without its last hash: {out}')
head = anchor.group(1) if anchor else '0' * 64
out, _ = run(tool, 'verify', '--head', head.upper(), '--dir', dn)
check("Il record annotato c'è: " in out and 'dopo di esso 0 record' in out, f'verify --head: {out}')
month.write_bytes(whole.split(b'\r\n')[0] + b'\r\n')
out, _ = run(tool, 'verify', '--dir', dn)
check(out.startswith('Registro integro: 1 record'), f'cut end, no head: {out}')
out, _ = run(tool, 'verify', '--head', head, '--dir', dn, status=1)
check(out.startswith('RECORD ANNOTATO NON TROVATO: nessun record del registro ha l\'hash ' + head), f'cut end: {out}')
run(tool, 'verify', '--head', 'abc', '--dir', dn, status=2)

out, _ = run(tool, '--help')
for word in ('find', 'day', 'export', 'verify', '--dir', '--format'):
    check(word in out, f'--help does not mention {word}')
run(tool, 'frobnicate', status=2)

for f in failures:
    print(f, file=sys.stderr)
print(f'{"FAILED" if failures else "ok"}: {len(failures)} failures')
sys.exit(1 if failures else 0)
